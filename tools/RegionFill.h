// The region fill behind the bucket, the magic bucket, the magic wand and
// the edge fill: a 4-connected scanline seed fill over an image, driven by
// a judge of the pixel beneath, that writes the judge's value into a
// region map.
//
// The region map is a one-byte BufferImage with 128 x 128 tiles, 0 at
// creation. After the fill a byte holds the judge's non-zero value where
// its pixel is inside the region and 0 where it is outside or was never
// looked at. Spans are the unit of work: a span judges every pixel of its
// row range not yet known inside, once, then extends each group of new
// inside pixels beyond its ends into a run. So a pixel inside is judged
// exactly once and a pixel outside at most once per span that reaches it.
// Cost: O(pixels inside + their outside neighbours), in tile-sized pieces.
#pragma once

#include <cstdint>
#include <vector>

#include "image/Image.h"

// Where the fill came from when it reaches a pixel: the span's direction
// (from above when moving down) or, for a run growing sideways, the side
// it grows from (from the left when growing to the right).
enum class FillFrom : uint8_t { seed, above, below, left, right };

// Judges pixels for the fill: a non-zero value means inside, and is what
// the region map records. A pixel pointer lies inside a buffer with
// `margin()` pixels of replicated image edge around the tile, so a judge
// may look at neighbours, with the given steps.
class FillJudge {
 public:
  virtual ~FillJudge() = default;
  virtual int margin() const { return 0; }
  virtual uint8_t judge(const uint8_t* pixel, int32_t rowStep, int32_t colStep, FillFrom from) = 0;
  // Judges the `count` pixels from `pixel` on whose region byte is 0 and
  // stores each value there; known pixels are left alone. The fill judges
  // a span's pixels with one call, so a judge may override this with a
  // loop of its own.
  virtual void judgeUnknown(const uint8_t* pixel, int32_t rowStep, int32_t colStep, int32_t count,
                            uint8_t* region, FillFrom from);
};

// Inside, with the value 255, where the pixel's first byte lies in
// [low, high]: the buckets' test of a mask byte.
class ByteRangeJudge final : public FillJudge {
 public:
  ByteRangeJudge(uint8_t low, uint8_t high) : low_(low), width_(static_cast<uint8_t>(high - low)) {}
  uint8_t judge(const uint8_t* pixel, int32_t, int32_t, FillFrom) override { return inside(*pixel); }
  void judgeUnknown(const uint8_t* pixel, int32_t rowStep, int32_t colStep, int32_t count, uint8_t* region,
                    FillFrom from) override;

 private:
  uint8_t inside(uint8_t byte) const { return static_cast<uint8_t>(byte - low_) <= width_ ? 255 : 0; }
  uint8_t low_, width_;
};

// Fills the region map from seed, within the region map's bounds, judging
// every pixel by the source's pixel at the same position. Works one
// region-map tile at a time; runs that reach a tile's side leave border
// bits from which the neighbouring tile is seeded when its turn comes, and
// tiles are visited band by band. Escape cancels (XCancel) between tiles.
// Returns the number of pixels taken into the region (0 when the seed is
// outside it or already known).
int64_t regionFill(Image& source, Image& regionMap, Point seed, FillJudge& judge);
// The same from several seeds at once: the union of their regions.
int64_t regionFill(Image& source, Image& regionMap, const std::vector<Point>& seeds, FillJudge& judge);
