// The fills and the colour classifier.
//
// - The bucket over a 4096 x 4096 undecided mask (one-byte BufferImage,
//   128 x 128 tiles), region fill, change step and undo record, against
//   OpenCV's 4-connected floodFill of the same 16 million pixels in place:
//   "ratio BucketFill_16MP_vs_floodFill VALUE".
// - classifyPixel over a million random pixels, for (keep, drop) colour
//   counts (1, 0), (0, 1), (4, 4) and (8, 8) in RGB and CMYK:
//   "figure classifyPixel_<format>_<keep>x<drop> ns_per_pixel VALUE".
// - The magic wand over a 4096 x 4096 photograph-like RGB image, keep
//   colour near its background: "figure MagicWand_4096 ms VALUE", and the
//   classifier's calls per pixel taken into the region (once is the goal):
//   "figure MagicWand_4096 classifier_calls_per_inside_pixel VALUE".
//
// Every time is the best of ten runs in processor time, the runs of all
// benchmarks interleaved in random order, as in bench_image. The bucket
// works on a BufferImage mask, as the tests do; in the host the mask is
// the output plane, whose tiles the fill copies instead of locking them.
//
// Run with QT_QPA_PLATFORM=offscreen (the fills show the wait cursor).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/support/BestOfRuns.h"
#include "bench/support/OpenCvLevel.h"
#include "bench/support/RecordingReporter.h"
#include "bench/support/MemoryBufferHost.h"
#include "display/CWorkDocument.h"
#include "image/BufferImage.h"
#include "tools/ColourClassifier.h"
#include "tools/Fills.h"
#include "tools/RegionFill.h"

