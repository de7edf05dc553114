#include "image/BufferImage.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "image/PieceIterator.h"
#include "shell/Exceptions.h"
#include "shell/PlugIn.h"
#include "shell/Purgeable.h"

namespace {


// The host's buffer procedures of the call in progress: the filter's, or the
// selection module's when the image serves Make Work Path.
const HostBufferProcs& hostBufferProcs() {
  const HostBufferProcs* procs = gFilterRecord != nullptr    ? gFilterRecord->bufferProcs
                                 : gSelectionParams != nullptr ? gSelectionParams->bufferProcs
                                                               : nullptr;
  if (procs == nullptr) throw XLock(TESSALY_HERE);
  return *procs;
}

}  // namespace

BufferImage::BufferImage(PixelLayout layout, Rect bounds, Point tileSize, uint8_t fill)
    : Image(layout, bounds), procs_(hostBufferProcs()), tileSize_(tileSize) {
  if (tileSize.v <= 0 || tileSize.h <= 0) throw XLock(TESSALY_HERE);
  if (std::has_single_bit(static_cast<uint32_t>(tileSize.v))) shiftV_ = std::countr_zero(static_cast<uint32_t>(tileSize.v));
  if (std::has_single_bit(static_cast<uint32_t>(tileSize.h))) shiftH_ = std::countr_zero(static_cast<uint32_t>(tileSize.h));
  if (bounds.empty()) return;
  firstRow_ = floorDiv(bounds.top, tileSize.v);
  firstColumn_ = floorDiv(bounds.left, tileSize.h);
  columns_ = floorDiv(bounds.right - 1, tileSize.h) - firstColumn_ + 1;
  const int32_t rows = floorDiv(bounds.bottom - 1, tileSize.v) - firstRow_ + 1;
  tiles_.assign(static_cast<size_t>(rows) * static_cast<size_t>(columns_), fill);
}

BufferImage::~BufferImage() {
  for (uint32_t entry : tiles_)
    if (entry >= kFirstBufferId) procs_.freeProc(entry);
}

size_t BufferImage::tileIndex(Point p) const {
  const int32_t row = gridRow(p.v) - firstRow_;
  const int32_t column = gridColumn(p.h) - firstColumn_;
  return static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column);
}

Rect BufferImage::tileRect(Point p) const {
  const int32_t top = gridRow(p.v) * tileSize_.v;
  const int32_t left = gridColumn(p.h) * tileSize_.h;
  const Rect cell{static_cast<int16_t>(top), static_cast<int16_t>(left),
                  static_cast<int16_t>(std::min<int32_t>(top + tileSize_.v, INT16_MAX)),
                  static_cast<int16_t>(std::min<int32_t>(left + tileSize_.h, INT16_MAX))};
  return cell.intersection(bounds_);
}

uint32_t BufferImage::memoryUsage() const {
  uint32_t bytes = 24 + 4 * static_cast<uint32_t>(tiles_.size());
  for (size_t i = 0; i < tiles_.size(); ++i) {
    if (tiles_[i] < kFirstBufferId) continue;
    const auto row = static_cast<int32_t>(i / static_cast<size_t>(columns_)) + firstRow_;
    const auto column = static_cast<int32_t>(i % static_cast<size_t>(columns_)) + firstColumn_;
    // The cell's corner nearest the bounds lies in the tile.
    const Point inside{static_cast<int16_t>(std::max<int32_t>(row * tileSize_.v, bounds_.top)),
                       static_cast<int16_t>(std::max<int32_t>(column * tileSize_.h, bounds_.left))};
    const Rect tile = tileRect(inside);
    bytes += static_cast<uint32_t>(tile.height() * tile.width() * layout_.bytesPerPixel);
  }
  return bytes;
}

PlaneView BufferImage::lock(Rect& rect, LockMode mode) {
  const Point at = rect.topLeft();
  if (!bounds_.contains(at)) throw XLock(TESSALY_HERE);
  const Rect tile = tileRect(at);
  uint32_t& entry = tiles_[tileIndex(at)];
  const HostBufferProcs& procs = procs_;
  const int32_t rowStep = tile.width() * layout_.bytesPerPixel;

  if (entry >= kFirstBufferId) {
    void* data = procs.lockProc(entry, false);
    if (data == nullptr) {
      procs.unlockProc(entry);
      throw XLock(TESSALY_HERE);
    }
    rect = tile;
    return {static_cast<uint8_t*>(data), layout_.bytesPerPixel, rowStep};
  }

  const auto fill = static_cast<uint8_t>(entry);
  if (mode == LockMode::read) throw XUnmapped(TESSALY_HERE, fill);

  const int32_t size = rowStep * tile.height();
  HostBufferId id = 0;
  while (procs.allocateProc(size, &id) != kHostNoError) allocationFailureHandler();
  if (id < kFirstBufferId) {
    procs.freeProc(id);
    throw XLock(TESSALY_HERE);
  }
  void* data = procs.lockProc(id, false);
  if (data == nullptr) {
    // A buffer we cannot fill would lose the tile's value: keep the fill.
    procs.unlockProc(id);
    procs.freeProc(id);
    throw XLock(TESSALY_HERE);
  }
  entry = id;
  std::memset(data, fill, static_cast<size_t>(size));
  rect = tile;
  return {static_cast<uint8_t*>(data), layout_.bytesPerPixel, rowStep};
}

void BufferImage::unlock(const Rect& piece) {
  const Point at = piece.topLeft();
  if (!bounds_.contains(at)) return;
  const uint32_t entry = tiles_[tileIndex(at)];
  if (entry >= kFirstBufferId) procs_.unlockProc(entry);
}

std::unique_ptr<PieceIterator> BufferImage::newRegionIterator(const Region& region) const {
  return newGridIterator(region, tileSize_);
}

std::unique_ptr<PieceIterator> BufferImage::newRectIterator(const Rect& rect) const {
  return newGridIterator(rect, tileSize_);
}
