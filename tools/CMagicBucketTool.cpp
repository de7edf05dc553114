#include "tools/CMagicBucketTool.h"

#include <cmath>

#include "display/CZoomView.h"
#include "display/FeedbackKit.h"
#include "tools/BrushStamps.h"
#include "tools/Fills.h"
#include "tools/KeepMode.h"
#include "tools/SliderValues.h"

namespace {

CMagicBucketTool gMagicBucketTool;
ToolRegistration gMagicBucketRegistration(gMagicBucketTool);

}  // namespace

CMagicBucketTool& TheMagicBucketTool() { return gMagicBucketTool; }

int16_t CMagicBucketTool::HalfSide() {
  const SliderPair& brush = BrushPair();
  const BrushGeometry geometry =
      BrushGeometry::from(brush.lower(), brush.upper(), kFullBrushStrength, StampSpacing().value());
  return static_cast<int16_t>(geometry.hardRadius);
}

int32_t CMagicBucketTool::FeedbackHalfSide(double scale) {
  return static_cast<int32_t>(std::floor(HalfSide() * scale + 0.5));
}

bool CMagicBucketTool::ShowFeedback() {
  // The square is drawn before the fill, so that a fill that fails leaves
  // the feedback as shown as the tool stack believes.
  const bool shown = CFillTool::ShowFeedback();
  if (!Dragging()) return shown;
  CWorkDocument* document = TargetDocument();
  const std::optional<Point> at = PointerInImage();
  if (document != nullptr && at) MagicBucketFill(*document, *at, HalfSide(), KeepMode());
  return shown;
}

void CMagicBucketTool::DrawFeedback(bool) {
  CImageView* view = TrackingView();
  if (view == nullptr) return;
  const auto* zoomView = dynamic_cast<const CZoomView*>(view);
  const int32_t half = FeedbackHalfSide(zoomView != nullptr ? zoomView->Zoom() : 1.0);
  const platform::Point p = CurrentPoint();
  StFeedbackDC kit(*view);
  StInvertMode invert(kit.dc());
  FeedbackRectangle(kit.dc(), {p.x - half, p.y - half, p.x + half + 1, p.y + half + 1});
}
