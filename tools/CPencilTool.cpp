#include "tools/CPencilTool.h"

#include "tools/KeepMode.h"
#include "tools/MaskEdit.h"

namespace {

CPencilTool gPencilTool;
ToolRegistration gPencilRegistration(gPencilTool);

}  // namespace

CPencilTool& ThePencilTool() { return gPencilTool; }

void CPencilTool::ApplyStroke(Image& coverage, CWorkDocument& document, std::vector<Rect>& bandsDone) {
  ApplyStrokeToTarget(coverage, document, KeepMode() ? 255 : 0, &bandsDone);
}
