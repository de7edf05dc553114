// The edge fill: grows a region from a pixel until it has just passed the
// crest of a colour edge stronger than a limit, and sets the mask there to
// full keep or full drop.
#pragma once

#include <cstdint>

#include "image/Geometry.h"
#include "tools/RegionFill.h"

class CWorkDocument;

// Judges pixels by the Roberts-cross gradient of the 2 x 2 blocks around
// them: a pixel is outside when the gradient on the side the fill came from
// exceeds the limit and the gradient ahead, so the fill stops just past an
// edge's crest.
class EdgeJudge : public FillJudge {
 public:
  // limit: E = (L * L * channels * 2) / 10 for the threshold's lower value L.
  EdgeJudge(int32_t limit, int channels) : limit_(limit), channels_(channels) {}
  static int32_t limitFor(int lowerThreshold, int channels) {
    return (lowerThreshold * lowerThreshold * channels * 2) / 10;
  }

  int margin() const override { return 1; }
  uint8_t judge(const uint8_t* pixel, int32_t rowStep, int32_t colStep, FillFrom from) override;

 private:
  int32_t block(const uint8_t* p, int32_t horizontal, int32_t vertical) const;

  int32_t limit_;
  int channels_;
};

// Fills from `at` over the working image up to its colour edges; true when
// the mask changed (and an undo record was added).
bool EdgeFill(CWorkDocument& document, Point at, bool keepMode, int lowerThreshold);
