// The keep eyedropper (3220, key I) and the drop eyedropper (3230, key O):
// they pick colours from the image into the current row of the keep or the
// drop list. While the button is held every pixel the pointer passes over
// is added to a running mean, so a drag picks the mean colour of a stroke,
// and the list's current row follows the mean as it goes.
//
// A pick that starts with the right button first adds a new set to the
// list; one that starts with Shift first moves to the next empty slot of
// the current set.
#pragma once

#include <array>
#include <cstdint>

#include "display/CTool.h"
#include "tools/ColourEntry.h"
#include "tools/ToolRegistry.h"

class ColourList;

class CEyedropperTool : public CTool {
 public:
  explicit CEyedropperTool(bool keep) : keep_(keep) {}

  int32_t CursorResourceId() const override { return keep_ ? kToolKeepEyedropper : kToolDropEyedropper; }
  // The keep eyedropper shows its Shift cursor while Shift is held, the
  // drop eyedropper while Shift or the right button is.
  int32_t GetCursorId() override;
  void Activate() override { AnnounceToolActivation(CursorResourceId()); }
  void ButtonDown() override;
  bool ShowFeedback() override;

  bool IsKeep() const { return keep_; }
  // Pixels added to the running mean since the last press.
  int32_t SampleCount() const { return count_; }

  // The pixel under the pointer in the view that delivered the last
  // pointer event, as an entry in the working image's format. A view that
  // shows one channel alone gives that channel's value with 128 in every
  // other channel. False without such a view or off the image.
  static bool samplePixel(ColourEntry& out);

 private:
  ColourList& List() const;

  bool keep_;
  std::array<int64_t, 4> sums_{};
  int32_t count_ = 0;
};

CEyedropperTool& TheKeepEyedropper();
CEyedropperTool& TheDropEyedropper();

// Makes the keep or the drop eyedropper the selected tool, unless it is
// already the top tool (the bars' buttons and clicks on a swatch).
void selectEyedropper(bool keep);
