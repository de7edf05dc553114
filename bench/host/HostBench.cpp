// The host's pixel streams: advanceState delivering a 4096 x 4096 RGB
// document in 128 x 128 pieces, and taking back a full output plane (a
// byte of each piece changed, or every byte), each against one memcpy of
// the same bytes. Prints "ratio NAME VALUE", our time over the reference's,
// each the best of ten runs in processor time (BestOfRuns.h).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "bench/support/BestOfRuns.h"
#include "bench/support/BenchFilterPlugin.h"
#include "host/Document.h"
#include "host/HostServices.h"

namespace {

constexpr int kSide = 4096;
constexpr int kPiece = 128;

host::Document& document() {
  static host::Document doc = [] {
    host::Document d(host::kModeRGB, kSide, kSide);
    for (int c = 0; c < 3; ++c)
      for (size_t i = 0; i < d.pixelCount(); ++i) d.colour(c)[i] = static_cast<uint8_t>(i * (c + 1));
    d.alphas.push_back({"Mask", d.newPlane(0)});
    return d;
  }();
  return doc;
}

// Visits every piece of the document through one stream of the record.
void walkPieces(FilterRecord& r, HostRect& rect, const std::function<void()>& use) {
  for (int top = 0; top < kSide; top += kPiece)
    for (int left = 0; left < kSide; left += kPiece) {
      rect = {static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(top + kPiece),
              static_cast<int16_t>(left + kPiece)};
      if (r.advanceState() != 0) std::abort();
      use();
    }
  rect.right = rect.left;
}

void BM_AdvanceStateRgb(benchmark::State& state) {
  host::HostServices services;
  host::Document& doc = document();
  doc.target = {};
  uint8_t sink = 0;
  benchFilterStart() = [&](FilterRecord& r) {
    r.inLoPlane = 0;
    r.inHiPlane = 2;
    walkPieces(r, r.inRect, [&] { sink ^= static_cast<uint8_t*>(r.inData)[0]; });
  };
  for (auto _ : state) services.runFilter(benchFilterPlugin(), doc);
  benchmark::DoNotOptimize(sink);
  benchFilterStart() = nullptr;
}

void BM_AdvanceStateOutputPlane(benchmark::State& state) {
  host::HostServices services;
  host::Document& doc = document();
  doc.target = {host::Target::Alpha, "Mask", 0};
  benchFilterStart() = [&](FilterRecord& r) {
    r.outLoPlane = r.outHiPlane = 0;
    walkPieces(r, r.outRect, [&] { static_cast<uint8_t*>(r.outData)[0] ^= 1; });
  };
  for (auto _ : state) services.runFilter(benchFilterPlugin(), doc);
  benchFilterStart() = nullptr;
}

// Every byte of every piece changes: the host saves the whole plane as it
// goes, block by block.
void BM_AdvanceStateOutputRewrite(benchmark::State& state) {
  host::HostServices services;
  host::Document& doc = document();
  doc.target = {host::Target::Alpha, "Mask", 0};
  benchFilterStart() = [&](FilterRecord& r) {
    r.outLoPlane = r.outHiPlane = 0;
    walkPieces(r, r.outRect, [&] {
      // Inverted eight bytes at a time, so that the plug-in's own share stays small.
      auto* bytes = static_cast<uint8_t*>(r.outData);
      for (int i = 0; i < kPiece * kPiece; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        word = ~word;
        std::memcpy(bytes + i, &word, 8);
      }
    });
  };
  for (auto _ : state) services.runFilter(benchFilterPlugin(), doc);
  benchFilterStart() = nullptr;
}

void memcpyBench(benchmark::State& state, size_t bytes) {
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

void BM_MemcpyRgb(benchmark::State& state) { memcpyBench(state, size_t{kSide} * kSide * 3); }
void BM_MemcpyPlane(benchmark::State& state) { memcpyBench(state, size_t{kSide} * kSide); }

void bestOfTen(benchmark::internal::Benchmark* b) { bestOf(b, 10); }

BENCHMARK(BM_AdvanceStateRgb)->Apply(bestOfTen);
BENCHMARK(BM_MemcpyRgb)->Apply(bestOfTen);
BENCHMARK(BM_AdvanceStateOutputPlane)->Apply(bestOfTen);
BENCHMARK(BM_AdvanceStateOutputRewrite)->Apply(bestOfTen);
BENCHMARK(BM_MemcpyPlane)->Apply(bestOfTen);

}  // namespace

int main(int argc, char** argv) {
  initializeInterleaved(argc, argv);
  BestTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatio("advanceState_deliver_vs_memcpy", "BM_AdvanceStateRgb", "BM_MemcpyRgb");
  reporter.printRatio("advanceState_writeback_vs_memcpy", "BM_AdvanceStateOutputPlane", "BM_MemcpyPlane");
  reporter.printRatio("advanceState_rewrite_vs_memcpy", "BM_AdvanceStateOutputRewrite", "BM_MemcpyPlane");
  benchmark::Shutdown();
  return 0;
}
