#include "path/PathTracer.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/Image.h"
#include "shell/Exceptions.h"
#include "shell/StProgressIndicator.h"

// One end of an open chain. The simplifier state lives here: the anchor is
// the point last committed at this end, the pending point the one last
// offered, and `area` twice the signed area between the offered points and
// the chord from the anchor to the newest point.
struct PathTracer::ChainEnd {
  int32_t previous = 0;  // active list links
  int32_t next = 0;
  int32_t chain = -1;
  // Which end of the chain's queue this end grows. Outlines run with the
  // inside on one fixed side, so an end whose crossing has the inside to its
  // right always carries the outline onwards (back) and one with the inside
  // to its left always brings it in (front): a finished queue lists the
  // outline in order, and joined chains fit end to front.
  bool atBack = true;
  PathPoint anchor;
  PathPoint pending;
  double area = 0;
};

struct PathTracer::Chain {
  PointQueue queue;
  int32_t ends[2] = {-1, -1};
};

namespace {

constexpr int32_t kListAnchor = 0;

}  // namespace

int32_t traceBandHeight(int32_t remaining, int32_t width) {
  int32_t height = remaining;
  while (int64_t{height} * width > kTraceBandPixels && height >= 2) height = (height + 1) / 2;
  return height;
}

PathTracer::PathTracer(int32_t width, int32_t left, uint8_t threshold, double tolerance,
                       int32_t scale)
    : width_(width), left_(left), threshold_(threshold), scale_(scale) {
  // The simplifier keeps a point when the outline since the last kept one
  // lies on average more than 2/3 of the tolerance from the chord; its area
  // test compares twice that area, hence 4/3.
  const double limit = scale * tolerance * 4.0 / 3.0;
  limitSquared_ = limit * limit;
  upperCrossings_.reserve(16);
  lowerCrossings_.reserve(16);
  ends_.resize(1);
  ends_[kListAnchor].previous = ends_[kListAnchor].next = kListAnchor;
}

PathTracer::~PathTracer() = default;

TracedPath PathTracer::takeResult() { return std::exchange(result_, TracedPath{}); }

// The columns x in [0, width] where inside(row[x - 1]) != inside(row[x]),
// with the pixels left and right of the row outside.
void PathTracer::findCrossings(const uint8_t* row, std::vector<int32_t>& columns) const {
  columns.clear();
  uint32_t previousInside = 0;
  int32_t x = 0;
#if defined(__SSE2__)
  // Sixteen pixels at a time: a bit mask of the inside pixels, compared with
  // itself shifted by one pixel, marks every change between neighbours.
  // SSE2 is part of every x86-64 processor, so this runs at every vector
  // level. bench_path trace_*_vs_OpenCV.
  const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i limit = _mm_set1_epi8(static_cast<char>(threshold_ ^ 0x80));
  for (; x + 16 <= width_; x += 16) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
    const uint32_t inside =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpgt_epi8(_mm_xor_si128(pixels, bias), limit)));
    uint32_t changes = (inside ^ ((inside << 1) | previousInside)) & 0xFFFFu;
    previousInside = inside >> 15;
    while (changes != 0) {
      columns.push_back(x + __builtin_ctz(changes));
      changes &= changes - 1;
    }
  }
#endif
  for (; x < width_; ++x) {
    const uint32_t inside = row[x] > threshold_ ? 1 : 0;
    if (inside != previousInside) columns.push_back(x);
    previousInside = inside;
  }
  if (previousInside != 0) columns.push_back(width_);
}

PathPoint PathTracer::lowerCrossing(const uint8_t* lower, int32_t column, int32_t y) const {
  const int32_t here = column < width_ ? lower[column] : 0;
  const int32_t left = column > 0 ? lower[column - 1] : 0;
  const int32_t centre = (left_ + column) * scale_ + scale_ / 2;
  return {y, centre - crossingOffset(here, left, threshold_, scale_)};
}

PathPoint PathTracer::verticalCrossing(const uint8_t* upper, const uint8_t* lower, int32_t column,
                                       int32_t y) const {
  const int32_t centre = (left_ + column) * scale_ + scale_ / 2;
  return {y - crossingOffset(lower[column], upper[column], threshold_, scale_), centre};
}

void PathTracer::commit(ChainEnd& end) {
  end.anchor = end.pending;
  end.area = 0;
  Chain& chain = chains_[end.chain];
  if (end.atBack) chain.queue.pushBack(end.pending, blocks_);
  else chain.queue.pushFront(end.pending, blocks_);
}

void PathTracer::offer(int32_t index, PathPoint q) {
  ChainEnd& end = ends_[index];
  const double toQv = double(q.v) - end.anchor.v;
  const double toQh = double(q.h) - end.anchor.h;
  end.area += toQv * (double(q.h) - end.pending.h) - (double(q.v) - end.pending.v) * toQh;
  if (end.area * end.area > limitSquared_ * (toQh * toQh + toQv * toQv)) commit(end);
  end.pending = q;
}

