#include "tools/RegionFill.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "shell/Exceptions.h"
#include "shell/StProgressIndicator.h"
#include "tools/TileRowBits.h"

namespace {

constexpr int32_t kTileSide = TileRowBits::kSize;

// A span of one row of the tile being processed, in tile coordinates. dir
// is +1 when the span lies below the run that queued it, -1 above; 0 marks
// a seed, whose runs spread both ways.
struct Span {
  int32_t row, first, last;
  int32_t dir;
  FillFrom from;
};

class TiledFill {
 public:
  TiledFill(Image& source, Image& map, FillJudge& judge)
      : source_(source),
        map_(map),
        judge_(judge),
        margin_(judge.margin()),
        bounds_(map.bounds()),
        pixelBytes_(source.layout().bytesPerPixel),
        progress_(0, static_cast<int32_t>(std::min<int64_t>(int64_t{bounds_.height()} * bounds_.width(), INT32_MAX))) {
    gridTop_ = floorDiv(bounds_.top, kTileSide);
    gridLeft_ = floorDiv(bounds_.left, kTileSide);
    gridColumns_ = floorDiv(bounds_.right - 1, kTileSide) - gridLeft_ + 1;
    const int32_t gridRows = floorDiv(bounds_.bottom - 1, kTileSide) - gridTop_ + 1;
    work_.resize(static_cast<size_t>(gridRows) * static_cast<size_t>(gridColumns_));
  }

  void seed(Point p) {
    if (!bounds_.contains(p)) return;
    const int32_t tile = (floorDiv(p.v, kTileSide) - gridTop_) * gridColumns_ + floorDiv(p.h, kTileSide) - gridLeft_;
    seeds_[tile].push_back(p);
    markPending(tile);
  }

  int64_t run() {
    while (!pending_.empty()) {
      const int32_t tile = *pending_.begin();
      pending_.erase(pending_.begin());
      processTile(tile);
      progress_.step(static_cast<int32_t>(std::min<int64_t>(taken_, INT32_MAX)));
    }
    return taken_;
  }

 private:
  // What neighbouring tiles left at this tile's sides: columns of its top
  // row reached from above, of its bottom row from below, rows of its left
  // column reached from the left, of its right column from the right.
  struct TileWork {
    TileRowBits fromAbove, fromBelow, fromLeft, fromRight;
    bool queued = false;
  };

  void markPending(int32_t tile) {
    TileWork& work = work_[static_cast<size_t>(tile)];
    if (work.queued) return;
    work.queued = true;
    pending_.insert(tile);
  }

  Rect tileRect(int32_t tile) const {
    const int32_t top = (tile / gridColumns_ + gridTop_) * kTileSide;
    const int32_t left = (tile % gridColumns_ + gridLeft_) * kTileSide;
    const Rect cell{static_cast<int16_t>(top), static_cast<int16_t>(left),
                    static_cast<int16_t>(std::min<int32_t>(top + kTileSide, INT16_MAX)),
                    static_cast<int16_t>(std::min<int32_t>(left + kTileSide, INT16_MAX))};
    return cell.intersection(bounds_);
  }

  void processTile(int32_t tile) {
    tile_ = tileRect(tile);
    tileIndex_ = tile;
    width_ = tile_.width();
    height_ = tile_.height();
    // The map must be one byte per pixel in tiles of the grid's size.
    StPieceLock region(map_, tile_, LockMode::write);
    if (!region.piece().contains(tile_) || region.view().colStep != 1) throw XLock(TESSALY_HERE);
    region_ = region.view();
    sourceLoaded_ = false;
    // A source piece held for the tile is released before the region's,
    // also when an exception passes.
    struct ReleaseSource {
      std::optional<StPieceLock>& lock;
      ~ReleaseSource() { lock.reset(); }
    } releaseSource{sourceLock_};

    TileWork& work = work_[static_cast<size_t>(tile)];
    work.queued = false;
    stack_.clear();
    if (const auto seeds = seeds_.find(tile); seeds != seeds_.end()) {
      for (const Point p : seeds->second) {
        const int32_t row = p.v - tile_.top, column = p.h - tile_.left;
        stack_.push_back({row, column, column, 0, FillFrom::seed});
      }
      seeds_.erase(seeds);
    }
    forEachSet(work.fromLeft, [&](int32_t row) { stack_.push_back({row, 0, 0, 0, FillFrom::left}); });
    forEachSet(work.fromRight,
               [&](int32_t row) { stack_.push_back({row, width_ - 1, width_ - 1, 0, FillFrom::right}); });
    forEachGroup(work.fromAbove, [&](int32_t first, int32_t last) {
      stack_.push_back({0, first, last, +1, FillFrom::above});
    });
    forEachGroup(work.fromBelow, [&](int32_t first, int32_t last) {
      stack_.push_back({height_ - 1, first, last, -1, FillFrom::below});
    });
    work.fromAbove = work.fromBelow = work.fromLeft = work.fromRight = TileRowBits{};

    leavingLeft_ = leavingRight_ = TileRowBits{};
    while (!stack_.empty()) {
      const Span span = stack_.back();
      stack_.pop_back();
      scan(span);
    }
    passSideways();
  }

