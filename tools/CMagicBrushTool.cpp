#include "tools/CMagicBrushTool.h"

#include "display/CWorkDocument.h"
#include "shell/ErrorRecord.h"
#include "tools/MaskEdit.h"

namespace {

CMagicBrushTool gMagicBrushTool;
ToolRegistration gMagicBrushRegistration(gMagicBrushTool);

}  // namespace

CMagicBrushTool& TheMagicBrushTool() { return gMagicBrushTool; }

void CMagicBrushTool::ApplyStroke(Image& coverage, CWorkDocument& document, std::vector<Rect>& bandsDone) {
  const Image* working = document.WorkingImage();
  if (working == nullptr) THROW_ERROR(2, kGroupPlugIn);
  // The classifier works on the working image's own pixels.
  const PixelLayout& layout = working->layout();
  ApplyStrokeClassified(coverage, document, PixelFormat{layout.bytesPerPixel, layout.imageMode}, &bandsDone);
}