int32_t PathTracer::newEnd() {
  int32_t index;
  if (!freeEnds_.empty()) {
    index = freeEnds_.back();
    freeEnds_.pop_back();
    ends_[index] = ChainEnd{};
  } else {
    index = static_cast<int32_t>(ends_.size());
    ends_.emplace_back();
  }
  ++openEnds_;
  return index;
}

void PathTracer::unlinkEnd(int32_t index) {
  ChainEnd& end = ends_[index];
  ends_[end.previous].next = end.next;
  ends_[end.next].previous = end.previous;
  end.chain = -1;
  freeEnds_.push_back(index);
  --openEnds_;
}

void PathTracer::freeChain(int32_t index) {
  chains_[index].queue.release(blocks_);
  freeChains_.push_back(index);
}

// A new outline starts at `first`; its two ends go into the active list
// before `before`, the left one first. Returns the left end.
int32_t PathTracer::newChain(PathPoint first, bool leftAtBack, int32_t before) {
  int32_t chainIndex;
  if (!freeChains_.empty()) {
    chainIndex = freeChains_.back();
    freeChains_.pop_back();
  } else {
    chainIndex = static_cast<int32_t>(chains_.size());
    chains_.emplace_back();
  }
  const int32_t leftEnd = newEnd();
  const int32_t rightEnd = newEnd();
  chains_[chainIndex].ends[0] = leftEnd;
  chains_[chainIndex].ends[1] = rightEnd;
  chains_[chainIndex].queue.pushBack(first, blocks_);

  const int32_t after = ends_[before].previous;
  ChainEnd& left = ends_[leftEnd];
  ChainEnd& right = ends_[rightEnd];
  left.chain = right.chain = chainIndex;
  left.atBack = leftAtBack;
  right.atBack = !leftAtBack;
  left.anchor = left.pending = right.anchor = right.pending = first;
  left.previous = after;
  left.next = rightEnd;
  right.previous = leftEnd;
  right.next = before;
  ends_[after].next = leftEnd;
  ends_[before].previous = rightEnd;
  return leftEnd;
}

void PathTracer::emitSubpath(Chain& chain) {
  if (chain.queue.size() <= 2) return;
  const size_t first = result_.points.size();
  result_.points.resize(first + chain.queue.size());
  chain.queue.copyTo(result_.points.data() + first);
  result_.subpaths.push_back({int32_t(first), int32_t(result_.points.size())});
  largestPolygon_ = std::max(largestPolygon_, result_.subpaths.back().size());
}

// Two neighbouring ends meet; `left` has already been offered the rest of
// the outline up to the right end's anchor. One chain closes, or two become
// one.
void PathTracer::joinEnds(int32_t left, int32_t right) {
  const int32_t leftChain = ends_[left].chain;
  const int32_t rightChain = ends_[right].chain;
  const bool leftAtBack = ends_[left].atBack;
  unlinkEnd(left);
  unlinkEnd(right);
  if (leftChain == rightChain) {
    emitSubpath(chains_[leftChain]);
    freeChain(leftChain);
    return;
  }
  Chain& kept = chains_[leftChain];
  Chain& moved = chains_[rightChain];
  if (leftAtBack) kept.queue.appendAll(moved.queue, blocks_);
  else kept.queue.prependAll(moved.queue, blocks_);
  const int32_t keptOther = kept.ends[0] == left ? kept.ends[1] : kept.ends[0];
  const int32_t movedOther = moved.ends[0] == right ? moved.ends[1] : moved.ends[0];
  kept.ends[0] = keptOther;
  kept.ends[1] = movedOther;
  ends_[movedOther].chain = leftChain;
  freeChain(rightChain);
}

