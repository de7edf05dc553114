// The tracer against its references on 4096 x 4096 masks: OpenCV's
// findContours + approxPolyDP and potrace, one thread, threshold 127,
// tolerance 0.3 pixel. Prints "ratio NAME VALUE" (our time over the
// reference's), the number of points each method keeps, the largest
// distance of each outline from the exact iso-line where the masks are
// drawn from analytic shapes, and the peak memory of each trace from a
// tiled BufferImage, with the noise at 8192 x 8192 and the blobs at
// 16384 x 16384 as well.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <potracelib.h>

#include "bench/support/BestOfRuns.h"
#include "bench/support/OpenCvLevel.h"
#include "bench/support/RecordingReporter.h"
#include "bench/support/MemoryBufferHost.h"
#include "image/BufferImage.h"
#include "image/Image.h"
#include "path/PathTracer.h"
#include "shell/PlugIn.h"

// ---- Heap accounting, for the memory figures ----
namespace {
std::atomic<int64_t> gHeapNow{0};
std::atomic<int64_t> gHeapPeak{0};
void noteAllocation(void* p) {
  if (p == nullptr) return;
  const int64_t now = gHeapNow += int64_t(malloc_usable_size(p));
  int64_t peak = gHeapPeak.load();
  while (now > peak && !gHeapPeak.compare_exchange_weak(peak, now)) {
  }
}
}  // namespace

void* operator new(size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  noteAllocation(p);
  return p;
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  gHeapNow -= int64_t(malloc_usable_size(p));
  std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }

