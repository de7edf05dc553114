#include "tools/CZoomTool.h"

#include "display/CMaskView.h"

namespace {

constexpr uint32_t kAlt = 0x40;

CZoomTool gZoomTool;
ToolRegistration gZoomRegistration(gZoomTool);

}  // namespace

CZoomTool& TheZoomTool() { return gZoomTool; }

CZoomView* CZoomTool::TargetView() {
  if (auto* view = dynamic_cast<CZoomView*>(TrackingView())) return view;
  return CMaskView::MainView();
}

int32_t CZoomTool::GetCursorId() { return (CurrentFlags() & kAlt) != 0 ? int32_t{kCursorZoomOut} : int32_t{kToolZoom}; }

void CZoomTool::ButtonUp() {
  CZoomView* view = dynamic_cast<CZoomView*>(TrackingView());
  if (view != nullptr) {
    if ((CurrentFlags() & kAlt) != 0) {
      view->ZoomToRect(view->VisibleImageRect(), view->ZoomOut());
    } else {
      const platform::Rect band = RubberBand();
      platform::Rect image = band;
      view->WindowToImageRect(image);
      const bool click = band.width() < kClickSize && band.height() < kClickSize;
      view->ZoomToRect(image, click ? view->ZoomIn() : 0.0);
    }
  }
  CTool::ButtonUp();
}

void CZoomTool::Reselect(bool doubleClick, bool force) {
  SetUsed(doubleClick);
  // A tapped key leaves the zoom tool selected on its own.
  CTool::Reselect(doubleClick, force);
  if (!doubleClick) return;
  if (CZoomView* view = TargetView()) view->ZoomToRect(view->VisibleImageRect(), 1.0);
}
