// The controls along the main view's edges: rows or columns of icon
// buttons of which exactly one is down (the display-mode selector, the
// channel strip), and the overlay-opacity slider.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
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

// "Op:", a track and the value in percent: the mask overlay's opacity,
// 0 to 255. Pressing or dragging on the track sets it.
class COpacitySlider : public platform::Window {
 public:
  static constexpr int32_t kLabelWidth = 20;
  static constexpr int32_t kValueWidth = 30;
  static constexpr int32_t kValueBoxWidth = 29;
  static constexpr int32_t kTextHeight = 10;

  explicit COpacitySlider(std::function<void(int)> changed) : changed_(std::move(changed)) {}
  ~COpacitySlider() override;

  uint8_t Value() const { return value_; }
  // Shows a value that changed elsewhere (a workspace load).
  void SetValue(uint8_t value);
  // The value a pointer at client x chooses, and where a value's thumb
  // centre sits.
  uint8_t ValueAt(int32_t x) const;
  int32_t PositionOf(uint8_t value) const;
  // "%d%%" of value × 100 / 255.
  static std::string PercentText(uint8_t value);

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  int32_t TrackLeft() const { return kLabelWidth; }
  int32_t TrackRight() const { return clientRect().width() - kValueWidth; }
  void Track(int32_t x);
  void Paint();

  std::function<void(int)> changed_;
  uint8_t value_ = 255;
  bool tracking_ = false;
};
