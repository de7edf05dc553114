// Mask-to-path tracing: an 8-bit grey image becomes closed polygons along
// the iso-line where the grey value crosses a threshold.
//
// The iso-line runs between pixel centres; where it passes between two
// neighbouring pixels its position is interpolated linearly from their
// values to 1/S pixel, so a soft mask edge gives a smooth outline that the
// threshold moves in or out. The image is swept two rows at a time. Every
// outline piece still open in the sweep is a chain with two ends; an online
// simplifier at each end keeps only the points needed to stay within the
// tolerance, so memory grows with the open chains and the kept points, not
// with the image.
#pragma once

#include <cstdint>
#include <vector>

#include "path/PointQueue.h"

class Image;

// One closed polygon: points [first, last) of the point list; the last
// point joins the first.
struct Subpath {
  int32_t first = 0;
  int32_t last = 0;

  int32_t size() const { return last - first; }
};

struct TracedPath {
  std::vector<PathPoint> points;
  std::vector<Subpath> subpaths;
  // The trace stopped at the first polygon of more points than it allowed;
  // what closes after it is not traced.
  bool cutShort = false;
};

// Traces a one-byte image. A pixel is inside when its value is above
// `threshold`; everything outside the image bounds counts as 0. Points are
// in 1/scale pixel, document coordinates: the centre of pixel (r, c) is
// (r * scale + scale / 2, c * scale + scale / 2). Escape ends the trace with
// XCancel (checked once per row); image locking may throw as well. A
// polygon of more than maxPolygonPoints points (when above 0) ends the
// trace at the row where it closes, cutShort.
TracedPath trace(Image& image, uint8_t threshold, double tolerance, int32_t scale, int32_t maxPolygonPoints = 0);

// Bands of a trace hold at most this many pixels.
constexpr int32_t kTraceBandPixels = 200000;
// The height of the next band when `remaining` rows of `width` pixels are
// left: the rows are halved (rounding up) until the band fits.
int32_t traceBandHeight(int32_t remaining, int32_t width);

// Where the iso-line crosses between a pixel of value a (distance 0) and its
// neighbour of value b (distance scale), one inside and one outside:
// sub-pixel units from a towards b.
inline int32_t crossingOffset(int32_t a, int32_t b, int32_t threshold, int32_t scale) {
  return ((a - threshold) * scale + (a - b) / 2) / (a - b);
}

// The row sweep without the image access: the caller hands in row pairs
// from top to bottom. The first upper row is a row of zeros (the row above
// the image); the last lower row is a row of zeros at the row below the
// image, which closes every chain still open.
class PathTracer {
 public:
  // width: pixels per row; left: document column of the rows' first pixel.
  PathTracer(int32_t width, int32_t left, uint8_t threshold, double tolerance, int32_t scale);
  ~PathTracer();
  PathTracer(const PathTracer&) = delete;
  PathTracer& operator=(const PathTracer&) = delete;

  // `upper` must be the `lower` of the previous call. `row` is the document
  // row of `lower`.
  void processRowPair(const uint8_t* upper, const uint8_t* lower, int32_t row);

  // The closed polygons so far; the tracer is empty afterwards.
  TracedPath takeResult();

  // Open chain ends in the active list: one per iso-line crossing of the
  // last lower row.
  int32_t openEnds() const { return openEnds_; }
  // Bytes of the point blocks in use or waiting for reuse: the memory of
  // open chains.
  size_t pointBytes() const { return blocks_.bytesAllocated(); }
  // Points of the largest polygon closed so far.
  int32_t largestPolygon() const { return largestPolygon_; }

 private:
  struct ChainEnd;
  struct Chain;

  void findCrossings(const uint8_t* row, std::vector<int32_t>& columns) const;
  PathPoint lowerCrossing(const uint8_t* lower, int32_t column, int32_t y) const;
  PathPoint verticalCrossing(const uint8_t* upper, const uint8_t* lower, int32_t column,
                             int32_t y) const;

  void offer(int32_t end, PathPoint q);
  void commit(ChainEnd& end);
  int32_t newChain(PathPoint first, bool leftAtBack, int32_t before);
  void joinEnds(int32_t left, int32_t right);
  void emitSubpath(Chain& chain);

  int32_t newEnd();
  void unlinkEnd(int32_t end);
  void freeChain(int32_t chain);

  int32_t width_;
  int32_t left_;
  int32_t threshold_;
  int32_t scale_;
  double limitSquared_;

  std::vector<int32_t> upperCrossings_;
  std::vector<int32_t> lowerCrossings_;

  // The active list: chain ends in left-to-right order of their crossings,
  // circular, with entry 0 as its anchor (never a real end).
  std::vector<ChainEnd> ends_;
  std::vector<int32_t> freeEnds_;
  int32_t openEnds_ = 0;
  std::vector<Chain> chains_;
  std::vector<int32_t> freeChains_;
  PointBlockPool blocks_;

  TracedPath result_;
  int32_t largestPolygon_ = 0;
};
