// The heap a trace takes, counted by replacing the global allocator for
// this test program.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>

#include "path/PathTracer.h"
#include "tests/path/TraceTestSupport.h"
#include "tests/support/AutomatedTest.h"

namespace {
std::atomic<int64_t> gHeapInUse{0};
std::atomic<int64_t> gHeapPeak{0};
}  // namespace

void* operator new(size_t size) {
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) throw std::bad_alloc();
  const int64_t now = gHeapInUse += int64_t(malloc_usable_size(memory));
  int64_t peak = gHeapPeak.load();
  while (now > peak && !gHeapPeak.compare_exchange_weak(peak, now)) {
  }
  return memory;
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept {
  if (memory == nullptr) return;
  gHeapInUse -= int64_t(malloc_usable_size(memory));
  std::free(memory);
}
void operator delete[](void* memory) noexcept { operator delete(memory); }
void operator delete(void* memory, size_t) noexcept { operator delete(memory); }
void operator delete[](void* memory, size_t) noexcept { operator delete(memory); }

namespace {

using path_testing::MaskImage;

constexpr int32_t S = 256;

class TraceMemory : public testing_support::AutomatedTest {};

// Noise starts, joins and closes outlines at nearly every pixel, the worst
// case for the points' storage: a 4096-byte block per outline piece, kept
// through its joins until the whole outline closed, took hundreds of bytes
// per point kept. The goal is 32 bytes per point kept, the result
// included, and a few rows of the image for what is open across a row.
TEST_F(TraceMemory, PeakFollowsThePointsKeptNotTheOutlinesJoined) {
  constexpr int32_t kRows = 1200, kColumns = 400;
  MaskImage image(kRows, kColumns);
  std::mt19937 random(7);
  for (int32_t r = 0; r < kRows; ++r)
    for (int32_t c = 0; c < kColumns; ++c) image.at(r, c) = uint8_t(random());
  for (double tolerance : {0.3, 5.0}) {
    const int64_t before = gHeapInUse.load();
    gHeapPeak = before;
    const TracedPath path = trace(image, 127, tolerance, S);
    const int64_t peak = gHeapPeak.load() - before;
    const int64_t kept = int64_t(path.points.size());
    ASSERT_GT(path.subpaths.size(), 1000u) << "tolerance " << tolerance;
    EXPECT_LE(peak, 32 * kept + 8 * kColumns)
        << "tolerance " << tolerance << ": " << kept << " points kept";
    RecordProperty("peak bytes per kept point at tolerance " + std::to_string(tolerance),
                   std::to_string(double(peak) / double(kept)));
  }
}

// Pieces narrower than the image are copied into one band buffer. Bands
// differ in height (300 rows of 400 pixels, then 225, 338, ...): the buffer
// holds the largest band once, not a larger one grown step by step.
TEST_F(TraceMemory, CopiedBandsTakeTheLargestBandOnce) {
  constexpr int32_t kRows = 1200, kColumns = 400;
  MaskImage image(kRows, kColumns);
  image.setPieceColumns(64);
  int64_t largestBand = 0;
  for (int32_t top = 0; top < kRows;) {
    const int32_t rows = traceBandHeight(kRows - top, kColumns);
    largestBand = std::max(largestBand, int64_t(rows) * kColumns);
    top += rows;
  }
  const int64_t before = gHeapInUse.load();
  gHeapPeak = before;
  EXPECT_TRUE(trace(image, 127, 0.3, S).subpaths.empty());
  EXPECT_LE(gHeapPeak.load() - before, largestBand + 8 * kColumns);
}

}  // namespace
