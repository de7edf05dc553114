#include "display/CNavigatorTool.h"

#include <algorithm>

#include "display/CMaskView.h"
#include "platform/Message.h"

namespace {

CMaskView* navigatorView(CImageView* view) {
  auto* mask = dynamic_cast<CMaskView*>(view);
  CMaskView* main = CMaskView::MainView();
  if (mask == nullptr || main == nullptr || mask == main || mask->Document() != main->Document()) return nullptr;
  return mask;
}

}  // namespace

platform::Point CNavigatorTool::ToMainView(platform::Point imagePoint) const {
  CMaskView* main = CMaskView::MainView();
  main->ImageToWindowPoint(imagePoint);
  const platform::Point origin = main->GdiOrigin();
  return {imagePoint.x - origin.x, imagePoint.y - origin.y};
}

void CNavigatorTool::HoverTest() {
  CMaskView* navigator = navigatorView(TrackingView());
  if (navigator == nullptr) {
    boxMode_ = false;
    return;
  }
  const platform::Point point = CurrentPoint();
  imagePoint_ = point;
  navigator->WindowToImagePoint(imagePoint_);

  platform::Rect box = CMaskView::MainView()->VisibleImageRect();
  navigator->ImageToWindowRect(box);
  // Inside the navigator's content, then two pixels out, so that a box as
  // large as the image can still be grabbed at its edge.
  const platform::Point base = navigator->WindowBase();
  const platform::Size size = navigator->ContentSize();
  const int32_t width = size.cx - base.x, height = size.cy - base.y;
  box.left = std::max(box.left, 2 - base.x) - 2;
  box.top = std::max(box.top, 2 - base.y) - 2;
  box.right = std::min(box.right, width - 2) + 2;
  box.bottom = std::min(box.bottom, height - 2) + 2;
  boxMode_ = box.contains(point);
}

void CNavigatorTool::DrawFeedback(bool show) {
  if (!boxMode_) CTool::DrawFeedback(show);
}

void CNavigatorTool::FollowPointer() {
  CMaskView* navigator = navigatorView(TrackingView());
  if (navigator == nullptr) return;
  platform::Point image = CurrentPoint();
  navigator->WindowToImagePoint(image);
  const platform::Point now = ToMainView(image);
  if (now == grab_) return;
  CMaskView* main = CMaskView::MainView();
  const platform::Rect visible = main->VisibleRect();
  // The grab point stays: after the scroll the same image point lies under
  // it again, so the box keeps its place under the pointer.
  main->ScrollTo(visible.offsetBy(now.x - grab_.x, now.y - grab_.y), true);
}

bool CNavigatorTool::ShowFeedback() {
  if (!Dragging())
    HoverTest();
  else if (boxMode_)
    FollowPointer();
  return CTool::ShowFeedback();
}

void CNavigatorTool::ButtonDown() {
  HoverTest();
  if (boxMode_) grab_ = ToMainView(imagePoint_);
  CTool::ButtonDown();
}

void CNavigatorTool::ButtonUp() {
  if (boxMode_) {
    FollowPointer();
  } else if (CMaskView* navigator = navigatorView(TrackingView())) {
    platform::Rect band = RubberBand();
    navigator->WindowToImageRect(band);
    CMaskView::MainView()->ZoomToRect(band, 0);
  }
  CancelDrag();
}

CNavigatorTool& TheNavigatorTool() {
  static CNavigatorTool tool;
  return tool;
}
