#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <numeric>
#include <thread>
#include <vector>

#include "tools/BrushStamps.h"
#include "tools/PointRing.h"
#include "tools/StrokePath.h"

namespace {

TEST(BrushGeometry, SmallestBrush) {
  const auto g = BrushGeometry::from(0, 0, kFullBrushStrength);
  EXPECT_DOUBLE_EQ(g.hardRadius, 0);
  EXPECT_NEAR(g.sigma, 0.52, 1e-12);
  EXPECT_NEAR(g.outerRadius, 1.836, 1e-3);
  EXPECT_EQ(g.phases, 10) << "100 / r1 is about 54, limited to 10";
  EXPECT_DOUBLE_EQ(g.reach, 1.0);
  EXPECT_NEAR(g.spacing, 128.0 / 255.0, 1e-12);
}

TEST(BrushGeometry, LargestHardBrush) {
  const auto g = BrushGeometry::from(255, 255, kFullBrushStrength);
  EXPECT_DOUBLE_EQ(g.hardRadius, 128);
  EXPECT_NEAR(g.outerRadius, 129.84, 1e-2);
  EXPECT_EQ(g.phases, 1);
  EXPECT_DOUBLE_EQ(g.reach, 129);
  EXPECT_NEAR(g.spacing, 64.75, 1e-2);
}

TEST(BrushGeometry, SoftMediumBrush) {
  const auto g = BrushGeometry::from(128, 200, kFullBrushStrength);
  EXPECT_NEAR(g.hardRadius, 34.58, 1e-2);
  EXPECT_NEAR(g.softness, 6.05, 1e-2);
  EXPECT_NEAR(g.sigma, 8.38, 1e-2);
  EXPECT_NEAR(g.outerRadius, 64.17, 1e-2);
  EXPECT_EQ(g.phases, 1);
  EXPECT_NEAR(g.spacing, 25.45, 1e-2);
}

// Value of a stamp at a pixel relative to its centre's pixel.
int stampValue(const BrushStamp& s, int v, int h) {
  if (!s.rect.contains(Point{static_cast<int16_t>(v), static_cast<int16_t>(h)})) return 0;
  return s.bytes[static_cast<size_t>((v - s.rect.top) * s.rect.width() + (h - s.rect.left))];
}

TEST(BrushStamps, SolidCentreSoftRimAndNothingBeyondTheOuterRadius) {
  BrushStampCache cache;
  cache.configure(60, 120, kFullBrushStrength, kDefaultStampSpacing);
  const BrushGeometry& g = cache.geometry();
  const BrushStamp& s = cache.stamp(0, 0);
  EXPECT_EQ(stampValue(s, 0, 0), 255);
  EXPECT_EQ(stampValue(s, 0, static_cast<int>(g.hardRadius) - 1), 255);
  const int rim = stampValue(s, 0, static_cast<int>((g.hardRadius + g.outerRadius) / 2));
  EXPECT_GT(rim, 0);
  EXPECT_LT(rim, 255);
  for (int v = s.rect.top; v < s.rect.bottom; ++v) {
    for (int h = s.rect.left; h < s.rect.right; ++h) {
      if (std::hypot(v + 0.5, h + 0.5) >= g.outerRadius) {
        EXPECT_EQ(stampValue(s, v, h), 0) << v << "," << h;
      }
    }
  }
  // Every pixel within r1 of the centre lies inside the rectangle.
  const int r = static_cast<int>(std::ceil(g.outerRadius));
  for (int v = -r - 1; v <= r; ++v) {
    for (int h = -r - 1; h <= r; ++h) {
      if (std::hypot(v + 0.5, h + 0.5) < g.outerRadius - 1e-9) {
        EXPECT_TRUE(s.rect.contains(Point{static_cast<int16_t>(v), static_cast<int16_t>(h)})) << v << "," << h;
      }
    }
  }
}

TEST(BrushStamps, ZeroStrengthPaintsNothing) {
  BrushStampCache cache;
  cache.configure(100, 150, 0, kDefaultStampSpacing);
  const BrushStamp& s = cache.stamp(0, 0);
  EXPECT_TRUE(std::all_of(s.bytes.begin(), s.bytes.end(), [](uint8_t b) { return b == 0; }));
}

TEST(BrushStamps, PlacementRoundsToTheNearestPhase) {
  BrushStampCache cache;
  cache.configure(0, 0, kFullBrushStrength, kDefaultStampSpacing);  // 10 phases
  const auto p = cache.place(3.26, -0.07);
  EXPECT_EQ(p.v, 3);
  EXPECT_EQ(p.phaseV, 3);
  EXPECT_EQ(p.h, -1) << "rounded towards minus infinity";
  EXPECT_EQ(p.phaseH, 9);
}

TEST(BrushStamps, ChangingTheSettingRebuildsTheCache) {
  BrushStampCache cache;
  EXPECT_TRUE(cache.configure(10, 20, kFullBrushStrength, 64));
  EXPECT_FALSE(cache.configure(10, 20, kFullBrushStrength, 64));
  EXPECT_TRUE(cache.configure(10, 20, 100 * 256, 64));
}

TEST(StampDither, CoversFiveTo253WithAMeanNear127) {
  StampDither dither;
  std::vector<int> values;
  for (int i = 0; i < 256; ++i) values.push_back(dither.next());
  EXPECT_EQ(*std::min_element(values.begin(), values.end()), 5);
  EXPECT_EQ(*std::max_element(values.begin(), values.end()), 253);
  EXPECT_NEAR(std::accumulate(values.begin(), values.end(), 0.0) / 256, 127, 3);
  EXPECT_EQ(dither.next(), values[0]) << "the table restarts from its end";
}

// ---- The ring and the path ----

struct Walked {
  std::vector<ImagePosition> stamps;
};

ImagePosition identity(PointRing::Entry e) { return {static_cast<double>(e.v), static_cast<double>(e.h)}; }

void walk(StrokePath& path, PointRing& ring, const void* document, double spacing, Walked& out) {
  ring.snapshot();
  path.walk(ring, document, spacing, identity, [&](ImagePosition p) { out.stamps.push_back(p); });
}

TEST(StrokePath, AStillPressPaintsOneStamp) {
  PointRing ring;
  StrokePath path;
  Walked w;
  int document;
  for (int i = 0; i < 5; ++i) ring.recordPress(10, 20, false);
  walk(path, ring, &document, 2.0, w);
  ASSERT_EQ(w.stamps.size(), 1u);
  EXPECT_DOUBLE_EQ(w.stamps[0].v, 10);
  EXPECT_DOUBLE_EQ(w.stamps[0].h, 20);
}

TEST(StrokePath, StampsFollowThePathAtTheSpacingAcrossSteps) {
  PointRing ring;
  StrokePath path;
  Walked w;
  int document;
  ring.recordPress(0, 0, false);
  ring.recordPress(0, 5, false);
  walk(path, ring, &document, 2.0, w);
  ring.recordPress(0, 9, false);
  walk(path, ring, &document, 2.0, w);
  std::vector<double> columns;
  for (auto p : w.stamps) columns.push_back(p.h);
  EXPECT_EQ(columns, (std::vector<double>{0, 2, 4, 6, 8}));
}

TEST(StrokePath, ShiftContinuesFromTheLastStrokeInTheSameDocumentOnly) {
  PointRing ring;
  StrokePath path;
  Walked w;
  int document, other;
  ring.recordPress(0, 0, false);
  ring.recordRelease();
  walk(path, ring, &document, 4.0, w);
  EXPECT_EQ(w.stamps.size(), 1u);
  ring.recordPress(0, 8, true);
  walk(path, ring, &document, 4.0, w);
  ASSERT_EQ(w.stamps.size(), 2u) << "a straight line from (0, 0) towards (0, 8)";
  EXPECT_DOUBLE_EQ(w.stamps[1].h, 4);

  ring.recordRelease();
  walk(path, ring, &document, 4.0, w);
  ring.recordPress(0, 20, true);
  walk(path, ring, &other, 4.0, w);
  ASSERT_EQ(w.stamps.size(), 3u) << "in another document Shift starts afresh";
  EXPECT_DOUBLE_EQ(w.stamps[2].h, 20);
}

TEST(StrokePath, APressWithoutShiftStartsANewStroke) {
  PointRing ring;
  StrokePath path;
  Walked w;
  int document;
  ring.recordPress(0, 0, false);
  ring.recordRelease();
  ring.recordPress(0, 30, false);
  walk(path, ring, &document, 4.0, w);
  ASSERT_EQ(w.stamps.size(), 2u);
  EXPECT_DOUBLE_EQ(w.stamps[1].h, 30);
}

TEST(PointRing, AFullRingDropsSamplesButNeverASeparator) {
  PointRing ring;
  for (int i = 0; i < PointRing::kCapacity + 50; ++i) ring.recordPress(0, static_cast<int16_t>(i), false);
  ring.recordRelease();
  ASSERT_TRUE(ring.snapshot());
  int points = 0, separators = 0;
  PointRing::Entry last{};
  ring.forEachQueued([&](PointRing::Entry e) {
    (e.isSeparator() ? separators : points)++;
    last = e;
  });
  EXPECT_EQ(points + separators, PointRing::kCapacity - 1);
  EXPECT_TRUE(last.isSeparator()) << "the newest point made way for the pen-up";
  EXPECT_EQ(separators, 2);
}

// The sampling thread and the user-interface thread at full speed on two
// threads, without locks: every point the reader takes is a whole entry,
// in the order written, and none comes twice (points written while the
// ring is full are dropped, never overwritten).
TEST(PointRing, AWriterAndAReaderOnTwoThreadsPassThePointsInOrder) {
  PointRing ring;
  constexpr int kPoints = 200000;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 1; i <= kPoints; ++i) ring.recordPress(static_cast<int16_t>(i >> 15), static_cast<int16_t>(i & 0x7FFF), false);
    done = true;
  });
  int last = 0, taken = 0;
  for (;;) {
    const bool finished = done;
    if (!ring.snapshot()) {
      if (finished) break;
      continue;
    }
    while (ring.queued()) {
      const PointRing::Entry e = ring.oldest();
      if (!e.isSeparator()) {
        const int counter = e.v << 15 | e.h;
        ASSERT_GT(counter, last) << "in order, each once";
        last = counter;
        ++taken;
      }
      ring.consume();
    }
  }
  writer.join();
  EXPECT_LE(last, kPoints);
  EXPECT_GT(taken, 0);
}

TEST(StrokePath, QueuedBoundsIncludeWhereThePathContinuesFrom) {
  PointRing ring;
  StrokePath path;
  Walked w;
  int document;
  ring.recordPress(2, 3, false);
  walk(path, ring, &document, 100.0, w);
  ring.recordPress(10, 40, false);
  ring.snapshot();
  EXPECT_EQ(path.queuedBounds(ring, &document, identity), (Rect{2, 3, 11, 41}));
}

}  // namespace
