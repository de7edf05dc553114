#include "tools/CBucketTool.h"

#include "tools/Fills.h"
#include "tools/KeepMode.h"

namespace {

CBucketTool gBucketTool;
ToolRegistration gBucketRegistration(gBucketTool);

}  // namespace

CBucketTool& TheBucketTool() { return gBucketTool; }

void CBucketTool::ButtonUp() {
  // The drag ends first: a fill that fails leaves no drag behind.
  CFillTool::ButtonUp();
  CWorkDocument* document = TargetDocument();
  const std::optional<Point> at = PointerInImage();
  if (document != nullptr && at) BucketFill(*document, *at, KeepMode());
}
