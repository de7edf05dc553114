#include "display/CWorkDocument.h"

#include "shell/PlugIn.h"

CWorkDocument::Size CWorkDocument::GetImageSize() const {
  const HostRect& r = gFilterRecord->filterRect;
  return {static_cast<int16_t>(r.bottom - r.top), static_cast<int16_t>(r.right - r.left)};
}
