#include "tools/PolygonCoverage.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kBandRows = 128;

// Signed area accumulation over a band of rows. Every edge adds, in each
// row it crosses, the signed area it sweeps in each cell to the cell and
// the remainder to the next cell; the running sum along a row then is the
// covered fraction of each pixel.
class AreaAccumulator {
 public:
  AreaAccumulator(int32_t rows, int32_t columns)
      : rows_(rows), columns_(columns), cells_(static_cast<size_t>(rows * (columns + 2)), 0.0) {}

  // An edge in band coordinates (x right, y down, origin at the band's
  // top-left corner).
  void addEdge(BezierPoint a, BezierPoint b) {
    if (a.y == b.y) return;
    double direction = 1;
    if (a.y > b.y) {
      std::swap(a, b);
      direction = -1;
    }
    const double top = std::max(a.y, 0.0);
    const double bottom = std::min(b.y, static_cast<double>(rows_));
    if (top >= bottom) return;
    const double slope = (b.x - a.x) / (b.y - a.y);
    double x = a.x + (top - a.y) * slope;
    for (auto row = static_cast<int32_t>(std::floor(top)); row < bottom; ++row) {
      const double dy = std::min(row + 1.0, bottom) - std::max(static_cast<double>(row), top);
      const double next = x + slope * dy;
      addPiece(row, x, next, dy * direction);
      x = next;
    }
  }

  double* row(int32_t r) { return cells_.data() + r * (columns_ + 2); }

 private:
  void addPiece(int32_t r, double from, double to, double height) {
    double* cell = row(r);
    const double limit = static_cast<double>(columns_);
    double x0 = std::clamp(std::min(from, to), 0.0, limit);
    double x1 = std::clamp(std::max(from, to), 0.0, limit);
    const auto x0i = static_cast<int32_t>(std::floor(x0));
    const auto x1i = static_cast<int32_t>(std::ceil(x1));
    if (x1i <= x0i + 1) {
      // Within one cell: the part right of the edge's mean x is covered.
      const double mean = 0.5 * (x0 + x1) - x0i;
      cell[x0i] += height * (1 - mean);
      cell[x0i + 1] += height * mean;
      return;
    }
    // Across several cells: each full cell gets height / width of the run,
    // the end cells the triangles the edge cuts off.
    const double perCell = 1 / (x1 - x0);
    const double x0f = x0 - x0i;
    const double x1f = x1 - x1i + 1;
    const double first = 0.5 * perCell * (1 - x0f) * (1 - x0f);
    const double last = 0.5 * perCell * x1f * x1f;
    cell[x0i] += height * first;
    if (x1i == x0i + 2) {
      cell[x0i + 1] += height * (1 - first - last);
    } else {
      const double second = perCell * (1.5 - x0f);
      cell[x0i + 1] += height * (second - first);
      for (int32_t i = x0i + 2; i < x1i - 1; ++i) cell[i] += height * perCell;
      const double beforeLast = second + (x1i - x0i - 3) * perCell;
      cell[x1i - 1] += height * (1 - beforeLast - last);
    }
    cell[x1i] += height * last;
  }

  int32_t rows_, columns_;
  std::vector<double> cells_;
};

}  // namespace

double PolygonArea(const std::vector<BezierPoint>& polygon) {
  double twice = 0;
  for (size_t i = 0, n = polygon.size(); i < n; ++i) {
    const BezierPoint& a = polygon[i];
    const BezierPoint& b = polygon[(i + 1) % n];
    twice += a.x * b.y - b.x * a.y;
  }
  return twice / 2;
}

void ScanConvertPolygon(const std::vector<BezierPoint>& polygon, const Rect& box, Image& coverage) {
  const int32_t columns = box.width();
  std::vector<uint8_t> bytes;
  for (int32_t bandTop = box.top; bandTop < box.bottom; bandTop += kBandRows) {
    const int32_t rows = std::min(kBandRows, box.bottom - bandTop);
    AreaAccumulator area(rows, columns);
    for (size_t i = 0, n = polygon.size(); i < n; ++i) {
      const BezierPoint& a = polygon[i];
      const BezierPoint& b = polygon[(i + 1) % n];
      area.addEdge({a.x - box.left, a.y - bandTop}, {b.x - box.left, b.y - bandTop});
    }
    bytes.assign(static_cast<size_t>(rows * columns), 0);
    for (int32_t r = 0; r < rows; ++r) {
      const double* cell = area.row(r);
      double sum = 0;
      for (int32_t c = 0; c < columns; ++c) {
        sum += cell[c];
        const double fraction = std::min(std::abs(sum), 1.0);
        bytes[static_cast<size_t>(r * columns + c)] = static_cast<uint8_t>(std::floor(fraction * 255 + 0.5));
      }
    }
    const Rect band{static_cast<int16_t>(bandTop), box.left, static_cast<int16_t>(bandTop + rows), box.right};
    coverage.WriteRect(band, {bytes.data(), 1, columns});
  }
}
