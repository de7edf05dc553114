// The plug-in objects and the state of the host call in progress.
#pragma once

#include <cstdint>

#include "hostapi/FilterRecord.h"
#include "hostapi/SelectionParams.h"

// The host's parameter block of the call in progress; null between calls.
// Every other part of the plug-in reaches the host through these.
extern FilterRecord* gFilterRecord;
extern PISelectionParams* gSelectionParams;

// The document's image mode (the host's numbering) and the number of colour
// channels of that mode, recorded at the start of every filter call.
extern int16_t gImageMode;
extern int16_t gColourChannels;

// Colour channels of a mode: bitmap 1, greyscale 1, indexed 1, RGB 3,
// CMYK 4, HSL 3, HSB 3, multichannel 1, duotone 1, Lab 3.
int16_t colourChannelsOfMode(int16_t mode);

// One per plug-in, constructed when the library is loaded. The host's
// selectors reach these operations; the defaults suit a filter that does
// all its pixel traffic through advanceState rather than the host's own
// continue loop.
class PlugIn {
 public:
  virtual ~PlugIn() = default;

  virtual void about() {}
  virtual void parameters() {}
  // Asks the host for the buffer space every run needs.
  virtual void prepare();
  // Empties the host's request rectangles so its continue loop ends at once.
  virtual void start();
  virtual void continueRun();
  virtual void finish() {}
};

// Empties the input, output and mask request rectangles of gFilterRecord.
void emptyRequestRectangles();

constexpr int32_t kPrepareBufferSpace = 262144;