// Walks both rows' crossings left to right (the upper one first in a tie)
// and pairs them into runs. Between the two crossings of a run the upper
// and the lower pixel of every column lie on opposite sides of the
// threshold, so the outline crosses each of those columns once, between
// the two rows.
void PathTracer::processRowPair(const uint8_t* upper, const uint8_t* lower, int32_t row) {
  const int32_t y = row * scale_ + scale_ / 2;
  findCrossings(lower, lowerCrossings_);
  const std::vector<int32_t>& ups = upperCrossings_;
  const std::vector<int32_t>& downs = lowerCrossings_;
  size_t u = 0;
  size_t d = 0;
  int32_t current = ends_[kListAnchor].next;

  auto takeCrossing = [&](int32_t& column) {
    if (u < ups.size() && (d >= downs.size() || ups[u] <= downs[d])) {
      column = ups[u++];
      return true;
    }
    column = downs[d++];
    return false;
  };

  while (u < ups.size() || d < downs.size()) {
    int32_t open;
    int32_t close;
    const bool opensUpper = takeCrossing(open);
    const bool closesUpper = takeCrossing(close);
    if (opensUpper && !closesUpper) {
      // The outline continues downwards, left to right.
      assert(current != kListAnchor);
      for (int32_t x = open; x < close; ++x) offer(current, verticalCrossing(upper, lower, x, y));
      offer(current, lowerCrossing(lower, close, y));
      current = ends_[current].next;
    } else if (!opensUpper && closesUpper) {
      // The outline continues downwards, right to left.
      assert(current != kListAnchor);
      for (int32_t x = close - 1; x >= open; --x)
        offer(current, verticalCrossing(upper, lower, x, y));
      offer(current, lowerCrossing(lower, open, y));
      current = ends_[current].next;
    } else if (!opensUpper && !closesUpper) {
      // The top of a new outline.
      const int32_t left = newChain(lowerCrossing(lower, close, y), lower[open] > threshold_, current);
      for (int32_t x = close - 1; x >= open; --x) offer(left, verticalCrossing(upper, lower, x, y));
      offer(left, lowerCrossing(lower, open, y));
    } else {
      // The bottom of an outline: the current end meets the next one.
      assert(current != kListAnchor && ends_[current].next != kListAnchor);
      const int32_t right = ends_[current].next;
      for (int32_t x = open; x < close; ++x) offer(current, verticalCrossing(upper, lower, x, y));
      offer(current, ends_[right].pending);
      offer(current, ends_[right].anchor);
      const int32_t following = ends_[right].next;
      joinEnds(current, right);
      current = following;
    }
  }
  std::swap(upperCrossings_, lowerCrossings_);
}

namespace {

// The band being swept: either the image's own piece, locked for as long
// as the band is swept, or a copy in the band buffer.
class BandAccess {
 public:
  BandAccess(Image& image, const Rect& band, std::vector<uint8_t>& buffer) : image_(image) {
    Rect piece = band;
    try {
      const PlaneView view = image.lock(piece, LockMode::read);
      if (piece.contains(band) && view.colStep == 1) {
        locked_ = true;
        piece_ = piece;
        view_ = view.offsetBy(band.top - piece.top, band.left - piece.left);
        return;
      }
      image.unlock(piece);
    } catch (const XLock&) {
      // Tiles never written, or a piece too large for the moment: the
      // piece-by-piece copy below knows how to handle both.
    }
    const size_t bytes = size_t(band.height()) * size_t(band.width());
    if (buffer.size() < bytes) {
      // Exactly the band, not twice as much as grown step by step, and the
      // smaller buffer given back first.
      buffer = std::vector<uint8_t>();
      buffer.resize(bytes);
    }
    view_ = PlaneView{buffer.data(), 1, band.width()};
    image.ReadRect(band, view_);
  }
  ~BandAccess() {
    if (locked_) image_.unlock(piece_);
  }
  BandAccess(const BandAccess&) = delete;
  BandAccess& operator=(const BandAccess&) = delete;

  const uint8_t* row(int32_t r) const { return view_.at(r, 0); }

 private:
  Image& image_;
  bool locked_ = false;
  Rect piece_;
  PlaneView view_;
};

}  // namespace

TracedPath trace(Image& image, uint8_t threshold, double tolerance, int32_t scale, int32_t maxPolygonPoints) {
  const Rect bounds = image.bounds();
  if (bounds.empty()) return {};
  assert(image.layout().bytesPerPixel == 1);
  const int32_t width = bounds.width();
  PathTracer tracer(width, bounds.left, threshold, tolerance, scale);
  StProgressIndicator progress(bounds.top, bounds.bottom);

  // The row above the first band: the row above the image, later the last
  // row of the band before.
  std::vector<uint8_t> previousRow(size_t(width), 0);
  std::vector<uint8_t> bandBuffer;
  const uint8_t* upper = previousRow.data();
  int32_t top = bounds.top;
  while (top < bounds.bottom) {
    Rect band{int16_t(top), bounds.left,
              int16_t(top + traceBandHeight(bounds.bottom - top, width)), bounds.right};
    for (;;) {
      try {
        BandAccess access(image, band, bandBuffer);
        for (int32_t r = 0; r < band.height(); ++r) {
          progress.step(top + r);
          const uint8_t* lower = access.row(r);
          tracer.processRowPair(upper, lower, top + r);
          upper = lower;
          if (maxPolygonPoints > 0 && tracer.largestPolygon() > maxPolygonPoints) {
            TracedPath path = tracer.takeResult();
            path.cutShort = true;
            return path;
          }
        }
        std::memcpy(previousRow.data(), upper, size_t(width));
        upper = previousRow.data();
        break;
      } catch (const XReduce&) {
        // The rows already swept stay swept: only a band that failed before
        // its first row is retried smaller.
        if (upper != previousRow.data() || band.height() < 2) throw;
        band.bottom = int16_t(top + (band.height() + 1) / 2);
      }
    }
    top = band.bottom;
  }
  const std::vector<uint8_t> rowBelow(size_t(width), 0);
  tracer.processRowPair(upper, rowBelow.data(), bounds.bottom);
  return tracer.takeResult();
}
