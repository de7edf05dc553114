// Presenting a window's framebuffer and setting blocks of 24-bit pixels,
// the two paths every repaint of an image view goes through. Each is
// compared with the least the work could cost: one memcpy of the pixels
// it delivers (the whole frame; the 1024 x 1024 block at 4 bytes a pixel).
// Prints "ratio NAME VALUE" (our time over the reference's) and
// "ms NAME VALUE" (milliseconds per frame; the goal is under 4), each the
// best of ten runs in processor time (BestOfRuns.h).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/support/BestOfRuns.h"
#include "platform/DeviceContext.h"
#include "platform/Window.h"
#include "platform/WindowDC.h"

namespace {

using platform::Rect;

constexpr int kScreenWidth = 2560, kScreenHeight = 1440;
constexpr int kBlock = 1024;

void BM_PresentFullFrame(benchmark::State& state) {
  platform::Window window;
  platform::CreateParams p;
  p.style = platform::kWsPopup | platform::kWsVisible;
  p.rect = {0, 0, kScreenWidth, kScreenHeight};
  window.create(p);
  window.validate();
  int shade = 0;
  for (auto _ : state) {
    {
      // One pixel changes, the whole frame is presented.
      platform::ClientDC dc(window);
      dc.setPixel({shade % kScreenWidth, 0}, platform::rgb(static_cast<uint8_t>(shade), 0, 0));
    }
    ++shade;
    window.present();
  }
}

void BM_MemcpyFullFrame(benchmark::State& state) {
  std::vector<uint32_t> from(static_cast<size_t>(kScreenWidth) * kScreenHeight, 0x00808080u);
  std::vector<uint32_t> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

std::vector<uint8_t> rgbBlock() {
  std::vector<uint8_t> rgb(static_cast<size_t>(kBlock) * kBlock * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7);
  return rgb;
}

void BM_SetPixelsRgb24(benchmark::State& state) {
  const std::vector<uint8_t> rgb = rgbBlock();
  platform::Framebuffer fb(kBlock + 16, kBlock + 16);
  platform::DeviceContext dc(fb);
  for (auto _ : state) {
    dc.setPixelsRgb24({8, 8, 8 + kBlock, 8 + kBlock}, rgb.data(), kBlock * 3);
    benchmark::ClobberMemory();
  }
}

void BM_MemcpyBlock(benchmark::State& state) {
  std::vector<uint32_t> from(static_cast<size_t>(kBlock) * kBlock, 0x00808080u);
  std::vector<uint32_t> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

void configure(benchmark::internal::Benchmark* b) { bestOf(b, 10)->MinTime(0.3); }

void printRatio(const BestTimes& reporter, const char* name, const char* ours, const char* reference) {
  reporter.printRatio(name, ours, reference);
  const auto a = reporter.times.find(ours);
  if (a != reporter.times.end()) std::printf("ms %s %.3f\n", name, a->second);
}

}  // namespace

int main(int argc, char** argv) {
  initializeInterleaved(argc, argv);
  configure(benchmark::RegisterBenchmark("BM_PresentFullFrame", BM_PresentFullFrame));
  configure(benchmark::RegisterBenchmark("BM_MemcpyFullFrame", BM_MemcpyFullFrame));
  configure(benchmark::RegisterBenchmark("BM_SetPixelsRgb24", BM_SetPixelsRgb24));
  configure(benchmark::RegisterBenchmark("BM_MemcpyBlock", BM_MemcpyBlock));
  BestTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printRatio(reporter, "Present2560x1440_vs_memcpy", "BM_PresentFullFrame", "BM_MemcpyFullFrame");
  printRatio(reporter, "SetPixelsRgb24_1024_vs_memcpy", "BM_SetPixelsRgb24", "BM_MemcpyBlock");
  benchmark::Shutdown();
  return 0;
}
