// The magic bucket (3260, key F): while the button is held, every move
// fills the undecided pockets inside a square under the pointer that
// decided pixels (or the image border) close off; undecided areas that
// reach the square's open sides are left alone. The square's half side is
// the brush's hard radius r0, truncated, and is shown around the pointer.
#pragma once

#include "tools/CFillTool.h"
#include "tools/ToolRegistry.h"

class CMagicBucketTool : public CFillTool {
 public:
  int32_t CursorResourceId() const override { return kToolMagicBucket; }
  bool ShowFeedback() override;
  // The square, by inversion, so that drawing it twice erases it.
  void DrawFeedback(bool show) override;

  // d: the brush slider's hard radius r0 in image pixels, truncated.
  static int16_t HalfSide();
  // The feedback's half side in window pixels at a view scale (window
  // pixels per image pixel): floor(d * scale + 0.5).
  static int32_t FeedbackHalfSide(double scale);
};

CMagicBucketTool& TheMagicBucketTool();
