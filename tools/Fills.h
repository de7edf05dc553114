// The fills: the bucket, the magic wand and the magic bucket. Each changes a
// connected area of the mask at once and leaves one undo record with the
// exclusive-or of old and new mask bytes. Each returns whether it changed
// anything (and so added a record).
#pragma once

#include "image/Geometry.h"
#include "tools/ColourClassifier.h"

class CWorkDocument;

// Keep mode fills towards 255 and treats masks below 253 as undecided;
// drop mode fills towards 0 and treats masks above 2 as undecided.
constexpr uint8_t fillTarget(bool keepMode) { return keepMode ? 255 : 0; }
bool maskUndecided(uint8_t mask, bool keepMode);

// Fills the connected undecided area around `at` with full keep or drop.
bool BucketFill(CWorkDocument& document, Point at, bool keepMode);
// Grows an area from `at` through every pixel the classifier gives any keep
// (keep mode) or drop weight, and blends each towards the target by it.
bool MagicWandFill(CWorkDocument& document, Point at, bool keepMode, PixelFormat format);
// Fills the undecided pockets that decided pixels or the image border close
// off inside the square of half side `halfSide` around `at`.
bool MagicBucketFill(CWorkDocument& document, Point at, int16_t halfSide, bool keepMode);