  template <typename Body>
  static void forEachSet(const TileRowBits& bits, Body body) {
    for (int32_t i = bits.nextSet(0); i < kTileSide; i = bits.nextSet(i + 1)) body(i);
  }
  template <typename Body>
  static void forEachGroup(const TileRowBits& bits, Body body) {
    for (int32_t first = bits.nextSet(0); first < kTileSide;) {
      const int32_t end = bits.nextClear(first);
      body(first, end - 1);
      first = bits.nextSet(end);
    }
  }

  uint8_t* regionRow(int32_t row) const { return region_.at(row, 0); }

  // The tile's source pixels, fetched when the tile first needs a
  // judgement: the source's own piece when it covers the tile and the judge
  // looks at no neighbours, else a copy with the judge's margin of
  // replicated image edge.
  void loadSource() {
    sourceLoaded_ = true;
    if (margin_ == 0 && source_.locksPiecesTogether()) {
      try {
        sourceLock_.emplace(source_, tile_, LockMode::read);
      } catch (const XLock&) {
        // Never written, or not in one piece: the copy below handles both.
      }
      if (sourceLock_ && sourceLock_->piece().contains(tile_)) {
        sourceOrigin_ = sourceLock_->view().data;
        sourceRowStep_ = sourceLock_->view().rowStep;
        sourceColStep_ = sourceLock_->view().colStep;
        return;
      }
      sourceLock_.reset();
    }
    const int32_t m = margin_;
    sourceColStep_ = pixelBytes_;
    sourceRowStep_ = (width_ + 2 * m) * pixelBytes_;
    sourceBuffer_.resize(static_cast<size_t>((height_ + 2 * m) * sourceRowStep_));
    source_.ReadPadded({static_cast<int16_t>(tile_.top - m), static_cast<int16_t>(tile_.left - m),
                        static_cast<int16_t>(tile_.bottom + m), static_cast<int16_t>(tile_.right + m)},
                       {sourceBuffer_.data(), pixelBytes_, sourceRowStep_}, kPadReplicate);
    sourceOrigin_ = sourceBuffer_.data() + m * sourceRowStep_ + m * pixelBytes_;
  }
  const uint8_t* sourceAt(int32_t row, int32_t column) const {
    return sourceOrigin_ + row * sourceRowStep_ + column * sourceColStep_;
  }

  // Judges every unknown pixel of the span at once, then makes each group of
  // new inside pixels a run, extended beyond the span's ends where it
  // touches them. Pixels between groups were judged outside (or are known
  // inside) and end the groups, so each pixel is judged once per span.
  void scan(const Span& span) {
    uint8_t* row = regionRow(span.row);
    const TileRowBits unknown = TileRowBits::zeros(row, width_, span.first, span.last);
    if (!unknown.any()) return;
    if (!sourceLoaded_) loadSource();
    judge_.judgeUnknown(sourceAt(span.row, span.first), sourceRowStep_, sourceColStep_, span.last - span.first + 1,
                        row + span.first, span.from);
    const TileRowBits fresh = unknown & ~TileRowBits::zeros(row, width_, span.first, span.last);
    for (int32_t start = fresh.nextSet(span.first); start <= span.last;) {
      const int32_t end = fresh.nextClear(start) - 1;
      const int32_t first = start == span.first ? extendLeft(span.row, start) : start;
      const int32_t last = end == span.last ? extendRight(span.row, end) : end;
      takeRun(span, first, last);
      start = fresh.nextSet(end + 1);
    }
  }

  int32_t extendLeft(int32_t row, int32_t first) {
    uint8_t* region = regionRow(row);
    while (first > 0 && region[first - 1] == 0) {
      const uint8_t value = judge_.judge(sourceAt(row, first - 1), sourceRowStep_, sourceColStep_, FillFrom::right);
      region[first - 1] = value;
      if (value == 0) break;
      --first;
    }
    return first;
  }

  int32_t extendRight(int32_t row, int32_t last) {
    uint8_t* region = regionRow(row);
    while (last + 1 < width_ && region[last + 1] == 0) {
      const uint8_t value = judge_.judge(sourceAt(row, last + 1), sourceRowStep_, sourceColStep_, FillFrom::left);
      region[last + 1] = value;
      if (value == 0) break;
      ++last;
    }
    return last;
  }

