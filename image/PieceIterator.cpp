#include "image/PieceIterator.h"

#include <algorithm>

#include "image/Region.h"
#include "shell/Exceptions.h"

namespace {

int16_t narrow(int32_t value) { return static_cast<int16_t>(value); }

// The bounding box of region inside `area`; when the windowing layer fails
// the area itself, which is never wrong, only larger.
Rect shrinkTo(const Region& region, const Rect& area) {
  try {
    Region part(area);
    part.intersect(region);
    return part.bounds();
  } catch (const XGeometry&) {
    return area;
  }
}

class BandRectIterator final : public PieceIterator {
 public:
  explicit BandRectIterator(const Rect& rect) : rect_(rect) {}

  bool next() override {
    const int16_t top = started_ ? piece_.bottom : rect_.top;
    started_ = true;
    if (rect_.empty() || top >= rect_.bottom) return true;
    piece_ = {top, rect_.left, rect_.bottom, rect_.right};
    return false;
  }

  bool reduce() override {
    const int32_t height = piece_.height();
    if (height < 2) return true;
    piece_.bottom = narrow(piece_.top + (height + 1) / 2);
    return false;
  }

 private:
  Rect rect_;
  bool started_ = false;
};

class BandRegionIterator final : public PieceIterator {
 public:
  explicit BandRegionIterator(const Region& region) : region_(region), box_(region.bounds()) {}

  bool next() override {
    int16_t top = started_ ? band_.bottom : box_.top;
    started_ = true;
    while (!box_.empty() && top < box_.bottom) {
      band_ = {top, box_.left, box_.bottom, box_.right};
      piece_ = shrinkTo(region_, band_);
      if (!piece_.empty()) return false;
      top = band_.bottom;
    }
    return true;
  }

  // Halves the band, not the shrunk piece: the band is what moves on.
  bool reduce() override {
    const int32_t height = band_.height();
    if (height <= 1) return true;
    band_.bottom = narrow(band_.top + (height + 1) / 2);
    piece_ = shrinkTo(region_, band_);
    // The upper half may hold nothing of the region; an empty piece is
    // harmless to lock-and-copy loops only if they never see it, so take
    // the band itself.
    if (piece_.empty()) piece_ = band_;
    return false;
  }

 private:
  Region region_;
  Rect box_;
  Rect band_;
  bool started_ = false;
};

// Walks the cells of a grid that meet `area`, row by row.
class GridWalk {
 public:
  GridWalk(const Rect& area, Point cell) : area_(area), cell_(cell) {
    if (area.empty()) return;
    firstColumn_ = floorDiv(area.left, cell.h);
    row_ = floorDiv(area.top, cell.v);
    lastRow_ = floorDiv(area.bottom - 1, cell.v);
    lastColumn_ = floorDiv(area.right - 1, cell.h);
    column_ = firstColumn_ - 1;
  }

  // The next cell clipped to the area; false when none is left.
  bool advance(Rect& cell) {
    if (area_.empty()) return false;
    if (++column_ > lastColumn_) {
      column_ = firstColumn_;
      ++row_;
    }
    if (row_ > lastRow_) return false;
    const int32_t top = row_ * cell_.v, left = column_ * cell_.h;
    cell = {narrow(std::max<int32_t>(top, area_.top)), narrow(std::max<int32_t>(left, area_.left)),
            narrow(std::min<int32_t>(top + cell_.v, area_.bottom)),
            narrow(std::min<int32_t>(left + cell_.h, area_.right))};
    return true;
  }

 private:
  Rect area_;
  Point cell_;
  int32_t firstColumn_ = 0, lastColumn_ = -1, row_ = 0, lastRow_ = -1, column_ = 0;
};

class GridRectIterator final : public PieceIterator {
 public:
  GridRectIterator(const Rect& rect, Point cell) : walk_(rect, cell) {}
  bool next() override { return !walk_.advance(piece_); }
  bool reduce() override { return true; }

 private:
  GridWalk walk_;
};

class GridRegionIterator final : public PieceIterator {
 public:
  GridRegionIterator(const Region& region, Point cell)
      : region_(region), walk_(region.bounds(), cell) {}

  bool next() override {
    Rect cell;
    while (walk_.advance(cell)) {
      piece_ = shrinkTo(region_, cell);
      if (!piece_.empty()) return false;
    }
    return true;
  }
  bool reduce() override { return true; }

 private:
  Region region_;
  GridWalk walk_;
};

}  // namespace

std::unique_ptr<PieceIterator> newBandIterator(const Rect& rect) {
  return std::make_unique<BandRectIterator>(rect);
}

std::unique_ptr<PieceIterator> newBandIterator(const Region& region) {
  return std::make_unique<BandRegionIterator>(region);
}

std::unique_ptr<PieceIterator> newGridIterator(const Rect& rect, Point cellSize) {
  return std::make_unique<GridRectIterator>(rect, cellSize);
}

std::unique_ptr<PieceIterator> newGridIterator(const Region& region, Point cellSize) {
  return std::make_unique<GridRegionIterator>(region, cellSize);
}
