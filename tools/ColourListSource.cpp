#include "tools/ColourListSource.h"

#include "tools/CEyedropperTool.h"
#include "tools/ColourList.h"
#include "tools/KeepMode.h"
#include "tools/SliderValues.h"

std::vector<ClassifierColour> ColourListSource::selectedKeepColours(PixelFormat format) {
  return KeepColourList().SelectedColours(format);
}

std::vector<ClassifierColour> ColourListSource::selectedDropColours(PixelFormat format) {
  return DropColourList().SelectedColours(format);
}

// The slider bar's accessor shares its name with the pair type of the
// classifier, so the type is named with its class key here.
ClassifierThresholds ColourListSource::thresholdPair() {
  const SliderPair& slider = ThresholdPair();
  return {slider.lower(), slider.upper()};
}

bool ColourListSource::keepMode() { return KeepMode(); }

std::optional<ClassifierColour> ColourListSource::colourUnderPointer(PixelFormat format) {
  ColourEntry sample;
  if (!CEyedropperTool::samplePixel(sample)) return std::nullopt;
  return sample.InFormat(format);
}

ColourListSource& TheColourListSource() {
  static ColourListSource source;
  return source;
}
