#include "tools/PolygonCoverage.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int32_t kBandRows = 128;

// An edge running down (a above b), with +1 when the polygon runs down
// along it and -1 when up.
struct Edge {
  BezierPoint a, b;
  double direction;
};

// Signed area accumulation over a band of rows. Every edge adds, in each
// row it crosses, the signed area it sweeps in each cell to the cell and
// the remainder to the next cell; the running sum along a row then is the
// covered fraction of each pixel.
class AreaAccumulator {
 public:
  AreaAccumulator(int32_t rows, int32_t columns) : columns_(columns) { reset(rows); }

  void reset(int32_t rows) {
    rows_ = rows;
    cells_.assign(static_cast<size_t>(rows) * static_cast<size_t>(columns_ + 2), 0.0);
  }

  // An edge in band coordinates (x right, y down, origin at the band's
  // top-left corner).
  void addEdge(const Edge& edge) {
    const BezierPoint& a = edge.a;
    const BezierPoint& b = edge.b;
    const double top = std::max(a.y, 0.0);
    const double bottom = std::min(b.y, static_cast<double>(rows_));
    if (top >= bottom) return;
    const double slope = (b.x - a.x) / (b.y - a.y);
    double x = a.x + (top - a.y) * slope;
    for (auto row = static_cast<int32_t>(std::floor(top)); row < bottom; ++row) {
      const double dy = std::min(row + 1.0, bottom) - std::max(static_cast<double>(row), top);
      const double next = x + slope * dy;
      addClipped(row, std::min(x, next), std::max(x, next), dy * edge.direction);
      x = next;
    }
  }

  double* row(int32_t r) { return cells_.data() + static_cast<size_t>(r) * static_cast<size_t>(columns_ + 2); }

 private:
  // A piece of an edge from x0 to x1 (x0 <= x1) within one row. Where it
  // runs left of the band it covers the whole row width right of it, as a
  // vertical edge on the left side would; where it runs right of the band
  // it covers nothing of it. Since x follows y linearly, each part gets
  // the share of the height that its share of the width is.
  void addClipped(int32_t r, double x0, double x1, double height) {
    const double limit = static_cast<double>(columns_);
    if (x1 <= 0) {
      row(r)[0] += height;
      return;
    }
    if (x0 >= limit) return;
    if (x0 < 0 || x1 > limit) {
      const double width = x1 - x0;
      if (x0 < 0) row(r)[0] += height * (-x0 / width);
      const double inside0 = std::max(x0, 0.0), inside1 = std::min(x1, limit);
      addPiece(r, inside0, inside1, height * ((inside1 - inside0) / width));
      return;
    }
    addPiece(r, x0, x1, height);
  }

  void addPiece(int32_t r, double x0, double x1, double height) {
    double* cell = row(r);
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

  int32_t rows_ = 0, columns_;
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

// Edges are sorted by their top; each band takes those that reach into it
// from the ones still active and the ones starting above its bottom.
void ScanConvertPolygon(const std::vector<BezierPoint>& polygon, const Rect& box, Image& coverage) {
  if (box.empty()) return;
  const int32_t columns = box.width();
  std::vector<Edge> edges;
  edges.reserve(polygon.size());
  for (size_t i = 0, n = polygon.size(); i < n; ++i) {
    BezierPoint a{polygon[i].x - box.left, polygon[i].y - box.top};
    BezierPoint b{polygon[(i + 1) % n].x - box.left, polygon[(i + 1) % n].y - box.top};
    if (a.y == b.y) continue;
    if (a.y < b.y)
      edges.push_back({a, b, 1});
    else
      edges.push_back({b, a, -1});
  }
  std::sort(edges.begin(), edges.end(), [](const Edge& l, const Edge& r) { return l.a.y < r.a.y; });

  AreaAccumulator area(0, columns);
  std::vector<uint8_t> bytes;
  std::vector<Edge> active;
  size_t nextEdge = 0;
  for (int32_t bandTop = 0; bandTop < box.height(); bandTop += kBandRows) {
    const int32_t rows = std::min(kBandRows, box.height() - bandTop);
    const double bandBottom = bandTop + rows;
    std::erase_if(active, [&](const Edge& e) { return e.b.y <= bandTop; });
    for (; nextEdge < edges.size() && edges[nextEdge].a.y < bandBottom; ++nextEdge)
      if (edges[nextEdge].b.y > bandTop) active.push_back(edges[nextEdge]);
    area.reset(rows);
    for (const Edge& e : active)
      area.addEdge({{e.a.x, e.a.y - bandTop}, {e.b.x, e.b.y - bandTop}, e.direction});
    bytes.resize(static_cast<size_t>(rows) * static_cast<size_t>(columns));
    for (int32_t r = 0; r < rows; ++r) {
      const double* cell = area.row(r);
      uint8_t* out = bytes.data() + static_cast<size_t>(r) * static_cast<size_t>(columns);
      double sum = 0;
      for (int32_t c = 0; c < columns; ++c) {
        sum += cell[c];
        const double fraction = std::min(std::abs(sum), 1.0);
        out[c] = static_cast<uint8_t>(fraction * 255 + 0.5);
      }
    }
    const auto top = static_cast<int16_t>(box.top + bandTop);
    const Rect band{top, box.left, static_cast<int16_t>(top + rows), box.right};
    coverage.WriteRect(band, {bytes.data(), 1, columns});
  }
}
