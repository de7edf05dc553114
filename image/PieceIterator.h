// How an image is cut into pieces that can be locked one at a time.
//
//   auto it = image.newRectIterator(rect);
//   while (!it->next()) { ... it->piece() ...; on XReduce: if (it->reduce()) throw; }
//
// Band iterators hand out the whole remaining rectangle and can halve it
// when memory runs short; grid iterators follow a fixed cell grid (tiles,
// host pieces) and cannot reduce.
#pragma once

#include <memory>

#include "image/Geometry.h"

class Region;

class PieceIterator {
 public:
  virtual ~PieceIterator() = default;
  // Moves to the next piece: false while there is one, true when done. The
  // first call yields the first piece.
  virtual bool next() = 0;
  // Makes the current piece smaller: false when it did, true when it cannot.
  virtual bool reduce() = 0;
  const Rect& piece() const { return piece_; }

 protected:
  Rect piece_;
};

// The rectangle, then after each piece the rest below it; reduce halves the
// piece's height (rounding up) down to one row.
std::unique_ptr<PieceIterator> newBandIterator(const Rect& rect);
// Bands over the region's bounding box, each shrunk to the bounding box of
// the region inside it; bands without any of the region are skipped.
std::unique_ptr<PieceIterator> newBandIterator(const Region& region);
// Cells of a grid whose lines lie on multiples of cellSize (image
// coordinates), row by row, each clipped to rect.
std::unique_ptr<PieceIterator> newGridIterator(const Rect& rect, Point cellSize);
// The grid cells that meet the region, each shrunk to the bounding box of
// the region inside it.
std::unique_ptr<PieceIterator> newGridIterator(const Region& region, Point cellSize);
