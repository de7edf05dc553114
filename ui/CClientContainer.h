// The work window's client area: the main view with its scroll bars and the
// size box, laid out from the system's scroll-bar sizes. The display-mode
// selector, the channel strip and the opacity slider get their places in
// the layout.
#pragma once

#include "display/CMainView.h"
#include "platform/Controls.h"
#include "platform/Window.h"

class CClientContainer : public platform::Window {
 public:
  CClientContainer() : vertical_(true), horizontal_(false) {}
  ~CClientContainer() override;

  // Creates the container as a visible child filling the frame's client
  // area (the first pane), with its views and bars.
  bool CreateIn(platform::Window& frame, int id);
  CMainView& MainView() { return view_; }

  // Where each element goes for a client area of W x H.
  struct Layout {
    platform::Rect view, opacity, displayMode, horizontal, sizeBox, strip, vertical;
  };
  static Layout LayoutFor(int32_t width, int32_t height, int32_t stripHeight);

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  void Arrange();

  CMainView view_;
  platform::ScrollBar vertical_;
  platform::ScrollBar horizontal_;
  platform::SizeBox sizeBox_;
};
