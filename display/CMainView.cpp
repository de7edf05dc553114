#include "display/CMainView.h"

#include "display/CNavigatorTool.h"
#include "display/CTool.h"
#include "display/CWorkDocument.h"

namespace {

// Tools a navigator leaves alone: they work in any view.
constexpr int32_t kHandId = 3310;
constexpr int32_t kZoomId = 3320;

platform::Rect gVisibleArea;

template <typename Visit>
void forEachNavigator(Visit visit) {
  CWorkDocument* document = CMaskView::WorkDocument();
  if (document == nullptr) return;
  for (DocumentView* view = document->FirstView(); view != nullptr; view = view->nextView())
    if (auto* navigator = dynamic_cast<CNavigatorView*>(view); navigator != nullptr && navigator->exists())
      visit(*navigator);
}

void drawBoxes() {
  if (gVisibleArea.isEmpty()) return;
  forEachNavigator([](CNavigatorView& navigator) { navigator.InvertAreaFrame(gVisibleArea); });
}

}  // namespace

// ---- Main view ----

CMainView::~CMainView() {
  if (MainView() == this) gVisibleArea = {};
}

intptr_t CMainView::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  // Without a main view the navigators show no box.
  if (message == platform::kWmDestroy && MainView() == this) gVisibleArea = {};
  return CMaskView::handleMessage(message, wParam, lParam);
}

void CMainView::BecomeMainView() {
  SetMainView(this);
  PublishGeometry();
  CNavigatorView::UpdateVisibleArea();
}

void CMainView::EndNavigatorTool() {
  if (ActiveTool() == &TheNavigatorTool()) ReleaseSpringTool(TheNavigatorTool());
}

void CMainView::MouseDown(platform::Point point, uint32_t flags) {
  EndNavigatorTool();
  ToolMouseDown(*this, point, flags);
}

void CMainView::MouseMove(platform::Point point, uint32_t flags) {
  EndNavigatorTool();
  ToolMouseMove(*this, point, flags);
}

void CMainView::MouseUp(platform::Point point, uint32_t flags) {
  EndNavigatorTool();
  ToolMouseUp(*this, point, flags);
}

void CMainView::VisibleAreaWillChange() {
  if (MainView() == this) drawBoxes();  // erases them
}

// What a script driving the window needs to aim at image pixels: the zoom
// (in millionths) and the visible area's top-left in content pixels, as
// window properties of the main view.
void CMainView::PublishGeometry() {
  setProperty(kMainViewProperty, 1);
  setProperty(kZoomProperty, static_cast<intptr_t>(Zoom() * 1e6 + 0.5));
  setProperty(kVisibleLeftProperty, VisibleRect().left);
  setProperty(kVisibleTopProperty, VisibleRect().top);
}

void CMainView::VisibleAreaChanged() {
  PublishGeometry();
  if (MainView() != this) return;
  gVisibleArea = VisibleImageRect();
  drawBoxes();
}

// ---- Navigator view ----

const platform::Rect& CNavigatorView::VisibleArea() { return gVisibleArea; }

void CNavigatorView::UpdateVisibleArea() {
  drawBoxes();
  CMaskView* main = MainView();
  gVisibleArea = main != nullptr ? main->VisibleImageRect() : platform::Rect{};
  drawBoxes();
}

void CNavigatorView::CallUpNavigatorTool() {
  const CTool* active = ActiveTool();
  const int32_t id = active != nullptr ? active->CursorResourceId() : 0;
  if (id != CNavigatorTool::kId && id != kHandId && id != kZoomId) SelectSpringTool(TheNavigatorTool());
}

void CNavigatorView::MouseDown(platform::Point point, uint32_t flags) {
  CallUpNavigatorTool();
  ToolMouseDown(*this, point, flags);
}

void CNavigatorView::MouseMove(platform::Point point, uint32_t flags) {
  CallUpNavigatorTool();
  ToolMouseMove(*this, point, flags);
}

void CNavigatorView::MouseUp(platform::Point point, uint32_t flags) {
  CallUpNavigatorTool();
  ToolMouseUp(*this, point, flags);
}

void CNavigatorView::DrawFeedbackOverlay() {
  if (!gVisibleArea.isEmpty()) InvertAreaFrame(gVisibleArea);
}
