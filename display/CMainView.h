// The two kinds of mask view the work window uses: its main view, and the
// view inside each navigator, which shows the whole image with a box around
// the main view's visible area and steers the main view.
#pragma once

#include "display/CMaskView.h"

// The work window's view. Mouse calls go to the tool stack, after ending
// the navigator tool if a navigator left it current. Whenever its visible
// area moves or its zoom changes, the navigators' boxes follow.
class CMainView : public CMaskView {
 public:
  // Window properties that tell scripts how image pixels map to the view's
  // client area: client = (image + 0.5) * zoom - visible top-left.
  static constexpr const char* kMainViewProperty = "Tessaly.MainView";
  static constexpr const char* kZoomProperty = "Tessaly.ZoomMillionths";
  static constexpr const char* kVisibleLeftProperty = "Tessaly.VisibleLeft";
  static constexpr const char* kVisibleTopProperty = "Tessaly.VisibleTop";

  ~CMainView() override;
  // Makes this the document's main view and shows its area in the
  // navigators (call after creating it).
  void BecomeMainView();

  void MouseDown(platform::Point point, uint32_t flags) override;
  void MouseMove(platform::Point point, uint32_t flags) override;
  void MouseUp(platform::Point point, uint32_t flags) override;

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void VisibleAreaWillChange() override;
  void VisibleAreaChanged() override;

 private:
  void EndNavigatorTool();
  void PublishGeometry();
};

// A navigator's view. A pointer in it calls up the navigator tool unless
// the navigator tool, the hand or the zoom is current; it then goes to the
// tool stack as in every view.
class CNavigatorView : public CMaskView {
 public:
  void MouseDown(platform::Point point, uint32_t flags) override;
  void MouseMove(platform::Point point, uint32_t flags) override;
  void MouseUp(platform::Point point, uint32_t flags) override;

  // The box: the main view's visible area in image coordinates, as every
  // navigator shows it now (empty while there is no main view).
  static const platform::Rect& VisibleArea();
  // Erases every navigator's box, takes the main view's visible area anew
  // and draws the boxes again.
  static void UpdateVisibleArea();

 protected:
  void DrawFeedbackOverlay() override;

 private:
  void CallUpNavigatorTool();
};