  void takeRun(const Span& span, int32_t first, int32_t last) {
    taken_ += last - first + 1;
    if (span.dir == 0) {
      queue(span.row - 1, first, last, -1);
      queue(span.row + 1, first, last, +1);
    } else {
      queue(span.row + span.dir, first, last, span.dir);
      // The parts beyond the span have unseen neighbours behind, too.
      if (first < span.first) queue(span.row - span.dir, first, span.first - 1, -span.dir);
      if (last > span.last) queue(span.row - span.dir, span.last + 1, last, -span.dir);
    }
    // A run cut by the tile's side goes on in the neighbouring tile, unless
    // it came from there.
    const bool cameFromLeft = span.dir == 0 && span.from == FillFrom::left;
    const bool cameFromRight = span.dir == 0 && span.from == FillFrom::right;
    if (first == 0 && !cameFromLeft) leavingLeft_ |= TileRowBits::single(span.row);
    if (last == width_ - 1 && !cameFromRight) leavingRight_ |= TileRowBits::single(span.row);
  }

  // The rows whose runs reached the tile's left or right side become the
  // border bits of the tile there, once the tile is done.
  void passSideways() {
    if (leavingLeft_.any() && tile_.left > bounds_.left) {
      work_[static_cast<size_t>(tileIndex_ - 1)].fromRight |= leavingLeft_;
      markPending(tileIndex_ - 1);
    }
    if (leavingRight_.any() && tile_.right < bounds_.right) {
      work_[static_cast<size_t>(tileIndex_ + 1)].fromLeft |= leavingRight_;
      markPending(tileIndex_ + 1);
    }
  }

  // Spans of rows beyond the tile wait as border bits of the tile there.
  void queue(int32_t row, int32_t first, int32_t last, int32_t dir) {
    if (row < 0) {
      if (tile_.top == bounds_.top) return;
      work_[static_cast<size_t>(tileIndex_ - gridColumns_)].fromBelow |= TileRowBits::range(first, last);
      markPending(tileIndex_ - gridColumns_);
    } else if (row >= height_) {
      if (tile_.bottom == bounds_.bottom) return;
      work_[static_cast<size_t>(tileIndex_ + gridColumns_)].fromAbove |= TileRowBits::range(first, last);
      markPending(tileIndex_ + gridColumns_);
    } else {
      stack_.push_back({row, first, last, dir, dir > 0 ? FillFrom::above : FillFrom::below});
    }
  }

  Image& source_;
  Image& map_;
  FillJudge& judge_;
  int32_t margin_;
  Rect bounds_;
  int16_t pixelBytes_;
  StProgressIndicator progress_;
  int64_t taken_ = 0;

  int32_t gridTop_ = 0, gridLeft_ = 0, gridColumns_ = 0;
  std::vector<TileWork> work_;
  std::map<int32_t, std::vector<Point>> seeds_;
  std::set<int32_t> pending_;  // tile indices: band by band, left to right

  // The tile being processed.
  Rect tile_;
  int32_t tileIndex_ = 0;
  int32_t width_ = 0, height_ = 0;
  PlaneView region_;
  std::vector<Span> stack_;
  TileRowBits leavingLeft_, leavingRight_;
  bool sourceLoaded_ = false;
  std::optional<StPieceLock> sourceLock_;
  std::vector<uint8_t> sourceBuffer_;
  const uint8_t* sourceOrigin_ = nullptr;
  int32_t sourceRowStep_ = 0;
  int32_t sourceColStep_ = 0;
};

}  // namespace

void FillJudge::judgeUnknown(const uint8_t* pixel, int32_t rowStep, int32_t colStep, int32_t count, uint8_t* region,
                             FillFrom from) {
  for (int32_t i = 0; i < count; ++i, pixel += colStep)
    if (region[i] == 0) region[i] = judge(pixel, rowStep, colStep, from);
}

namespace {

// Branch-free over restricted pointers, so that the compiler turns it into
// vector compares and selects.
void judgeBytes(const uint8_t* __restrict pixel, int32_t count, uint8_t* __restrict region, uint8_t low,
                uint8_t width) {
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t known = region[i];
    const uint8_t inside = static_cast<uint8_t>(pixel[i] - low) <= width ? 255 : 0;
    region[i] = known != 0 ? known : inside;
  }
}

}  // namespace

void ByteRangeJudge::judgeUnknown(const uint8_t* pixel, int32_t rowStep, int32_t colStep, int32_t count,
                                  uint8_t* region, FillFrom from) {
  if (colStep != 1) {
    FillJudge::judgeUnknown(pixel, rowStep, colStep, count, region, from);
    return;
  }
  judgeBytes(pixel, count, region, low_, width_);
}

int64_t regionFill(Image& source, Image& regionMap, const std::vector<Point>& seeds, FillJudge& judge) {
  if (regionMap.bounds().empty()) return 0;
  TiledFill fill(source, regionMap, judge);
  for (const Point p : seeds) fill.seed(p);
  return fill.run();
}

int64_t regionFill(Image& source, Image& regionMap, Point seed, FillJudge& judge) {
  return regionFill(source, regionMap, std::vector<Point>{seed}, judge);
}
