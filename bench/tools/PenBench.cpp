// The pen's fill of a closed path.
//
// - A closed path of 2000 smooth nodes round a wavy outline across a
//   4000 x 4000 mask filled with softness 20 (flattening, scan conversion,
//   blur, blend and undo record; the path goes back with an undo between
//   runs, outside the time): "figure FillClosedPath_2000_nodes_4000 ms VALUE".
// - Its scan conversion alone (the flattened polygon into a one-byte
//   coverage image over the whole mask; 2000 edges, for each segment,
//   about 5 pixels long, is within 0.2 pixels of its chord) against a plain
//   even-odd rasteriser with 16 x 16 samples per pixel, written here as the
//   reference, into the same image band by band:
//   "ratio ScanConvert_4000_vs_supersampled16 VALUE". Ours gives the exact
//   covered area; the reference 257 levels of it.
//
// Every time is the best of ten runs in processor time, the runs of all
// benchmarks interleaved in random order, as in bench_image.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/support/MemoryBufferHost.h"
#include "bench/support/RecordingReporter.h"
#include "display/CWorkDocument.h"
#include "image/BufferImage.h"
#include "tools/ClosedPathFill.h"
#include "tools/PolygonCoverage.h"

namespace {

constexpr int16_t kSide = 4000;
constexpr Rect kWhole{0, 0, kSide, kSide};
constexpr Point kTile{128, 128};
constexpr int kNodes = 2000;
constexpr double kSoftness = 20;

// Smooth nodes on r(t) = 1700 + 150 sin 7t + 60 sin 23t round the centre,
// each handle a third of the way to the neighbouring node along the
// tangent.
CBezierPath wavyPath() {
  const auto at = [](double t) {
    const double r = 1700 + 150 * std::sin(7 * t) + 60 * std::sin(23 * t);
    return BezierPoint{2000 + r * std::cos(t), 2000 + r * std::sin(t)};
  };
  CBezierPath path;
  const double step = 2 * M_PI / kNodes;
  for (int i = 0; i < kNodes; ++i) {
    const BezierPoint before = at((i - 1) * step), here = at(i * step), after = at((i + 1) * step);
    const BezierPoint tangent{(after.x - before.x) / 6, (after.y - before.y) / 6};
    path.AppendNodeData(nullptr, {1, here, {here.x - tangent.x, here.y - tangent.y},
                                  {here.x + tangent.x, here.y + tangent.y}});
  }
  path.SetClosed(nullptr, true);
  return path;
}

const std::vector<BezierPoint>& wavyPolygon() {
  static const std::vector<BezierPoint> polygon = wavyPath().Flatten();
  return polygon;
}

void BM_FillClosedPath(benchmark::State& state) {
  MemoryBufferHost::instance();
  BufferImage mask({1, 1}, kWhole, kTile, 0);
  CWorkDocument document;
  document.SetWorkImages(&mask, nullptr);
  CBezierPath path = wavyPath();
  document.Path().SwapWith(nullptr, path);
  for (auto _ : state) {
    if (!FillClosedPath(document, true, kSoftness)) state.SkipWithError("the fill changed nothing");
    state.PauseTiming();
    document.Undo();  // the mask and the path come back
    document.purge(1);
    state.ResumeTiming();
  }
}

void BM_ScanConvert(benchmark::State& state) {
  MemoryBufferHost::instance();
  BufferImage coverage({1, 1}, kWhole, kTile, 0);
  const std::vector<BezierPoint>& polygon = wavyPolygon();
  for (auto _ : state) ScanConvertPolygon(polygon, kWhole, coverage);
}

// ---- The reference ------------------------------------------------------

// 16 sample rows per pixel row, 16 sample columns per pixel: a sample is
// inside when an odd number of edges cross its row left of it. For every
// sample row the crossings are sorted and the samples between each pair
// counted into their pixels.
void supersample16(const std::vector<BezierPoint>& polygon, const Rect& box, Image& coverage) {
  constexpr int kSamples = 16, kBand = 128;
  struct Edge {
    double top, bottom, x, slope;  // x at y = top
  };
  std::vector<Edge> edges;
  for (size_t i = 0, n = polygon.size(); i < n; ++i) {
    BezierPoint a = polygon[i], b = polygon[(i + 1) % n];
    if (a.y == b.y) continue;
    if (a.y > b.y) std::swap(a, b);
    const double slope = (b.x - a.x) / (b.y - a.y);
    edges.push_back({a.y - box.top, b.y - box.top, (a.x - box.left), slope});
  }
  std::sort(edges.begin(), edges.end(), [](const Edge& l, const Edge& r) { return l.top < r.top; });

  const int32_t width = box.width();
  std::vector<uint16_t> counts(static_cast<size_t>(width));
  std::vector<uint8_t> band(static_cast<size_t>(kBand) * width);
  std::vector<const Edge*> active;
  std::vector<double> crossings;
  size_t next = 0;
  for (int32_t bandTop = 0; bandTop < box.height(); bandTop += kBand) {
    const int32_t rows = std::min(kBand, box.height() - bandTop);
    for (int32_t row = 0; row < rows; ++row) {
      const int32_t y = bandTop + row;
      std::erase_if(active, [&](const Edge* e) { return e->bottom <= y; });
      for (; next < edges.size() && edges[next].top < y + 1; ++next) active.push_back(&edges[next]);
      std::fill(counts.begin(), counts.end(), 0);
      for (int s = 0; s < kSamples; ++s) {
        const double sy = y + (s + 0.5) / kSamples;
        crossings.clear();
        for (const Edge* e : active)
          if (e->top <= sy && sy < e->bottom) crossings.push_back(e->x + (sy - e->top) * e->slope);
        std::sort(crossings.begin(), crossings.end());
        for (size_t c = 0; c + 1 < crossings.size(); c += 2) {
          // Sample columns k with x0 <= (k + 0.5) / 16 < x1.
          const auto first = static_cast<int64_t>(std::ceil(crossings[c] * kSamples - 0.5));
          const auto end = static_cast<int64_t>(std::ceil(crossings[c + 1] * kSamples - 0.5));
          const int64_t from = std::max<int64_t>(first, 0), to = std::min<int64_t>(end, int64_t{width} * kSamples);
          for (int64_t k = from; k < to;) {
            const int64_t pixel = k / kSamples, pixelEnd = std::min(to, (pixel + 1) * kSamples);
            counts[static_cast<size_t>(pixel)] += static_cast<uint16_t>(pixelEnd - k);
            k = pixelEnd;
          }
        }
      }
      uint8_t* out = band.data() + static_cast<size_t>(row) * width;
      for (int32_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>((counts[x] * 255 + 128) / 256);
    }
    const auto top = static_cast<int16_t>(box.top + bandTop);
    coverage.WriteRect({top, box.left, static_cast<int16_t>(top + rows), box.right}, {band.data(), 1, width});
  }
}

void BM_Supersampled16(benchmark::State& state) {
  MemoryBufferHost::instance();
  BufferImage coverage({1, 1}, kWhole, kTile, 0);
  const std::vector<BezierPoint>& polygon = wavyPolygon();
  for (auto _ : state) supersample16(polygon, kWhole, coverage);
}

// How far the two coverages lie apart at most, in grey levels: the
// reference's sampling error along the outline.
int largestDifference() {
  BufferImage ours({1, 1}, kWhole, kTile, 0), reference({1, 1}, kWhole, kTile, 0);
  ScanConvertPolygon(wavyPolygon(), kWhole, ours);
  supersample16(wavyPolygon(), kWhole, reference);
  std::vector<uint8_t> a(static_cast<size_t>(kSide)), b(static_cast<size_t>(kSide));
  int largest = 0;
  for (int16_t v = 0; v < kSide; ++v) {
    const Rect row{v, 0, static_cast<int16_t>(v + 1), kSide};
    ours.ReadRect(row, {a.data(), 1, kSide});
    reference.ReadRect(row, {b.data(), 1, kSide});
    for (size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(a[i] - b[i]));
  }
  return largest;
}

// ---- Running --------------------------------------------------------------

template <typename B>
void configure(B* b) {
  b->Repetitions(10)
      ->ReportAggregatesOnly(true)
      ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
      ->Unit(benchmark::kMillisecond);
}

class Recorder : public RecordingReporter {
 public:
  std::map<std::string, double> times;  // milliseconds

 protected:
  void Record(const Run& run) override {
    if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")
      times[NameWithArgs(run)] = run.GetAdjustedCPUTime();
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());
  configure(benchmark::RegisterBenchmark("BM_FillClosedPath", BM_FillClosedPath));
  configure(benchmark::RegisterBenchmark("BM_ScanConvert", BM_ScanConvert));
  configure(benchmark::RegisterBenchmark("BM_Supersampled16", BM_Supersampled16));
  Recorder reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& t = reporter.times;
  if (t.count("BM_FillClosedPath") != 0)
    std::printf("figure FillClosedPath_2000_nodes_4000 ms %.1f\n", t.at("BM_FillClosedPath"));
  if (t.count("BM_ScanConvert") != 0 && t.count("BM_Supersampled16") != 0 && t.at("BM_Supersampled16") > 0) {
    std::printf("figure ScanConvert_4000 edges %zu\n", wavyPolygon().size());
    std::printf("figure ScanConvert_4000 largest_difference_to_reference_levels %d\n", largestDifference());
    std::printf("ratio ScanConvert_4000_vs_supersampled16 %.3f\n", t.at("BM_ScanConvert") / t.at("BM_Supersampled16"));
  }
  benchmark::Shutdown();
  return 0;
}
