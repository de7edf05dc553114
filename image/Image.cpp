#include "image/Image.h"

#include "image/PieceIterator.h"

std::unique_ptr<PieceIterator> Image::newRegionIterator(const Region& region) const {
  return newBandIterator(region);
}

std::unique_ptr<PieceIterator> Image::newRectIterator(const Rect& rect) const {
  return newBandIterator(rect);
}
