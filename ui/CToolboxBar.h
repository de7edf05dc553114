// The toolbox: a small floating bar with a button per tool the mouse can
// pick, the keep-mode switch and a title strip that opens the About box. It
// shows the current tool pressed, whichever way it was chosen, and the keep
// mode on the switch.
#pragma once

#include <cstdint>
#include <map>

#include "platform/DeviceContext.h"
#include "platform/FrameWindow.h"

class CToolboxBar : public platform::ControlBar {
 public:
  static constexpr int kBarId = 130;
  static constexpr platform::Size kSize{57, 207};
  static constexpr int kKeepModeSwitch = 3350;
  static constexpr int kTitleBitmap = 188;
  static constexpr platform::Point kTitleAt{3, 3};  // the bitmap, 51 x 22
  static constexpr platform::Rect kTitleStrip{3, 3, 51, 22};

  struct Button {
    int id;
    platform::Rect rect;
  };

  CToolboxBar();
  ~CToolboxBar() override;

  // Creates the bar, hidden, floating in a frame owned by the work window.
  bool CreateToolbox(platform::FrameWindow& frame);

  // The button drawn pressed; a tool becoming current calls this.
  void SetCurrentTool(int32_t id);
  int32_t CurrentTool() const { return current_; }
  // The switch's icon: 3340 while keep mode is on, 3330 while it is off.
  int SwitchIcon() const;
  const std::map<int, Button>& Buttons() const { return buttons_; }
  // Whether the button is drawn pressed now.
  bool ShowsPressed(int id) const;

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  int ButtonAt(platform::Point point) const;  // 0: none
  void Paint();
  void PaintButton(platform::DeviceContext& dc, const Button& button) const;
  void RedrawButton(int id);
  void Press(platform::Point point);
  void Track(platform::Point point);
  void Release(platform::Point point);
  void Choose(int id);

  std::map<int, Button> buttons_;
  int32_t current_;
  int pressed_ = 0;
  int hovered_ = 0;
};

// The work window's toolbox, single for the whole run.
CToolboxBar& Toolbox();