namespace {

constexpr int16_t kSide = 4096;
constexpr Rect kWhole{0, 0, kSide, kSide};
constexpr Point kTile{128, 128};
constexpr Point kCentre{kSide / 2, kSide / 2};

// ---- Bucket against floodFill -------------------------------------------

void BM_BucketFill_16MP(benchmark::State& state) {
  MemoryBufferHost::instance();
  BufferImage mask({1, 1}, kWhole, kTile, 0);
  CWorkDocument document;
  document.SetWorkImages(&mask, nullptr);
  // Keep mode fills the zeros with 255, drop mode the 255s with 0: every
  // run fills the whole plane.
  bool keep = true;
  for (auto _ : state) {
    if (!BucketFill(document, kCentre, keep)) state.SkipWithError("the bucket filled nothing");
    keep = !keep;
    state.PauseTiming();
    document.purge(1);  // the record goes, outside the time
    state.ResumeTiming();
  }
}

void BM_OpenCVFloodFill_16MP(benchmark::State& state) {
  cv::setNumThreads(1);
  cv::Mat image(kSide, kSide, CV_8UC1, cv::Scalar(0));
  int value = 255;
  for (auto _ : state) {
    cv::floodFill(image, cv::Point(kCentre.h, kCentre.v), cv::Scalar(value), nullptr, cv::Scalar(0), cv::Scalar(0), 4);
    benchmark::DoNotOptimize(image.data);
    value = 255 - value;
  }
}

// ---- classifyPixel --------------------------------------------------------

// The colour lists and sliders of the work window, fixed.
struct FixedSource : ClassifierSource {
  std::vector<ClassifierColour> keep, drop;
  ClassifierThresholds pair{64, 192};
  std::vector<ClassifierColour> selectedKeepColours(PixelFormat) override { return keep; }
  std::vector<ClassifierColour> selectedDropColours(PixelFormat) override { return drop; }
  ClassifierThresholds thresholdPair() override { return pair; }
  bool keepMode() override { return true; }
  std::optional<ClassifierColour> colourUnderPointer(PixelFormat) override { return ClassifierColour{128, 128, 128, 128}; }
};

std::vector<ClassifierColour> randomColours(std::mt19937& random, int count) {
  std::vector<ClassifierColour> colours(static_cast<size_t>(count));
  for (ClassifierColour& c : colours)
    for (int32_t& channel : c) channel = static_cast<int32_t>(random() % 256);
  return colours;
}

constexpr int kClassifiedPixels = 1 << 20;

void BM_ClassifyPixel(benchmark::State& state) {
  const auto channels = static_cast<int16_t>(state.range(0));
  std::mt19937 random(5);
  FixedSource source;
  source.keep = randomColours(random, static_cast<int>(state.range(1)));
  source.drop = randomColours(random, static_cast<int>(state.range(2)));
  std::vector<uint8_t> pixels(static_cast<size_t>(kClassifiedPixels) * static_cast<size_t>(channels));
  for (uint8_t& p : pixels) p = static_cast<uint8_t>(random());
  setClassifierSource(&source);
  currentClassifier({channels, static_cast<int16_t>(channels == 4 ? 4 : 3)});
  for (auto _ : state) {
    uint32_t sum = 0;
    for (size_t i = 0; i < pixels.size(); i += static_cast<size_t>(channels)) sum += classifyPixel(&pixels[i]);
    benchmark::DoNotOptimize(sum);
  }
  setClassifierSource(nullptr);
}

// ---- Magic wand -----------------------------------------------------------

// A smooth, slowly varying background with fine grain, and discs of other
// colours standing on it, like objects photographed against a backdrop.
std::unique_ptr<BufferImage> photograph() {
  MemoryBufferHost::instance();
  auto image = std::make_unique<BufferImage>(PixelLayout{3, 3}, kWhole, kTile, 0);
  std::mt19937 random(17);
  struct Disc {
    double v, h, radius;
    uint8_t colour[3];
  };
  std::vector<Disc> discs(80);
  for (Disc& d : discs) {
    d = {static_cast<double>(random() % kSide), static_cast<double>(random() % kSide), 20.0 + random() % 160, {}};
    for (uint8_t& c : d.colour) c = static_cast<uint8_t>(random() % 80);
  }
  std::vector<uint8_t> row(size_t{kSide} * 3);
  uint32_t grain = 1;
  for (int v = 0; v < kSide; ++v) {
    for (int h = 0; h < kSide; ++h) {
      const double slow = 30 * std::sin(h / 310.0) * std::cos(v / 270.0) + 18 * std::sin((h + 2 * v) / 150.0);
      grain = grain * 1664525u + 1013904223u;
      const int noise = static_cast<int>(grain >> 28) - 8;
      uint8_t* p = &row[static_cast<size_t>(h) * 3];
      p[0] = static_cast<uint8_t>(std::clamp(170 + slow + noise, 0.0, 255.0));
      p[1] = static_cast<uint8_t>(std::clamp(150 + 0.8 * slow + noise, 0.0, 255.0));
      p[2] = static_cast<uint8_t>(std::clamp(120 - 0.5 * slow + noise, 0.0, 255.0));
    }
    for (const Disc& d : discs) {
      const double dv = v - d.v;
      if (std::abs(dv) >= d.radius) continue;
      const double half = std::sqrt(d.radius * d.radius - dv * dv);
      for (int h = std::max(0, static_cast<int>(d.h - half)); h < std::min<int>(kSide, static_cast<int>(d.h + half)); ++h)
        std::copy(d.colour, d.colour + 3, &row[static_cast<size_t>(h) * 3]);
    }
    const auto top = static_cast<int16_t>(v);
    image->WriteRect({top, 0, static_cast<int16_t>(top + 1), kSide}, {row.data(), 3, kSide * 3});
  }
  return image;
}

BufferImage& workingPhotograph() {
  static const std::unique_ptr<BufferImage> image = photograph();
  return *image;
}

FixedSource& backgroundKeepSource() {
  static FixedSource source = [] {
    FixedSource s;
    s.keep = {{170, 150, 120, 0}};
    s.pair = {40, 90};
    return s;
  }();
  return source;
}

constexpr PixelFormat kRGB{3, 3};

void BM_MagicWand_4096(benchmark::State& state) {
  BufferImage& working = workingPhotograph();
  BufferImage mask({1, 1}, kWhole, kTile, 0);
  CWorkDocument document;
  document.SetWorkImages(&mask, &working);
  setClassifierSource(&backgroundKeepSource());
  for (auto _ : state) {
    if (!MagicWandFill(document, kCentre, true, kRGB)) state.SkipWithError("the wand filled nothing");
    state.PauseTiming();
    // The same region every run: the mask goes back and the record goes.
    document.Undo();
    document.purge(1);
    state.ResumeTiming();
  }
  setClassifierSource(nullptr);
}

// Counts the classifier's calls in the wand's fill: its judge, one call per
// judgement.
struct CountingJudge : FillJudge {
  explicit CountingJudge(FillJudge& inner) : inner(inner) {}
  uint8_t judge(const uint8_t* pixel, int32_t rowStep, int32_t colStep, FillFrom from) override {
    ++calls;
    return inner.judge(pixel, rowStep, colStep, from);
  }
  FillJudge& inner;
  int64_t calls = 0;
};

void printWandCalls() {
  BufferImage& working = workingPhotograph();
  setClassifierSource(&backgroundKeepSource());
  ClassifierJudge judge(currentClassifier(kRGB), true);
  CountingJudge counting(judge);
  BufferImage regionMap({1, 1}, kWhole, kTile, 0);
  const int64_t inside = regionFill(working, regionMap, kCentre, counting);
  setClassifierSource(nullptr);
  std::printf("figure MagicWand_4096 inside_fraction %.3f\n", static_cast<double>(inside) / (double{kSide} * kSide));
  std::printf("figure MagicWand_4096 classifier_calls_per_inside_pixel %.4f\n",
              static_cast<double>(counting.calls) / static_cast<double>(inside));
}

// ---- Running --------------------------------------------------------------

template <typename B>
void configure(B* b) {
  b->Repetitions(10)
      ->ReportAggregatesOnly(true)
      ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
      ->Unit(benchmark::kMillisecond);
}

const std::vector<std::pair<int, int>> kColourCounts{{1, 0}, {0, 1}, {4, 4}, {8, 8}};

void registerAll() {
  configure(benchmark::RegisterBenchmark("BM_BucketFill_16MP", BM_BucketFill_16MP));
  configure(benchmark::RegisterBenchmark("BM_OpenCVFloodFill_16MP", BM_OpenCVFloodFill_16MP));
  configure(benchmark::RegisterBenchmark("BM_MagicWand_4096", BM_MagicWand_4096));
  auto* classify = benchmark::RegisterBenchmark("BM_ClassifyPixel", BM_ClassifyPixel);
  for (int channels : {3, 4})
    for (auto [keep, drop] : kColourCounts) classify->Args({channels, keep, drop});
  configure(classify);
}

// Keeps the times this program compares.
class Recorder : public RecordingReporter {
 public:
  std::map<std::string, double> times;  // milliseconds

