#include "tools/CMagicWandTool.h"

#include "display/CWorkDocument.h"
#include "image/Image.h"
#include "tools/Fills.h"
#include "tools/KeepMode.h"

namespace {

CMagicWandTool gMagicWandTool;
ToolRegistration gMagicWandRegistration(gMagicWandTool);

}  // namespace

CMagicWandTool& TheMagicWandTool() { return gMagicWandTool; }

void CMagicWandTool::ButtonUp() {
  CFillTool::ButtonUp();
  CWorkDocument* document = TargetDocument();
  if (document == nullptr || document->WorkingImage() == nullptr) return;
  // The classifier sees the working image's channels in its mode.
  const PixelLayout layout = document->WorkingImage()->layout();
  const PixelFormat format{layout.bytesPerPixel, layout.imageMode};
  const std::optional<Point> at = PointerInImage();
  if (at) MagicWandFill(*document, *at, KeepMode(), format);
}
