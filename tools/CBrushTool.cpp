#include "tools/CBrushTool.h"

#include "tools/KeepMode.h"
#include "tools/MaskEdit.h"
#include "tools/SliderValues.h"

namespace {

CBrushTool gBrushTool;
ToolRegistration gBrushRegistration(gBrushTool);

}  // namespace

CBrushTool& TheBrushTool() { return gBrushTool; }

int32_t CBrushTool::StrokeStrength() const { return ThresholdPair().lower() * 256; }

void CBrushTool::ApplyStroke(Image& coverage, CWorkDocument& document, std::vector<Rect>& bandsDone) {
  ApplyStrokeToTarget(coverage, document, KeepMode() ? 255 : 0, &bandsDone);
}
