// The overlay-opacity slider along the main view's bottom edge.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Window.h"

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
