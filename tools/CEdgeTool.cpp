#include "tools/CEdgeTool.h"

#include "display/CWorkDocument.h"
#include "tools/EdgeFill.h"
#include "tools/KeepMode.h"
#include "tools/SliderValues.h"

namespace {

CEdgeTool gEdgeTool;
ToolRegistration gEdgeRegistration(gEdgeTool);

}  // namespace

CEdgeTool& TheEdgeTool() { return gEdgeTool; }

void CEdgeTool::ButtonUp() {
  CFillTool::ButtonUp();
  CWorkDocument* document = TargetDocument();
  const std::optional<Point> at = PointerInImage();
  if (document != nullptr && document->WorkingImage() != nullptr && at)
    EdgeFill(*document, *at, KeepMode(), ThresholdPair().lower());
}
