// The region fill behind the bucket, the magic bucket and the magic wand: a
// 4-connected scanline seed fill over an image, driven by a predicate on
// the pixel beneath, that writes the predicate's value into a region map.
//
// The region map is a one-byte BufferImage with 128 x 128 tiles, 0 at
// creation. After the fill a byte holds the predicate's non-zero value
// where its pixel is inside the region and 0 where it is outside or was
// never looked at; a pixel known to be inside is never evaluated again.
#pragma once

#include <cstdint>

#include "image/Image.h"

// Non-zero means inside; the value is what the region map records.
using FillPredicate = uint8_t (*)(const uint8_t* pixel);

// Where the fill came from when it reaches a pixel.
enum class FillFrom : uint8_t { seed, above, below, left, right };

// A judge that may look at the pixel's neighbours and at the direction of
// travel. Its pixel pointer lies inside a buffer with `margin()` pixels of
// replicated image edge around the tile, with the given steps.
class FillJudge {
 public:
  virtual ~FillJudge() = default;
  virtual int margin() const { return 0; }
  virtual uint8_t judge(const uint8_t* pixel, int32_t rowStep, int32_t colStep, FillFrom from) = 0;
};

// Fills the region map from seed, within the region map's bounds, judging
// every pixel by the predicate on the source's pixel at the same position.
// The fill works one region-map tile at a time: spans waiting for a tile are
// queued with it, and the tiles are visited band by band, so each tile and
// its source pixels are fetched as few times as possible. Escape cancels
// (XCancel) between runs.
void regionFill(Image& source, Image& regionMap, Point seed, FillPredicate predicate);
void regionFill(Image& source, Image& regionMap, Point seed, FillJudge& judge);

// Predicates: a mask byte still undecided in keep mode (< 253) or in drop
// mode (> 2), and the colour classifier's keep or drop weight of an image
// pixel.
uint8_t undecidedForKeep(const uint8_t* mask);
uint8_t undecidedForDrop(const uint8_t* mask);
uint8_t classifiedKeep(const uint8_t* pixel);
uint8_t classifiedDrop(const uint8_t* pixel);
