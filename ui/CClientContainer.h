// The work window's client area: the main view with its scroll bars and the
// size box, the overlay-opacity slider and the display-mode selector along
// the bottom, and the channel strip above the vertical scroll bar, laid out
// from the system's scroll-bar sizes.
#pragma once

#include <vector>

#include "display/CMainView.h"
#include "platform/Controls.h"
#include "platform/Window.h"
#include "ui/COpacitySlider.h"
#include "ui/CSelectorButtons.h"

class CClientContainer : public platform::Window {
 public:
  CClientContainer();
  ~CClientContainer() override;

  // Creates the container as a visible child filling the frame's client
  // area (the first pane), with its views and bars.
  bool CreateIn(platform::Window& frame, int id);
  CMainView& MainView() { return view_; }
  CSelectorButtons& DisplayModeSelector() { return displayMode_; }
  CSelectorButtons& ChannelStrip() { return channels_; }
  COpacitySlider& OpacitySlider() { return opacity_; }

  // The channel strip's buttons for an image mode, from the top: one per
  // channel (values 1 to n) and the composite (0); none for greyscale.
  static std::vector<CSelectorButtons::Button> ChannelButtons(int16_t imageMode);

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
  CSelectorButtons displayMode_;
  CSelectorButtons channels_;
  COpacitySlider opacity_;
};
