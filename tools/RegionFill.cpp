#include "tools/RegionFill.h"

#include <algorithm>
#include <map>
#include <vector>

#include "shell/StProgressIndicator.h"
#include "tools/ColourClassifier.h"

namespace {

constexpr int32_t kTileSide = 128;

// A span of one row still to be scanned. dir is +1 when it lies below the
// run that pushed it, -1 above; 0 marks a seed, whose run spreads both ways
// and which was reached from `from`.
struct Span {
  int32_t row, first, last;
  int dir;
  FillFrom from = FillFrom::seed;
};

// The plain predicates judge the pixel alone.
class PredicateJudge : public FillJudge {
 public:
  explicit PredicateJudge(FillPredicate predicate) : predicate_(predicate) {}
  uint8_t judge(const uint8_t* pixel, int32_t, int32_t, FillFrom) override { return predicate_(pixel); }

 private:
  FillPredicate predicate_;
};

struct TileKey {
  int32_t band, column;
  friend auto operator<=>(const TileKey&, const TileKey&) = default;
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
        progress_(0, bounds_.height() * bounds_.width()) {}

  void fill(Point seed) {
    queue({seed.v, seed.h, seed.h, 0});
    while (!pending_.empty()) {
      auto next = pending_.begin();
      const TileKey key = next->first;
      local_ = std::move(next->second);
      pending_.erase(next);
      processTile(key);
    }
  }

 private:
  static TileKey tileOf(int32_t row, int32_t column) {
    return {floorDiv(row, kTileSide), floorDiv(column, kTileSide)};
  }

  Rect tileRect(TileKey key) const {
    const Rect cell{static_cast<int16_t>(key.band * kTileSide), static_cast<int16_t>(key.column * kTileSide),
                    static_cast<int16_t>(std::min<int32_t>((key.band + 1) * kTileSide, INT16_MAX)),
                    static_cast<int16_t>(std::min<int32_t>((key.column + 1) * kTileSide, INT16_MAX))};
    return cell.intersection(bounds_);
  }

  // Files a span with the tile that holds it; spans of the tile being
  // processed go straight onto its own stack.
  void queue(Span span) {
    if (span.row < bounds_.top || span.row >= bounds_.bottom) return;
    span.first = std::max<int32_t>(span.first, bounds_.left);
    span.last = std::min<int32_t>(span.last, bounds_.right - 1);
    if (span.first > span.last) return;
    const TileKey key = tileOf(span.row, span.first);
    if (processing_ && key == current_)
      local_.push_back(span);
    else
      pending_[key].push_back(span);
  }

  void processTile(TileKey key) {
    const Rect tile = tileRect(key);
    tile_ = tile;
    current_ = key;
    // The tile's source pixels with a margin of replicated image edge for
    // judges that look at neighbours.
    const int32_t width = tile.width() + 2 * margin_;
    sourceRowStep_ = width * pixelBytes_;
    sourceBuffer_.resize(static_cast<size_t>((tile.height() + 2 * margin_) * sourceRowStep_));
    const auto m = static_cast<int16_t>(margin_);
    source_.ReadPadded({static_cast<int16_t>(tile.top - m), static_cast<int16_t>(tile.left - m),
                        static_cast<int16_t>(tile.bottom + m), static_cast<int16_t>(tile.right + m)},
                       {sourceBuffer_.data(), pixelBytes_, sourceRowStep_}, kPadReplicate);
    StPieceLock region(map_, tile, LockMode::write);
    region_ = region.view();
    processing_ = true;
    while (!local_.empty()) {
      const Span span = local_.back();
      local_.pop_back();
      scan(span);
    }
    processing_ = false;
  }

  uint8_t& regionAt(int32_t row, int32_t column) const {
    return *region_.at(row - tile_.top, column - tile_.left);
  }

  // Evaluates a pixel not known to be inside, stores and returns the value.
  uint8_t evaluate(int32_t row, int32_t column, FillFrom from) {
    const uint8_t* pixel = sourceBuffer_.data() + (row - tile_.top + margin_) * sourceRowStep_ +
                           (column - tile_.left + margin_) * pixelBytes_;
    return regionAt(row, column) = judge_.judge(pixel, sourceRowStep_, pixelBytes_, from);
  }

  // Extends an inside pixel into the longest run of unknown inside pixels
  // within the tile, and queues what lies around the run.
  void grow(int32_t row, int32_t column, const Span& parent) {
    int32_t first = column;
    while (first > tile_.left && regionAt(row, first - 1) == 0 && evaluate(row, first - 1, FillFrom::right) != 0)
      --first;
    int32_t last = column;
    while (last + 1 < tile_.right && regionAt(row, last + 1) == 0 && evaluate(row, last + 1, FillFrom::left) != 0)
      ++last;
    taken_ += last - first + 1;
    progress_.step(taken_);

    if (parent.dir == 0) {
      queue({row - 1, first, last, -1});
      queue({row + 1, first, last, +1});
    } else {
      queue({row + parent.dir, first, last, parent.dir});
      // The parts beyond the parent's extent have unseen neighbours on the
      // parent's side too.
      if (first < parent.first) queue({row - parent.dir, first, parent.first - 1, -parent.dir});
      if (last > parent.last) queue({row - parent.dir, parent.last + 1, last, -parent.dir});
    }
    // A run cut by the tile's side goes on in the neighbouring tile.
    if (first == tile_.left) queue({row, first - 1, first - 1, 0, FillFrom::right});
    if (last == tile_.right - 1) queue({row, last + 1, last + 1, 0, FillFrom::left});
    scanResume_ = last + 1;
  }

  void scan(const Span& span) {
    // The span's extent, for the opposite-direction rule; a seed has none.
    const Span parent = span.dir == 0 ? Span{span.row, span.first, span.last, 0} : span;
    const FillFrom from = span.dir > 0 ? FillFrom::above : span.dir < 0 ? FillFrom::below : span.from;
    for (int32_t column = span.first; column <= span.last;) {
      if (regionAt(span.row, column) != 0 || evaluate(span.row, column, from) == 0) {
        ++column;
        continue;
      }
      grow(span.row, column, parent);
      column = scanResume_;
    }
  }

  Image& source_;
  Image& map_;
  FillJudge& judge_;
  int32_t margin_;
  Rect bounds_;
  int16_t pixelBytes_;
  StProgressIndicator progress_;
  int32_t taken_ = 0;

  std::map<TileKey, std::vector<Span>> pending_;
  std::vector<Span> local_;
  bool processing_ = false;
  TileKey current_{};
  Rect tile_;
  PlaneView region_;
  std::vector<uint8_t> sourceBuffer_;
  int32_t sourceRowStep_ = 0;
  int32_t scanResume_ = 0;
};

}  // namespace

void regionFill(Image& source, Image& regionMap, Point seed, FillJudge& judge) {
  if (!regionMap.bounds().contains(seed)) return;
  TiledFill(source, regionMap, judge).fill(seed);
}

void regionFill(Image& source, Image& regionMap, Point seed, FillPredicate predicate) {
  PredicateJudge judge(predicate);
  regionFill(source, regionMap, seed, judge);
}

uint8_t undecidedForKeep(const uint8_t* mask) { return *mask < 253 ? 255 : 0; }
uint8_t undecidedForDrop(const uint8_t* mask) { return *mask > 2 ? 255 : 0; }
uint8_t classifiedKeep(const uint8_t* pixel) { return classifyPixel(pixel); }
uint8_t classifiedDrop(const uint8_t* pixel) { return static_cast<uint8_t>(255 - classifyPixel(pixel)); }
