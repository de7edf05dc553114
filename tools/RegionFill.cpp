#include "tools/RegionFill.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>
#include <set>

#include "shell/Exceptions.h"
#include "shell/StProgressIndicator.h"

namespace {

constexpr int32_t kTileSide = 128;

static_assert(std::endian::native == std::endian::little, "byte flags are gathered from little-endian words");

// One bit per column (or row) of a tile's side: the columns of a tile row
// that are unknown, newly inside, or wait at a tile border.
struct SideBits {
  uint64_t word[2] = {0, 0};

  bool any() const { return (word[0] | word[1]) != 0; }
  SideBits operator&(const SideBits& o) const { return {{word[0] & o.word[0], word[1] & o.word[1]}}; }
  SideBits operator~() const { return {{~word[0], ~word[1]}}; }
  SideBits& operator|=(const SideBits& o) {
    word[0] |= o.word[0];
    word[1] |= o.word[1];
    return *this;
  }

  // Bits first to last, inclusive.
  static SideBits range(int32_t first, int32_t last) {
    SideBits bits;
    for (int32_t w = 0; w < 2; ++w) {
      const int32_t lo = std::max(first, 64 * w) - 64 * w, hi = std::min(last, 64 * w + 63) - 64 * w;
      if (lo <= hi) bits.word[w] = (~uint64_t{0} >> (63 - hi)) & (~uint64_t{0} << lo);
    }
    return bits;
  }
  static SideBits single(int32_t i) {
    SideBits bits;
    bits.word[i >> 6] = uint64_t{1} << (i & 63);
    return bits;
  }

  // The first set bit at or after i; kTileSide when there is none.
  int32_t nextSet(int32_t i) const {
    for (int32_t w = i >> 6; w < 2; ++w) {
      const uint64_t bits = word[w] & (w == i >> 6 ? ~uint64_t{0} << (i & 63) : ~uint64_t{0});
      if (bits != 0) return 64 * w + std::countr_zero(bits);
    }
    return kTileSide;
  }
  int32_t nextClear(int32_t i) const { return (~*this).nextSet(i); }
};

// 0x80 in every zero byte of x, gathered into one bit per byte (byte i to
// bit i). The sum leaves no carries below the top byte: every term lands on
// a bit of its own.
uint64_t zeroByteFlags(uint64_t x) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  const uint64_t high = ~(((x & kLow7) + kLow7) | x | kLow7);
  return ((high >> 7) * 0x0102040810204080ULL) >> 56;
}

// Bit i set where bytes[i] is 0, for i < count <= 128; eight bytes at a
// time, never reading past count.
SideBits zeroBytes(const uint8_t* bytes, int32_t count) {
  SideBits bits;
  for (int32_t i = 0; i < count; i += 8) {
    uint64_t x = ~uint64_t{0};
    std::memcpy(&x, bytes + i, static_cast<size_t>(std::min(8, count - i)));
    bits.word[i >> 6] |= zeroByteFlags(x) << (i & 63);
  }
  return bits;
}

// A span of one row of the tile being processed, in tile coordinates. dir
// is +1 when the span lies below the run that queued it, -1 above; 0 marks
// a seed, whose runs spread both ways.
struct Span {
  int32_t row, first, last;
  int32_t dir;
  FillFrom from;
};

class PredicateJudge final : public FillJudge {
 public:
  explicit PredicateJudge(FillPredicate predicate) : predicate_(predicate) {}
  uint8_t judge(const uint8_t* pixel, int32_t, int32_t, FillFrom) override { return predicate_(pixel); }

 private:
  FillPredicate predicate_;
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
        progress_(0, bounds_.height() * bounds_.width()) {
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
    SideBits fromAbove, fromBelow, fromLeft, fromRight;
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
    StPieceLock region(map_, tile_, LockMode::write);
    if (!region.piece().contains(tile_)) throw XLock(TESSALY_HERE);
    region_ = region.view();
    sourceLoaded_ = false;

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
    work.fromAbove = work.fromBelow = work.fromLeft = work.fromRight = SideBits{};

    while (!stack_.empty()) {
      const Span span = stack_.back();
      stack_.pop_back();
      scan(span);
    }
  }

  template <typename Body>
  static void forEachSet(const SideBits& bits, Body body) {
    for (int32_t i = bits.nextSet(0); i < kTileSide; i = bits.nextSet(i + 1)) body(i);
  }
  template <typename Body>
  static void forEachGroup(const SideBits& bits, Body body) {
    for (int32_t first = bits.nextSet(0); first < kTileSide;) {
      const int32_t end = bits.nextClear(first);
      body(first, end - 1);
      first = bits.nextSet(end);
    }
  }

  uint8_t* regionRow(int32_t row) const { return region_.at(row, 0); }

