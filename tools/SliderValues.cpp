#include "tools/SliderValues.h"

#include <algorithm>

#include "display/CWorkDocument.h"

void SliderPair::SetLower(int value) {
  const int lower = std::clamp(value, 0, 255);
  if (lower == lower_) return;
  // The upper value moves by as much as the lower one. It stops at 255
  // rather than wrapping round below the lower value.
  upper_ = static_cast<uint8_t>(std::min(lower + upper_ - lower_, 255));
  lower_ = static_cast<uint8_t>(lower);
  Notify();
}

void SliderPair::SetUpper(int value) {
  const int upper = std::clamp(value, static_cast<int>(lower_), 255);
  if (upper == upper_) return;
  upper_ = static_cast<uint8_t>(upper);
  Notify();
}

void SliderPair::Notify() {
  for (const auto& listener : listeners_) listener();
}

// The larger byte becomes the upper value, so a record can never make the
// pair inverted; no clamping and no notification.
void SliderPair::LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) {
  if (tag != tag_ || size != 2) return;
  upper_ = std::max(payload[0], payload[1]);
  lower_ = payload[0];
}

void SliderPair::Save() {
  const uint8_t record[2] = {lower_, upper_};
  WriteRecord(tag_, sizeof record, record);
}

void SliderValue::SetValue(int value) {
  const auto clamped = static_cast<uint8_t>(std::clamp(value, 0, 255));
  if (clamped == value_) return;
  value_ = clamped;
  for (const auto& listener : listeners_) listener();
}

void SliderValue::LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) {
  if (tag == tag_ && size == 1) value_ = payload[0];
}

void SliderValue::Save() { WriteRecord(tag_, 1, &value_); }

SliderPair& BrushPair() {
  static SliderPair pair(kBrushPairTag, 64, 192);
  return pair;
}

SliderPair& ThresholdPair() {
  static SliderPair pair(kThresholdPairTag, 64, 192);
  return pair;
}

SliderValue& StampSpacing() {
  static SliderValue value(kStampSpacingTag, 64);
  return value;
}

SliderValue& DisplaySetting() {
  static SliderValue value(kDisplaySettingTag, 128);
  return value;
}

SliderValue& OverlayOpacity() {
  static SliderValue value(kOverlayOpacityTag, 255);
  return value;
}

namespace {

// Every value joins the workspace when the library loads; a change of the
// display setting repaints every view of the document.
const bool kRegistered = [] {
  BrushPair();
  ThresholdPair();
  StampSpacing();
  OverlayOpacity();
  DisplaySetting().OnChange([] {
    if (CWorkDocument* document = CWorkDocument::Current()) {
      const CWorkDocument::Size size = document->GetImageSize();
      document->InvalidateImageRect({0, 0, size.height, size.width});
    }
  });
  return true;
}();

}  // namespace
