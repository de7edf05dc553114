// A one-byte image over a plain vector for tracing tests, with a record of
// the pieces asked for, and helpers that look at traced polygons.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/Image.h"
#include "image/PieceIterator.h"
#include "path/PathTracer.h"
#include "shell/Exceptions.h"

namespace path_testing {

class MaskImage : public Image {
 public:
  MaskImage(int32_t rows, int32_t columns, int16_t top = 0, int16_t left = 0, uint8_t fill = 0)
      : Image({1, 1}, Rect{top, left, int16_t(top + rows), int16_t(left + columns)}),
        pixels_(size_t(rows) * size_t(columns), fill) {}

  uint8_t& at(int32_t r, int32_t c) { return pixels_[size_t(r) * size_t(bounds_.width()) + size_t(c)]; }
  void fill(uint8_t value) { std::fill(pixels_.begin(), pixels_.end(), value); }

  // Locks taller than this throw XReduce, as a host short of memory would.
  void setMaxPieceRows(int32_t rows) { maxPieceRows_ = rows; }
  // Pieces are cut on a grid of this many columns (0: whole rows).
  void setPieceColumns(int32_t columns) { pieceColumns_ = columns; }

  uint32_t memoryUsage() const override { return uint32_t(pixels_.size()); }
  PlaneView lock(Rect& rect, LockMode) override {
    locks.push_back(rect);
    if (maxPieceRows_ > 0 && rect.height() > maxPieceRows_) throw XReduce(TESSALY_HERE);
    if (pieceColumns_ > 0) {
      const int32_t first = (rect.left - bounds_.left) / pieceColumns_ * pieceColumns_ + bounds_.left;
      rect.left = int16_t(first);
      rect.right = int16_t(std::min<int32_t>(first + pieceColumns_, bounds_.right));
    }
    ++lockedPieces;
    return PlaneView{&at(rect.top - bounds_.top, rect.left - bounds_.left), 1, bounds_.width()};
  }
  void unlock(const Rect&) override { --lockedPieces; }
  std::unique_ptr<PieceIterator> newRectIterator(const Rect& rect) const override {
    if (pieceColumns_ > 0) return newGridIterator(rect, Point{int16_t(rect.height()), int16_t(pieceColumns_)});
    return Image::newRectIterator(rect);
  }

  std::vector<Rect> locks;
  int32_t lockedPieces = 0;

 private:
  std::vector<uint8_t> pixels_;
  int32_t maxPieceRows_ = 0;
  int32_t pieceColumns_ = 0;
};

inline std::vector<PathPoint> subpathPoints(const TracedPath& path, size_t i) {
  const Subpath& s = path.subpaths.at(i);
  return {path.points.begin() + s.first, path.points.begin() + s.last};
}

// Twice the signed area of a closed polygon (sub-pixel units squared).
inline double doubleArea(const std::vector<PathPoint>& polygon) {
  double sum = 0;
  for (size_t i = 0; i < polygon.size(); ++i) {
    const PathPoint& a = polygon[i];
    const PathPoint& b = polygon[(i + 1) % polygon.size()];
    sum += double(a.h) * b.v - double(b.h) * a.v;
  }
  return sum;
}

// Distance from p to the segment a-b.
inline double segmentDistance(PathPoint p, PathPoint a, PathPoint b) {
  const double ah = a.h, av = a.v;
  const double dh = b.h - ah, dv = b.v - av;
  const double length2 = dh * dh + dv * dv;
  double t = length2 > 0 ? ((p.h - ah) * dh + (p.v - av) * dv) / length2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  const double eh = ah + t * dh - p.h, ev = av + t * dv - p.v;
  return std::sqrt(eh * eh + ev * ev);
}

// Distance from p to the nearest edge of any traced polygon.
inline double distanceToPath(PathPoint p, const TracedPath& path) {
  double best = INFINITY;
  for (const Subpath& s : path.subpaths)
    for (int32_t i = s.first; i < s.last; ++i) {
      const int32_t j = i + 1 < s.last ? i + 1 : s.first;
      best = std::min(best, segmentDistance(p, path.points[size_t(i)], path.points[size_t(j)]));
    }
  return best;
}

inline std::string describe(PathPoint p) {
  return "(" + std::to_string(p.v) + ", " + std::to_string(p.h) + ")";
}

}  // namespace path_testing