  // The tile's source pixels, with the judge's margin of replicated image
  // edge, fetched when the tile first needs a judgement.
  void loadSource() {
    const int32_t m = margin_;
    sourceRowStep_ = (width_ + 2 * m) * pixelBytes_;
    sourceBuffer_.resize(static_cast<size_t>((height_ + 2 * m) * sourceRowStep_));
    source_.ReadPadded({static_cast<int16_t>(tile_.top - m), static_cast<int16_t>(tile_.left - m),
                        static_cast<int16_t>(tile_.bottom + m), static_cast<int16_t>(tile_.right + m)},
                       {sourceBuffer_.data(), pixelBytes_, sourceRowStep_}, kPadReplicate);
    sourceOrigin_ = sourceBuffer_.data() + m * sourceRowStep_ + m * pixelBytes_;
    sourceLoaded_ = true;
  }
  const uint8_t* sourceAt(int32_t row, int32_t column) const {
    return sourceOrigin_ + row * sourceRowStep_ + column * pixelBytes_;
  }

  // Judges every unknown pixel of the span at once, then makes each group of
  // new inside pixels a run, extended beyond the span's ends where it
  // touches them. Pixels between groups were judged outside (or are known
  // inside) and end the groups, so each pixel is judged once per span.
  void scan(const Span& span) {
    uint8_t* row = regionRow(span.row);
    const SideBits unknown = zeroBytes(row, width_) & SideBits::range(span.first, span.last);
    if (!unknown.any()) return;
    if (!sourceLoaded_) loadSource();
    judge_.judgeUnknown(sourceAt(span.row, span.first), sourceRowStep_, pixelBytes_, span.last - span.first + 1,
                        row + span.first, span.from);
    const SideBits fresh = unknown & ~zeroBytes(row, width_);
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
      const uint8_t value = judge_.judge(sourceAt(row, first - 1), sourceRowStep_, pixelBytes_, FillFrom::right);
      region[first - 1] = value;
      if (value == 0) break;
      --first;
    }
    return first;
  }

  int32_t extendRight(int32_t row, int32_t last) {
    uint8_t* region = regionRow(row);
    while (last + 1 < width_ && region[last + 1] == 0) {
      const uint8_t value = judge_.judge(sourceAt(row, last + 1), sourceRowStep_, pixelBytes_, FillFrom::left);
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
    if (first == 0 && !cameFromLeft && tile_.left > bounds_.left) {
      work_[static_cast<size_t>(tileIndex_ - 1)].fromRight |= SideBits::single(span.row);
      markPending(tileIndex_ - 1);
    }
    if (last == width_ - 1 && !cameFromRight && tile_.right < bounds_.right) {
      work_[static_cast<size_t>(tileIndex_ + 1)].fromLeft |= SideBits::single(span.row);
      markPending(tileIndex_ + 1);
    }
  }

  // Spans of rows beyond the tile wait as border bits of the tile there.
  void queue(int32_t row, int32_t first, int32_t last, int32_t dir) {
    if (row < 0) {
      if (tile_.top == bounds_.top) return;
      work_[static_cast<size_t>(tileIndex_ - gridColumns_)].fromBelow |= SideBits::range(first, last);
      markPending(tileIndex_ - gridColumns_);
    } else if (row >= height_) {
      if (tile_.bottom == bounds_.bottom) return;
      work_[static_cast<size_t>(tileIndex_ + gridColumns_)].fromAbove |= SideBits::range(first, last);
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
  bool sourceLoaded_ = false;
  std::vector<uint8_t> sourceBuffer_;
  const uint8_t* sourceOrigin_ = nullptr;
  int32_t sourceRowStep_ = 0;
};

}  // namespace

void FillJudge::judgeUnknown(const uint8_t* pixel, int32_t rowStep, int32_t colStep, int32_t count, uint8_t* region,
                             FillFrom from) {
  for (int32_t i = 0; i < count; ++i, pixel += colStep)
    if (region[i] == 0) region[i] = judge(pixel, rowStep, colStep, from);
}

void ByteRangeJudge::judgeUnknown(const uint8_t* pixel, int32_t rowStep, int32_t colStep, int32_t count,
                                  uint8_t* region, FillFrom from) {
  if (colStep != 1) {
    FillJudge::judgeUnknown(pixel, rowStep, colStep, count, region, from);
    return;
  }
  // Branch-free, so that the compiler turns it into vector selects.
  for (int32_t i = 0; i < count; ++i) region[i] = region[i] != 0 ? region[i] : inside(pixel[i]);
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

int64_t regionFill(Image& source, Image& regionMap, Point seed, FillPredicate predicate) {
  PredicateJudge judge(predicate);
  return regionFill(source, regionMap, seed, judge);
}
