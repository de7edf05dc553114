// The image layer against its references: the blur of a large one-byte
// tiled image against OpenCV's, and whole-plane transfers through tiles
// against one memcpy of the same bytes. Prints "ratio NAME VALUE", our time
// over the reference's, each the best of ten runs in processor time
// (BestOfRuns.h).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/support/BestOfRuns.h"
#include "bench/support/OpenCvLevel.h"
#include "bench/support/MemoryBufferHost.h"
#include "image/BufferImage.h"
#include "image/OfflineImage.h"
#include "shell/PlugIn.h"

namespace {

constexpr int16_t kSide = 4096;
constexpr Point kTile{128, 128};
constexpr PixelLayout kGrey{1, kHostModeGrayScale};

std::vector<uint8_t> randomBytes(size_t count) {
  std::vector<uint8_t> bytes(count);
  std::mt19937 random(7);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// A plane whose first byte lies 16 bytes past a cache line, as memory from
// malloc or new often does, for the copies: where a large block lands
// otherwise depends on what the program allocated before, and the copies
// cost more when the destination's lines do not start where the tiles'
// rows do.
class PlaneBuffer {
 public:
  explicit PlaneBuffer(const std::vector<uint8_t>& bytes) : storage_(new uint8_t[bytes.size() + 128]) {
    data = storage_.get() + (64 - reinterpret_cast<uintptr_t>(storage_.get()) % 64) % 64 + 16;
    std::memcpy(data, bytes.data(), bytes.size());
  }
  uint8_t* data;

 private:
  std::unique_ptr<uint8_t[]> storage_;
};

const Rect kWhole{0, 0, kSide, kSide};

std::unique_ptr<BufferImage> randomImage() {
  MemoryBufferHost::instance();
  auto image = std::make_unique<BufferImage>(kGrey, kWhole, kTile, 0);
  std::vector<uint8_t> bytes = randomBytes(size_t{kSide} * kSide);
  image->WriteRect(kWhole, PlaneView{bytes.data(), 1, kSide});
  return image;
}

double sigmaOf(const benchmark::State& state) { return static_cast<double>(state.range(0)); }

void BM_GaussianBlur(benchmark::State& state) {
  const std::unique_ptr<BufferImage> image = randomImage();
  for (auto _ : state) benchmark::DoNotOptimize(image->GaussianBlur(kWhole, sigmaOf(state)));
}

void BM_OpenCVGaussianBlur(benchmark::State& state) {
  cv::setNumThreads(1);
  std::vector<uint8_t> bytes = randomBytes(size_t{kSide} * kSide);
  cv::Mat source(kSide, kSide, CV_8UC1, bytes.data()), result(kSide, kSide, CV_8UC1);
  const int radius = GaussianRadius(sigmaOf(state));
  const cv::Size kernel(2 * radius + 1, 2 * radius + 1);
  for (auto _ : state) {
    cv::GaussianBlur(source, result, kernel, sigmaOf(state), sigmaOf(state), cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(result.data);
  }
}

constexpr size_t kPlaneBytes = size_t{kSide} * kSide;

void BM_ReadRect(benchmark::State& state) {
  const std::unique_ptr<BufferImage> image = randomImage();
  PlaneBuffer out{std::vector<uint8_t>(kPlaneBytes)};
  for (auto _ : state) {
    image->ReadRect(kWhole, PlaneView{out.data, 1, kSide});
    benchmark::DoNotOptimize(out.data);
  }
}

void BM_WriteRect(benchmark::State& state) {
  const std::unique_ptr<BufferImage> image = randomImage();
  PlaneBuffer in{randomBytes(kPlaneBytes)};
  for (auto _ : state) {
    image->WriteRect(kWhole, PlaneView{in.data, 1, kSide});
    benchmark::ClobberMemory();
  }
}

void BM_Memcpy(benchmark::State& state) {
  PlaneBuffer from{randomBytes(kPlaneBytes)}, to{std::vector<uint8_t>(kPlaneBytes)};
  for (auto _ : state) {
    std::memcpy(to.data, from.data, kPlaneBytes);
    benchmark::DoNotOptimize(to.data);
  }
}

void registerAll() {
  for (auto* b : {benchmark::RegisterBenchmark("BM_GaussianBlur", BM_GaussianBlur),
                  benchmark::RegisterBenchmark("BM_OpenCVGaussianBlur", BM_OpenCVGaussianBlur)})
    bestOf(b->Arg(1)->Arg(3)->Arg(10), 10);
  bestOf(benchmark::RegisterBenchmark("BM_ReadRect", BM_ReadRect), 10);
  bestOf(benchmark::RegisterBenchmark("BM_WriteRect", BM_WriteRect), 10);
  bestOf(benchmark::RegisterBenchmark("BM_Memcpy", BM_Memcpy), 10);
}

}  // namespace

int main(int argc, char** argv) {
  initializeInterleaved(argc, argv);
  holdOpenCvToOurLevel();
  registerAll();
  BestTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* sigma : {"1", "3", "10"})
    reporter.printRatio(std::string("GaussianBlur_sigma") + sigma, std::string("BM_GaussianBlur/") + sigma,
                        std::string("BM_OpenCVGaussianBlur/") + sigma);
  reporter.printRatio("ReadRect_vs_memcpy", "BM_ReadRect", "BM_Memcpy");
  reporter.printRatio("WriteRect_vs_memcpy", "BM_WriteRect", "BM_Memcpy");
  benchmark::Shutdown();
  return 0;
}
