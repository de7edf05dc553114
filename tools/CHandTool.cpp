#include "tools/CHandTool.h"

#include "display/CMaskView.h"
#include "platform/Message.h"

namespace {

constexpr uint32_t kZoomModifiers = 0x08 | 0x40;  // Ctrl or Alt

CHandTool gHandTool;
ToolRegistration gHandRegistration(gHandTool);

}  // namespace

CHandTool& TheHandTool() { return gHandTool; }

int32_t CHandTool::Fold(int32_t delta) {
  if (delta < -8192) return delta + 16384;
  if (delta > 8191) return delta - 16384;
  return delta;
}

int32_t CHandTool::GetCursorId() { return zoomMode_ ? CZoomTool::GetCursorId() : kToolHand; }

void CHandTool::DrawFeedback(bool show) {
  if (zoomMode_) CZoomTool::DrawFeedback(show);
}

void CHandTool::Scroll() {
  CImageView* view = TrackingView();
  if (view == nullptr) return;
  const platform::Point anchor = Anchor(), current = CurrentPoint();
  const int32_t dx = Fold(anchor.x - current.x), dy = Fold(anchor.y - current.y);
  if (dx == 0 && dy == 0) return;
  // The view moves under the pointer: the anchor then lies under it again.
  view->ScrollTo(view->VisibleRect().offsetBy(dx, dy), true);
}

bool CHandTool::ShowFeedback() {
  if ((CurrentFlags() & platform::kMkLButton) == 0 && !Dragging())
    zoomMode_ = (CurrentFlags() & kZoomModifiers) != 0;
  if (!zoomMode_ && Dragging()) Scroll();
  return CZoomTool::ShowFeedback();
}

void CHandTool::ButtonUp() {
  if (zoomMode_)
    CZoomTool::ButtonUp();
  else
    CTool::ButtonUp();
}

void CHandTool::Reselect(bool doubleClick, bool force) {
  if (zoomMode_) {
    CZoomTool::Reselect(doubleClick, force);
    return;
  }
  SetUsed(doubleClick);
  if (force) {
    // Its key was only tapped: the hand is no tool to keep, the previous
    // one comes back.
    if (CTool* previous = Next()) {
      PopToTool(previous);
      previous->Activate();
      previous->ShowFeedback();
    }
    return;
  }
  if (!doubleClick) return;
  if (CZoomView* view = TargetView()) view->ZoomToRect(view->ImageRect(), 0.0);
}
