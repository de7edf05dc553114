// The fills: the bucket, the magic wand and the magic bucket. Each changes a
// connected area of the mask at once and leaves one undo record with the
// exclusive-or of old and new mask bytes. Each returns whether it changed
// anything (and so added a record).
#pragma once

#include <cstdint>
#include <memory>

#include "image/Geometry.h"
#include "tools/ColourClassifier.h"
#include "tools/RegionFill.h"

class CWorkDocument;
class Image;

// Decision limits: in keep mode a mask byte below 253 is undecided, in drop
// mode one above 2. The fills move undecided pixels to the target, 255 in
// keep mode and 0 in drop mode.
constexpr uint8_t kKeepDecisionLimit = 253;
constexpr uint8_t kDropDecisionLimit = 2;
constexpr uint8_t fillTarget(bool keepMode) { return keepMode ? 255 : 0; }
constexpr bool maskUndecided(uint8_t mask, bool keepMode) {
  return keepMode ? mask < kKeepDecisionLimit : mask > kDropDecisionLimit;
}

// The buckets' judge: 255 where the mask byte is undecided, else 0.
ByteRangeJudge undecidedJudge(bool keepMode);

// The magic wand's judge: the classifier's keep weight of an image pixel
// (keep mode) or its drop weight, 255 minus it (drop mode).
class ClassifierJudge final : public FillJudge {
 public:
  ClassifierJudge(ColourClassifier& classifier, bool keepMode) : classifier_(classifier), keepMode_(keepMode) {}
  uint8_t judge(const uint8_t* pixel, int32_t, int32_t, FillFrom) override;
  void judgeUnknown(const uint8_t* pixel, int32_t rowStep, int32_t colStep, int32_t count, uint8_t* region,
                    FillFrom from) override;

 private:
  ColourClassifier& classifier_;
  bool keepMode_;
};

// Fills the connected undecided area around `at` with full keep or drop.
bool BucketFill(CWorkDocument& document, Point at, bool keepMode);
// Grows an area from `at` through every pixel the classifier gives any keep
// (keep mode) or drop weight, and blends each towards the target by it.
bool MagicWandFill(CWorkDocument& document, Point at, bool keepMode, PixelFormat format);
// Fills the undecided pockets that decided pixels or the image border close
// off inside the square of half side `halfSide` around `at`.
bool MagicBucketFill(CWorkDocument& document, Point at, int16_t halfSide, bool keepMode);

// Sets the mask to `target` wherever the region map is non-zero, leaving
// old XOR new in the region map, and hands the map to the document's
// history as one undo record.
void SetRegionToTarget(std::unique_ptr<Image> regionMap, CWorkDocument& document, uint8_t target);