 protected:
  void Record(const Run& run) override {
    if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")
      times[NameWithArgs(run)] = run.GetAdjustedCPUTime();
  }
};

void printRatio(const Recorder& reporter, const std::string& name, const std::string& ours,
                const std::string& reference) {
  const auto a = reporter.times.find(ours), b = reporter.times.find(reference);
  if (a == reporter.times.end() || b == reporter.times.end() || b->second <= 0) return;
  std::printf("ratio %s %.3f\n", name.c_str(), a->second / b->second);
}

void printFigures(const Recorder& reporter) {
  if (const auto wand = reporter.times.find("BM_MagicWand_4096"); wand != reporter.times.end())
    std::printf("figure MagicWand_4096 ms %.1f\n", wand->second);
  for (int channels : {3, 4})
    for (auto [keep, drop] : kColourCounts) {
      const std::string args = std::to_string(channels) + "/" + std::to_string(keep) + "/" + std::to_string(drop);
      const auto t = reporter.times.find("BM_ClassifyPixel/" + args);
      if (t == reporter.times.end()) continue;
      std::printf("figure classifyPixel_%s_%dx%d ns_per_pixel %.2f\n", channels == 3 ? "RGB" : "CMYK", keep, drop,
                  t->second * 1e6 / kClassifiedPixels);
    }
}

}  // namespace

int main(int argc, char** argv) {
  initializeInterleaved(argc, argv);
  holdOpenCvToOurLevel();
  registerAll();
  Recorder reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printRatio(reporter, "BucketFill_16MP_vs_floodFill", "BM_BucketFill_16MP", "BM_OpenCVFloodFill_16MP");
  printFigures(reporter);
  if (reporter.times.count("BM_MagicWand_4096") != 0) printWandCalls();
  benchmark::Shutdown();
  return 0;
}