namespace {

constexpr int32_t kSide = 4096;
constexpr uint8_t kThreshold = 127;
constexpr double kTolerance = 0.3;
constexpr int32_t kSubPixels = 256;
constexpr double kSoftness = 3.0;  // pixels from 0 to 255 across an edge

// ---- Masks ----

// A shape given by a field f: positive inside, f = 0 on the outline, and
// |f| the distance to it near the outline (pixel centres at +0.5).
struct Shape {
  std::string name;
  std::vector<uint8_t> pixels;           // kSide x kSide
  std::function<double(double v, double h)> field;  // null: no analytic outline
};

uint8_t valueOf(double f) { return uint8_t(std::clamp(f / kSoftness * 255.0 + 127.5, 0.0, 255.0)); }

struct Circle {
  double v, h, r;
};

// Draws circles into the pixels (maximum of their soft edges).
void drawCircles(std::vector<uint8_t>& pixels, const std::vector<Circle>& circles) {
  for (const Circle& c : circles) {
    const int32_t reach = int32_t(c.r + kSoftness + 2);
    for (int32_t r = std::max(0, int32_t(c.v) - reach); r < std::min(kSide, int32_t(c.v) + reach); ++r)
      for (int32_t x = std::max(0, int32_t(c.h) - reach); x < std::min(kSide, int32_t(c.h) + reach); ++x) {
        uint8_t& p = pixels[size_t(r) * kSide + size_t(x)];
        p = std::max(p, valueOf(c.r - std::hypot(r + 0.5 - c.v, x + 0.5 - c.h)));
      }
  }
}

// Outlines that reach the image border follow it: outside the image every
// value counts as 0.
double insideImage(double v, double h) { return std::min({v, h, kSide - v, kSide - h}); }

double circlesField(const std::vector<Circle>& circles, double v, double h) {
  double f = -1e9;
  for (const Circle& c : circles) f = std::max(f, c.r - std::hypot(v - c.v, h - c.h));
  return std::min(f, insideImage(v, h));
}

Shape disc() {
  Shape s{"disc", std::vector<uint8_t>(size_t(kSide) * kSide, 0), {}};
  const std::vector<Circle> circles{{2048.3, 2047.7, 1800.0}};
  drawCircles(s.pixels, circles);
  s.field = [circles](double v, double h) { return circlesField(circles, v, h); };
  return s;
}

Shape blobs() {
  Shape s{"blobs", std::vector<uint8_t>(size_t(kSide) * kSide, 0), {}};
  std::mt19937 random(200);
  std::uniform_real_distribution<double> at(0, kSide), radius(20, 200);
  std::vector<Circle> circles;
  for (int i = 0; i < 200; ++i) circles.push_back({at(random), at(random), radius(random)});
  drawCircles(s.pixels, circles);
  s.field = [circles](double v, double h) { return circlesField(circles, v, h); };
  return s;
}

// Scanned-text-like: lines of glyphs, each glyph a few strokes of a pen
// 2.4 pixels wide inside a 16 x 24 cell.
struct Stroke {
  double v0, h0, v1, h1;
};
constexpr int32_t kCellWidth = 16, kCellHeight = 24;
constexpr double kPen = 1.2;

double strokeField(const Stroke& s, double v, double h) {
  const double dv = s.v1 - s.v0, dh = s.h1 - s.h0;
  const double t = std::clamp(((v - s.v0) * dv + (h - s.h0) * dh) / (dv * dv + dh * dh + 1e-12), 0.0, 1.0);
  return kPen - std::hypot(v - s.v0 - t * dv, h - s.h0 - t * dh);
}

Shape text() {
  auto cells = std::make_shared<std::vector<std::vector<Stroke>>>();
  constexpr int32_t rows = kSide / kCellHeight, columns = kSide / kCellWidth;
  std::mt19937 random(1);
  std::uniform_real_distribution<double> across(3, kCellWidth - 3), down(4, kCellHeight - 6);
  for (int32_t cell = 0; cell < rows * columns; ++cell) {
    std::vector<Stroke> strokes;
    if (cell % columns % 9 != 8)  // spaces between words
      for (int n = 2 + int(random() % 3); n > 0; --n)
        strokes.push_back({down(random), across(random), down(random), across(random)});
    cells->push_back(strokes);
  }
  auto field = [cells](double v, double h) {
    const int32_t row = std::clamp(int32_t(v) / kCellHeight, 0, rows - 1);
    const int32_t column = std::clamp(int32_t(h) / kCellWidth, 0, columns - 1);
    const std::vector<Stroke>& strokes = (*cells)[size_t(row * columns + column)];
    double f = -kCellWidth;
    for (const Stroke& s : strokes)
      f = std::max(f, strokeField(s, v - row * kCellHeight, h - column * kCellWidth));
    return f;
  };
  Shape s{"text", std::vector<uint8_t>(size_t(kSide) * kSide, 0), field};
  for (int32_t r = 0; r < rows * kCellHeight; ++r)
    for (int32_t x = 0; x < columns * kCellWidth; ++x) s.pixels[size_t(r) * kSide + size_t(x)] = valueOf(field(r + 0.5, x + 0.5));
  return s;
}

Shape noise() {
  Shape s{"noise", std::vector<uint8_t>(size_t(kSide) * kSide), {}};
  std::mt19937 random(7);
  for (uint8_t& p : s.pixels) p = uint8_t(random());
  return s;
}

const std::vector<Shape>& shapes() {
  static const std::vector<Shape> all = {disc(), blobs(), text(), noise()};
  return all;
}

// ---- The three methods ----

// One plain block of pixels: the image hands out any rectangle at once.
class MemoryImage : public Image {
 public:
  explicit MemoryImage(const std::vector<uint8_t>& pixels)
      : Image({1, kHostModeGrayScale}, Rect{0, 0, int16_t(kSide), int16_t(kSide)}), pixels_(pixels) {}
  uint32_t memoryUsage() const override { return uint32_t(pixels_.size()); }
  PlaneView lock(Rect& rect, LockMode) override {
    return {const_cast<uint8_t*>(&pixels_[size_t(rect.top) * kSide + size_t(rect.left)]), 1, kSide};
  }
  void unlock(const Rect&) override {}

