// The classifier's inputs as the work window has them: the selected
// colours of the keep and drop lists (converted to the working format), the
// threshold slider pair, the toolbox's keep mode and the pixel under the
// pointer. The classifier cache uses it unless a test puts another source.
#pragma once

#include "tools/ColourClassifier.h"

class ColourListSource : public ClassifierSource {
 public:
  std::vector<ClassifierColour> selectedKeepColours(PixelFormat format) override;
  std::vector<ClassifierColour> selectedDropColours(PixelFormat format) override;
  ClassifierThresholds thresholdPair() override;
  bool keepMode() override;
  std::optional<ClassifierColour> colourUnderPointer(PixelFormat format) override;
};

ColourListSource& TheColourListSource();
