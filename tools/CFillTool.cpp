#include "tools/CFillTool.h"

#include <cstdint>

#include "display/CImageView.h"
#include "display/CWorkDocument.h"
#include "tools/ToolRegistry.h"

void CFillTool::Activate() { AnnounceToolActivation(CursorResourceId()); }

std::optional<Point> CFillTool::PointerInImage() {
  CImageView* view = TrackingView();
  if (view == nullptr) return std::nullopt;
  platform::Point p = CurrentPoint();
  view->WindowToImagePoint(p);
  const auto fits = [](int32_t c) { return c >= INT16_MIN && c <= INT16_MAX; };
  if (!fits(p.x) || !fits(p.y)) return std::nullopt;
  return Point{static_cast<int16_t>(p.y), static_cast<int16_t>(p.x)};
}

CWorkDocument* CFillTool::TargetDocument() {
  CImageView* view = TrackingView();
  if (view == nullptr) return nullptr;
  CWorkDocument* document = view->Document();
  return document != nullptr && document->MaskImage() != nullptr ? document : nullptr;
}
