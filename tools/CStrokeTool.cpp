#include "tools/CStrokeTool.h"

#include <algorithm>
#include <cmath>

#include "display/CImageView.h"
#include "display/CWorkDocument.h"
#include "display/CZoomView.h"
#include "display/FeedbackKit.h"
#include "tools/SliderValues.h"
#include "tools/StrokeSampler.h"

namespace {

struct SharedStroke {
  BrushStroke stroke;
  StrokeSampler sampler{stroke.ring()};
};

SharedStroke& shared() {
  static SharedStroke s;
  return s;
}

double viewScale(const CImageView& view) {
  const auto* zoomView = dynamic_cast<const CZoomView*>(&view);
  return zoomView != nullptr ? zoomView->Zoom() : 1.0;
}

// Far enough outside any image that no stamp reaches back in, close enough
// that subpixel arithmetic stays within 32 bits.
constexpr double kFarOutside = 1e7;

}  // namespace

BrushStroke& CStrokeTool::Stroke() { return shared().stroke; }
bool CStrokeTool::Sampling() { return shared().sampler.running(); }

ImagePosition ScreenToImage(const CImageView& view, PointRing::Entry entry) {
  const platform::Point client = view.screenToClient({entry.h, entry.v});
  const platform::Rect& visible = view.VisibleRect();
  const double scale = viewScale(view);
  const auto clamp = [](double x) { return std::clamp(x, -kFarOutside, kFarOutside); };
  return {clamp((client.y + visible.top) / scale), clamp((client.x + visible.left) / scale)};
}

BrushSetting CStrokeTool::CurrentSetting() const {
  return {BrushPair().lower(), BrushPair().upper(), StrokeStrength(), StampSpacing().value()};
}

void CStrokeTool::DrawFeedback(bool) {
  CImageView* view = TrackingView();
  if (view == nullptr || view != circles_.view) return;
  StFeedbackDC kit(*view);
  StInvertMode invert(kit.dc());
  const platform::Point c = circles_.centre;
  for (const int32_t r : {circles_.inner, circles_.outer})
    FeedbackEllipse(kit.dc(), {c.x - r, c.y - r, c.x + r + 1, c.y + r + 1});
}

bool CStrokeTool::ShowFeedback() {
  circles_ = {};
  if (CImageView* view = TrackingView()) {
    const BrushSetting setting = CurrentSetting();
    const BrushGeometry g = BrushGeometry::from(setting.size, setting.sizePlusEdge, setting.strength, setting.spacing);
    const double scale = viewScale(*view);
    circles_ = {view, CurrentPoint(), static_cast<int32_t>(std::floor(g.hardRadius * scale + 0.5)),
                static_cast<int32_t>(std::floor(g.outerRadius * scale + 0.5))};
  }
  try {
    RunStrokeStep();
  } catch (...) {
    // The circles go up whatever happened, so that the next hide takes
    // them down again instead of inverting the screen.
    CTool::ShowFeedback();
    throw;
  }
  return CTool::ShowFeedback();
}

void CStrokeTool::RunStrokeStep() {
  CImageView* view = TrackingView();
  if (view == nullptr) {
    // Tracking ended (Escape, the view went) with the stroke: what it had
    // not painted yet is not painted later either.
    if (!Sampling()) Stroke().dropQueued();
    return;
  }
  if (view->Document() == nullptr) return;
  CWorkDocument& document = *view->Document();
  if (document.MaskImage() == nullptr) return;
  Stroke().step(
      document, [view](PointRing::Entry e) { return ScreenToImage(*view, e); }, CurrentSetting(),
      [this](Image& coverage, CWorkDocument& doc, std::vector<Rect>& bandsDone) {
        ApplyStroke(coverage, doc, bandsDone);
      });
}

void CStrokeTool::ButtonDown() {
  CTool::ButtonDown();
  shared().sampler.start();
}

void CStrokeTool::CancelDrag() {
  shared().sampler.stop();
  CTool::CancelDrag();
}
