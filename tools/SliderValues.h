// The values the slider bars set and the workspace keeps: pairs of a lower
// and an upper value (brush size and edge, threshold and transition) and
// single values (stamp spacing, a display setting, the overlay opacity).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "workspace/WorkspaceParticipant.h"

// A lower and an upper value, 0 to 255, lower <= upper. Setting the lower
// value carries the upper one along by the same amount.
class SliderPair : public WorkspaceParticipant {
 public:
  SliderPair(uint32_t tag, uint8_t lower, uint8_t upper) : tag_(tag), lower_(lower), upper_(upper) {}

  uint8_t lower() const { return lower_; }
  uint8_t upper() const { return upper_; }
  void SetLower(int value);
  void SetUpper(int value);

  // Called after every change made through the setters.
  void OnChange(std::function<void()> listener) { listeners_.push_back(std::move(listener)); }

  void LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) override;
  void Save() override;

 private:
  void Notify();

  uint32_t tag_;
  uint8_t lower_, upper_;
  std::vector<std::function<void()>> listeners_;
};

// One value, 0 to 255, stored as a one-byte record.
class SliderValue : public WorkspaceParticipant {
 public:
  SliderValue(uint32_t tag, uint8_t value) : tag_(tag), value_(value) {}

  uint8_t value() const { return value_; }
  void SetValue(int value);
  void OnChange(std::function<void()> listener) { listeners_.push_back(std::move(listener)); }

  void LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) override;
  void Save() override;

 private:
  uint32_t tag_;
  uint8_t value_;
  std::vector<std::function<void()>> listeners_;
};

constexpr uint32_t kBrushPairTag = 122;
constexpr uint32_t kThresholdPairTag = 123;
constexpr uint32_t kStampSpacingTag = 1037;
constexpr uint32_t kDisplaySettingTag = 1070;
constexpr uint32_t kOverlayOpacityTag = fourCharCode("OpSl");

// Brush size (lower) and brush size plus edge (upper), 64 and 192 at first.
SliderPair& BrushPair();
// Threshold (lower) and threshold plus transition (upper), 64 and 192.
SliderPair& ThresholdPair();
// Stamps every R * H * 2 / 255 pixels along a stroke: H, 64 at first.
SliderValue& StampSpacing();
// A display setting whose every change repaints every image view; 128.
SliderValue& DisplaySetting();
// The mask overlay's opacity in the main view; 255.
SliderValue& OverlayOpacity();
