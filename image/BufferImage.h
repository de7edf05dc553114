// An image held in memory as a grid of tiles, each tile one host buffer
// (so it lives only inside a filter call). A tile never written costs
// nothing: its table entry is the byte every pixel of it has. The buffer
// procedures are those of the host call in progress at construction
// (filter or selection module); without one, construction throws XLock.
#pragma once

#include <cstdint>
#include <vector>

#include "hostapi/HostTypes.h"
#include "image/Image.h"

class BufferImage : public Image {
 public:
  // tileSize: v = tile height, h = tile width; grid lines lie on multiples
  // of it. Every pixel starts as `fill`.
  BufferImage(PixelLayout layout, Rect bounds, Point tileSize, uint8_t fill);
  ~BufferImage() override;

  uint32_t memoryUsage() const override;
  // The locked piece is the tile holding rect's top-left pixel, clipped to
  // the bounds. A read lock of a tile never written throws XUnmapped with
  // its byte; a write lock gives it a buffer holding that byte everywhere.
  PlaneView lock(Rect& rect, LockMode mode) override;
  void unlock(const Rect& piece) override;
  bool locksPiecesTogether() const override { return true; }
  // Grids of the image's own tiles.
  std::unique_ptr<PieceIterator> newRegionIterator(const Region& region) const override;
  std::unique_ptr<PieceIterator> newRectIterator(const Rect& rect) const override;

  Point tileSize() const { return tileSize_; }
  size_t tileCount() const { return tiles_.size(); }

 private:
  // Table entries below this are fill bytes, others host buffer identifiers.
  static constexpr uint32_t kFirstBufferId = 256;

  size_t tileIndex(Point p) const;
  Rect tileRect(Point p) const;  // the cell holding p, clipped to the bounds
  // The grid row and column of a coordinate: a shift where the tile's side
  // is a power of two, as it mostly is (every piece of a walk is looked up
  // here twice, and a division costs as much as copying a tile's row).
  int32_t gridRow(int32_t v) const { return shiftV_ >= 0 ? v >> shiftV_ : floorDiv(v, tileSize_.v); }
  int32_t gridColumn(int32_t h) const { return shiftH_ >= 0 ? h >> shiftH_ : floorDiv(h, tileSize_.h); }

  const HostBufferProcs& procs_;
  Point tileSize_;
  int32_t shiftV_ = -1, shiftH_ = -1;  // log2 of the tile's sides, or -1
  int32_t firstRow_ = 0;     // grid row of bounds.top
  int32_t firstColumn_ = 0;  // grid column of bounds.left
  int32_t columns_ = 0;      // grid columns meeting the bounds
  std::vector<uint32_t> tiles_;
};