 private:
  const std::vector<uint8_t>& pixels_;
};

using Polygon = std::vector<std::pair<double, double>>;  // (v, h) in pixels

std::vector<Polygon> ourOutlines(const TracedPath& path) {
  std::vector<Polygon> out;
  for (const Subpath& s : path.subpaths) {
    Polygon p;
    for (int32_t i = s.first; i < s.last; ++i)
      p.push_back({path.points[size_t(i)].v / double(kSubPixels), path.points[size_t(i)].h / double(kSubPixels)});
    out.push_back(std::move(p));
  }
  return out;
}

std::vector<std::vector<cv::Point>> openCvOutlines(const std::vector<uint8_t>& pixels) {
  cv::Mat source(kSide, kSide, CV_8UC1, const_cast<uint8_t*>(pixels.data())), binary;
  cv::threshold(source, binary, kThreshold, 255, cv::THRESH_BINARY);
  std::vector<std::vector<cv::Point>> contours;
  cv::findContours(binary, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
  std::vector<std::vector<cv::Point>> simplified(contours.size());
  for (size_t i = 0; i < contours.size(); ++i) cv::approxPolyDP(contours[i], simplified[i], kTolerance, true);
  return simplified;
}

struct PotraceResult {
  potrace_state_t* state = nullptr;
  ~PotraceResult() {
    if (state != nullptr) potrace_state_free(state);
  }
};

constexpr int kWordBits = 8 * sizeof(potrace_word);

void runPotrace(const std::vector<uint8_t>& pixels, PotraceResult& result) {
  const int dy = (kSide + kWordBits - 1) / kWordBits;
  std::vector<potrace_word> words(size_t(dy) * kSide, 0);
  for (int32_t r = 0; r < kSide; ++r)
    for (int32_t x = 0; x < kSide; ++x)
      if (pixels[size_t(r) * kSide + size_t(x)] > kThreshold)
        words[size_t(r) * size_t(dy) + size_t(x / kWordBits)] |= potrace_word(1) << (kWordBits - 1 - x % kWordBits);
  potrace_bitmap_t bitmap{kSide, kSide, dy, words.data()};
  potrace_param_t* param = potrace_param_default();
  result.state = potrace_trace(param, &bitmap);
  potrace_param_free(param);
}

// ---- Timing ----

void BM_Trace(benchmark::State& state) {
  const Shape& shape = shapes()[size_t(state.range(0))];
  MemoryImage image(shape.pixels);
  for (auto _ : state) benchmark::DoNotOptimize(trace(image, kThreshold, kTolerance, kSubPixels));
}

void BM_OpenCV(benchmark::State& state) {
  cv::setNumThreads(1);
  const Shape& shape = shapes()[size_t(state.range(0))];
  for (auto _ : state) benchmark::DoNotOptimize(openCvOutlines(shape.pixels));
}

void BM_Potrace(benchmark::State& state) {
  const Shape& shape = shapes()[size_t(state.range(0))];
  for (auto _ : state) {
    PotraceResult result;
    runPotrace(shape.pixels, result);
    benchmark::DoNotOptimize(result.state);
  }
}

// Each figure is the best of several runs in processor time: other work on
// the machine only ever adds time. The runs are interleaved (see main).
template <typename B>
void configure(B* b, int runs) {
  for (size_t i = 0; i < shapes().size(); ++i) b->Arg(int64_t(i));
  b->Repetitions(runs)
      ->ReportAggregatesOnly(true)
      ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
      ->Unit(benchmark::kMillisecond);
}

// Keeps the times this program compares.
class Recorder : public RecordingReporter {
 public:
  // By "function/shape index"; interleaved runs come in any order.
  std::map<std::string, double> times;

 protected:
  void Record(const Run& run) override {
    if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")
      times[NameWithArgs(run)] = run.GetAdjustedCPUTime();
  }
};

// ---- Accuracy ----

// The largest |f| along the polygons: at the vertices and at points along
// every edge, where a chord cuts a curve.
double largestDeviation(const std::vector<Polygon>& polygons, const Shape& shape) {
  double worst = 0;
  for (const Polygon& p : polygons)
    for (size_t i = 0; i < p.size(); ++i) {
      const auto& a = p[i];
      const auto& b = p[(i + 1) % p.size()];
      for (double t : {0.0, 0.25, 0.5, 0.75})
        worst = std::max(worst, std::abs(shape.field(a.first + t * (b.first - a.first), a.second + t * (b.second - a.second))));
    }
  return worst;
}

std::vector<Polygon> openCvPolygons(const std::vector<std::vector<cv::Point>>& contours) {
  std::vector<Polygon> out;
  for (const auto& c : contours) {
    Polygon p;
    for (const cv::Point& q : c) p.push_back({q.y + 0.5, q.x + 0.5});  // pixel centres
    out.push_back(std::move(p));
  }
  return out;
}

// Potrace's curves sampled densely enough to show their distance.
std::vector<Polygon> potracePolygons(const potrace_state_t* state, size_t& segments) {
  std::vector<Polygon> out;
  segments = 0;
  for (const potrace_path_t* path = state->plist; path != nullptr; path = path->next) {
    const potrace_curve_t& curve = path->curve;
    Polygon p;
    potrace_dpoint_t from = curve.c[curve.n - 1][2];
    for (int i = 0; i < curve.n; ++i) {
      ++segments;
      const potrace_dpoint_t* c = curve.c[i];
      if (curve.tag[i] == POTRACE_CORNER) {
        p.push_back({c[1].y, c[1].x});
        p.push_back({c[2].y, c[2].x});
      } else {
        for (int k = 1; k <= 8; ++k) {
          const double t = k / 8.0, u = 1 - t;
          const double x = u * u * u * from.x + 3 * u * u * t * c[0].x + 3 * u * t * t * c[1].x + t * t * t * c[2].x;
          const double y = u * u * u * from.y + 3 * u * u * t * c[0].y + 3 * u * t * t * c[1].y + t * t * t * c[2].y;
          p.push_back({y, x});
        }
      }
      from = c[2];
    }
    out.push_back(std::move(p));
  }
  return out;
}

size_t pointCount(const std::vector<Polygon>& polygons) {
  size_t n = 0;
  for (const Polygon& p : polygons) n += p.size();
  return n;
}

void reportAccuracy() {
  for (const Shape& shape : shapes()) {
    MemoryImage image(shape.pixels);
    const std::vector<Polygon> ours = ourOutlines(trace(image, kThreshold, kTolerance, kSubPixels));
    const auto contours = openCvOutlines(shape.pixels);
    const std::vector<Polygon> openCv = openCvPolygons(contours);
    PotraceResult result;
    runPotrace(shape.pixels, result);
    size_t potraceSegments = 0;
    const std::vector<Polygon> potrace = potracePolygons(result.state, potraceSegments);
    std::printf("points %s ours %zu opencv %zu potrace_segments %zu\n", shape.name.c_str(), pointCount(ours),
                pointCount(openCv), potraceSegments);
    if (shape.field)
      std::printf("deviation %s ours %.3f opencv %.3f potrace %.3f\n", shape.name.c_str(),
                  largestDeviation(ours, shape), largestDeviation(openCv, shape), largestDeviation(potrace, shape));
  }
}

// ---- Memory ----

struct TraceMemory {
  int64_t peak = 0;    // heap at the trace's busiest moment, beyond what was there before
  int64_t result = 0;  // of which the points and outlines handed back
  int64_t kept = 0;    // points handed back
};

// The largest band of the sweep: when the image's pieces are not whole
// rows (a tiled image, the host's channel), a band is copied into a buffer
// of this size.
int64_t largestBand(int32_t height, int32_t width) {
  int64_t largest = 0;
  for (int32_t top = 0; top < height;) {
    const int32_t rows = traceBandHeight(height - top, width);
    largest = std::max(largest, int64_t(rows) * width);
    top += rows;
  }
  return largest;
}

// Traces a mask, repeated `copies` times across and down, from a tiled
// BufferImage and measures the heap around the call. The goal is 32 bytes
// per kept point, the result included, and beyond that the band buffer and
// a few rows of the image (what is open across a row).
TraceMemory traceMemory(const Shape& shape, int32_t copies) {
  MemoryBufferHost::instance();
  const int32_t side = std::min(kSide * copies, 32767);
  BufferImage image({1, kHostModeGrayScale}, Rect{0, 0, int16_t(side), int16_t(side)}, Point{128, 128}, 0);
  for (int32_t down = 0; down < copies; ++down)
    for (int32_t across = 0; across < copies; ++across)
      image.WriteRect(Rect{int16_t(down * kSide), int16_t(across * kSide), int16_t(std::min(side, (down + 1) * kSide)),
                           int16_t(std::min(side, (across + 1) * kSide))},
                      PlaneView{const_cast<uint8_t*>(shape.pixels.data()), 1, kSide});
  const int64_t before = gHeapNow.load();
  gHeapPeak = before;
  const TracedPath path = trace(image, kThreshold, kTolerance, kSubPixels);
  TraceMemory memory;
  memory.peak = gHeapPeak.load() - before;
  memory.result = int64_t(path.points.capacity() * sizeof(PathPoint) + path.subpaths.capacity() * sizeof(Subpath));
  memory.kept = int64_t(path.points.size());
  const int64_t band = largestBand(side, side);
  const std::string name = "trace_" + shape.name + "_" + std::to_string(side);
  std::printf("memory %s peak %lld bytes, of which result %lld, band buffer up to %lld; %lld points kept\n", name.c_str(),
              (long long)memory.peak, (long long)memory.result, (long long)band, (long long)memory.kept);
  std::printf("figure %s peak_bytes_per_kept_point %.1f\n", name.c_str(),
              double(memory.peak) / double(std::max<int64_t>(memory.kept, 1)));
  std::printf("figure %s rows_beyond_32_bytes_per_kept_point_and_band %.1f\n", name.c_str(),
              double(std::max<int64_t>(0, memory.peak - 32 * memory.kept - band)) / side);
  return memory;
}

void reportMemory() {
  std::vector<TraceMemory> memory;
  for (const Shape& shape : shapes()) memory.push_back(traceMemory(shape, 1));
  traceMemory(shapes()[3], 2);
  const TraceMemory& small = memory[1];
  const TraceMemory large = traceMemory(shapes()[1], 4);
  std::printf("memory working_16384_over_4096 %.2f (blobs: area x16, width x4)\n",
              double(large.peak - large.result) / double(small.peak - small.result));
}

}  // namespace

int main(int argc, char** argv) {
  initializeInterleaved(argc, argv);
  holdOpenCvToOurLevel();
  shapes();
  configure(benchmark::RegisterBenchmark("BM_Trace", BM_Trace), 10);
  configure(benchmark::RegisterBenchmark("BM_OpenCV", BM_OpenCV), 10);
  // Potrace takes seconds on the noise and is compared for information only.
  configure(benchmark::RegisterBenchmark("BM_Potrace", BM_Potrace), 3);
  Recorder reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* reference : {"BM_OpenCV", "BM_Potrace"})
    for (size_t i = 0; i < shapes().size(); ++i) {
      char ourName[32], otherName[32];
      std::snprintf(ourName, sizeof ourName, "BM_Trace/%zu", i);
      std::snprintf(otherName, sizeof otherName, "%s/%zu", reference, i);
      const auto ours = reporter.times.find(ourName);
      const auto other = reporter.times.find(otherName);
      if (ours != reporter.times.end() && other != reporter.times.end() && other->second > 0)
        std::printf("ratio trace_%s_vs_%s %.3f\n", shapes()[i].name.c_str(), reference + 3,
                    ours->second / other->second);
    }
  reportAccuracy();
  reportMemory();
  benchmark::Shutdown();
  return 0;
}
