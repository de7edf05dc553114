// Rows or columns of icon buttons of which exactly one is down, along the
// main view's edges: the display-mode selector and the channel strip.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Window.h"

// Buttons side by side or stacked, each c × d pixels, each carrying an
// icon and a value; one is down. A press draws the button pressed and
// captures the mouse; while held it shows pressed only over the pointer
// (or when it is the one down); releasing over it chooses it.
class CSelectorButtons : public platform::Window {
 public:
  struct Button {
    int iconId;
    int32_t value;
  };
  enum class Direction { kAcross, kDown };

  CSelectorButtons(Direction direction, std::function<void(int32_t)> chosen)
      : direction_(direction), chosen_(std::move(chosen)) {}
  ~CSelectorButtons() override;

  // Replaces the buttons; the one with `value` is down.
  void SetButtons(std::vector<Button> buttons, int32_t value);
  // Puts the button with this value down without telling anyone.
  void SetValue(int32_t value);
  int32_t Value() const;
  size_t ButtonCount() const { return buttons_.size(); }
  // The button's rectangle in client coordinates (the size of one is the
  // system's scroll-bar width by its height).
  platform::Rect ButtonRect(size_t index) const;
  // The whole strip's length along its direction.
  int32_t Length() const;
  bool ShowsPressed(size_t index) const;

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  int HitButton(platform::Point point) const;  // -1: none
  void Paint();

  Direction direction_;
  std::function<void(int32_t)> chosen_;
  std::vector<Button> buttons_;
  std::vector<platform::Icon> icons_;
  int down_ = 0;
  int pressing_ = -1;  // the button held, -1 when none
  bool over_ = false;  // the pointer is over the held button
};
