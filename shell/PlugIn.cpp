#include "shell/PlugIn.h"

#include <iterator>

FilterRecord* gFilterRecord = nullptr;
PISelectionParams* gSelectionParams = nullptr;
int16_t gImageMode = 0;
int16_t gColourChannels = 0;

int16_t colourChannelsOfMode(int16_t mode) {
  static constexpr int16_t kChannels[] = {1, 1, 1, 3, 4, 3, 3, 1, 1, 3};
  if (mode < 0 || mode >= static_cast<int16_t>(std::size(kChannels))) return 1;
  return kChannels[mode];
}

void emptyRequestRectangles() {
  gFilterRecord->inRect.right = gFilterRecord->inRect.left;
  gFilterRecord->outRect.right = gFilterRecord->outRect.left;
  gFilterRecord->maskRect.right = gFilterRecord->maskRect.left;
}

void PlugIn::prepare() { gFilterRecord->bufferSpace = kPrepareBufferSpace; }
void PlugIn::start() { emptyRequestRectangles(); }
void PlugIn::continueRun() { emptyRequestRectangles(); }
