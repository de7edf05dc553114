// The tiled span fill against a plain scanline fill over the whole plane:
// the same region, with the same judgements up to the order in which spans
// meet; and the row bits it scans with against a byte-by-byte reading.
#include "tools/RegionFill.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image/BufferImage.h"
#include "tests/image/ImageTestSupport.h"
#include "tools/Fills.h"
#include "tools/TileRowBits.h"

namespace {

using testing_support::Plane;
using testing_support::StCurrentHost;

// A mask plane with its judgement counts.
struct Mask {
  int rows, columns;
  std::vector<uint8_t> bytes;
  uint8_t at(int v, int h) const { return bytes[static_cast<size_t>(v * columns + h)]; }
};

bool undecided(uint8_t m) { return maskUndecided(m, true); }

// The plain scanline fill, without tiles: a span judges every pixel of its
// range not known inside, each group of new inside pixels is extended
// beyond the span's ends into a run, and runs queue the rows beside them.
// Counts its judgements per pixel.
struct ReferenceFill {
  std::vector<uint8_t> region;
  std::vector<int> judged;
  int64_t total = 0;

  ReferenceFill(const Mask& mask, int seedV, int seedH)
      : region(mask.bytes.size(), 0), judged(mask.bytes.size(), 0) {
    struct Span {
      int row, first, last, dir;
    };
    const int columns = mask.columns;
    const auto judge = [&](int v, int h) {
      const size_t i = static_cast<size_t>(v * columns + h);
      ++judged[i];
      ++total;
      return region[i] = undecided(mask.bytes[i]) ? 255 : 0;
    };
    std::vector<Span> stack{{seedV, seedH, seedH, 0}};
    while (!stack.empty()) {
      const Span s = stack.back();
      stack.pop_back();
      if (s.row < 0 || s.row >= mask.rows) continue;
      uint8_t* row = &region[static_cast<size_t>(s.row * columns)];
      std::vector<bool> fresh(static_cast<size_t>(columns), false);
      for (int h = s.first; h <= s.last; ++h)
        if (row[h] == 0) fresh[static_cast<size_t>(h)] = judge(s.row, h) != 0;
      for (int h = s.first; h <= s.last; ++h) {
        if (!fresh[static_cast<size_t>(h)]) continue;
        int first = h, last = h;
        while (last + 1 <= s.last && fresh[static_cast<size_t>(last + 1)]) ++last;
        h = last;
        if (first == s.first)
          while (first > 0 && row[first - 1] == 0 && judge(s.row, first - 1) != 0) --first;
        if (last == s.last)
          while (last + 1 < columns && row[last + 1] == 0 && judge(s.row, last + 1) != 0) ++last;
        if (s.dir == 0) {
          stack.push_back({s.row - 1, first, last, -1});
          stack.push_back({s.row + 1, first, last, +1});
          continue;
        }
        stack.push_back({s.row + s.dir, first, last, s.dir});
        if (first < s.first) stack.push_back({s.row - s.dir, first, s.first - 1, -s.dir});
        if (last > s.last) stack.push_back({s.row - s.dir, s.last + 1, last, -s.dir});
      }
    }
  }
};

// Judges the mask byte of pixels that carry their own index in their other
// three bytes, so that every judgement is counted where it happened.
class CountingJudge : public FillJudge {
 public:
  explicit CountingJudge(size_t pixels) : judged(pixels, 0) {}
  uint8_t judge(const uint8_t* pixel, int32_t, int32_t, FillFrom) override {
    const size_t index = pixel[1] | pixel[2] << 8 | pixel[3] << 16;
    ++judged.at(index);
    ++total;
    return undecided(pixel[0]) ? 255 : 0;
  }
  std::vector<int> judged;
  int64_t total = 0;
};

// Random walls of strokes and single pixels over an undecided plane, some
// decided-but-soft bytes among them.
Mask randomMask(std::mt19937& random, int rows, int columns, int strokes, double speckle) {
  Mask mask{rows, columns, std::vector<uint8_t>(static_cast<size_t>(rows * columns), 0)};
  std::uniform_int_distribution<int> any(0, rows * columns - 1);
  std::uniform_int_distribution<int> length(2, 60);
  std::uniform_real_distribution<double> unit(0, 1);
  for (uint8_t& m : mask.bytes) m = unit(random) < speckle ? 253 + random() % 3 : random() % 253;
  for (int s = 0; s < strokes; ++s) {
    const int p = any(random), n = length(random);
    const bool vertical = random() & 1;
    for (int k = 0; k < n; ++k) {
      const int v = p / columns + (vertical ? k : 0), h = p % columns + (vertical ? 0 : k);
      if (v < rows && h < columns) mask.bytes[static_cast<size_t>(v * columns + h)] = 255;
    }
  }
  return mask;
}

struct TiledResult {
  std::vector<uint8_t> region;
  CountingJudge counts;
  int64_t taken;
};

// The tiled fill of the mask laid out at `bounds`.
TiledResult tiledFill(const Mask& mask, const Rect& bounds, int seedV, int seedH) {
  Plane source(mask.rows, mask.columns, 4);
  for (int v = 0; v < mask.rows; ++v)
    for (int h = 0; h < mask.columns; ++h) {
      const int index = v * mask.columns + h;
      source.at(v, h, 0) = mask.at(v, h);
      source.at(v, h, 1) = static_cast<uint8_t>(index);
      source.at(v, h, 2) = static_cast<uint8_t>(index >> 8);
      source.at(v, h, 3) = static_cast<uint8_t>(index >> 16);
    }
  BufferImage sourceImage({4, 1}, bounds, {128, 128}, 0);
  sourceImage.WriteRect(bounds, source.view);
  BufferImage regionMap({1, 1}, bounds, {128, 128}, 0);
  TiledResult result{{}, CountingJudge(mask.bytes.size()), 0};
  result.taken = regionFill(sourceImage, regionMap,
                            Point{static_cast<int16_t>(bounds.top + seedV), static_cast<int16_t>(bounds.left + seedH)},
                            result.counts);
  Plane region(mask.rows, mask.columns);
  regionMap.ReadRect(bounds, region.view);
  result.region = region.bytes;
  return result;
}

// The mask alone as a one-byte image at `bounds`, filled by the buckets'
// judge, which judges whole spans with vector compares.
std::vector<uint8_t> bucketRegion(const Mask& mask, const Rect& bounds, const std::vector<Point>& seeds) {
  Plane source(mask.rows, mask.columns);
  source.bytes = mask.bytes;
  BufferImage sourceImage({1, 1}, bounds, {128, 128}, 0);
  sourceImage.WriteRect(bounds, source.view);
  BufferImage regionMap({1, 1}, bounds, {128, 128}, 0);
  ByteRangeJudge judge = undecidedJudge(true);
  regionFill(sourceImage, regionMap, seeds, judge);
  Plane region(mask.rows, mask.columns);
  regionMap.ReadRect(bounds, region.view);
  return region.bytes;
}

// Every inside pixel is judged once; an outside pixel at most once per
// span that reaches it. On one tile the tiled fill makes exactly the plain
// fill's judgements; over several, runs cut at tile sides go on from
// border bits and change the order in which spans meet, so that a few
// outside pixels are reached by one span more or less.
TEST(RegionFill, JudgesLikeAPlainScanlineFillAndFindsTheSameRegion) {
  StCurrentHost host;
  std::mt19937 random(11);
  struct Case {
    int rows, columns, strokes;
    double speckle;
    Rect at;
  };
  const std::vector<Case> cases{
      {100, 120, 60, 0.05, {0, 0, 100, 120}},          // one tile
      {100, 120, 200, 0.25, {128, 256, 228, 376}},      // one tile, away from the origin
      {290, 390, 300, 0.0, {3, 5, 293, 395}},           // tiles cut by the bounds
      {290, 390, 600, 0.1, {3, 5, 293, 395}},
      {300, 400, 500, 0.2, {-70, -130, 230, 270}},      // negative coordinates
      {256, 384, 0, 0.38, {0, 0, 256, 384}},            // near the percolation threshold
  };
  for (size_t c = 0; c < cases.size(); ++c) {
    const Case& k = cases[c];
    for (int trial = 0; trial < 4; ++trial) {
      const Mask mask = randomMask(random, k.rows, k.columns, k.strokes, k.speckle);
      int seedV = 0, seedH = 0;
      do {
        seedV = static_cast<int>(random() % static_cast<unsigned>(k.rows));
        seedH = static_cast<int>(random() % static_cast<unsigned>(k.columns));
      } while (!undecided(mask.at(seedV, seedH)));
      const ReferenceFill reference(mask, seedV, seedH);
      const TiledResult tiled = tiledFill(mask, k.at, seedV, seedH);
      SCOPED_TRACE(testing::Message() << "case " << c << " trial " << trial);
      ASSERT_EQ(tiled.region, reference.region);
      const Point seed{static_cast<int16_t>(k.at.top + seedV), static_cast<int16_t>(k.at.left + seedH)};
      ASSERT_EQ(bucketRegion(mask, k.at, {seed}), reference.region) << "the buckets' judge";
      int64_t inside = 0;
      for (int v = 0; v < k.rows; ++v)
        for (int h = 0; h < k.columns; ++h) {
          const size_t i = static_cast<size_t>(v * k.columns + h);
          if (tiled.region[i] != 0) {
            ++inside;
            ASSERT_EQ(tiled.counts.judged[i], 1) << "inside pixel (" << v << ", " << h << ") judged again";
            continue;
          }
          // Each inside neighbour belongs to one run, which queues one span
          // over this pixel or stops at it once.
          int neighbours = 0;
          for (auto [dv, dh] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
            const int nv = v + dv, nh = h + dh;
            if (nv >= 0 && nv < k.rows && nh >= 0 && nh < k.columns &&
                tiled.region[static_cast<size_t>(nv * k.columns + nh)] != 0)
              ++neighbours;
          }
          ASSERT_LE(tiled.counts.judged[i], neighbours) << "outside pixel (" << v << ", " << h << ")";
        }
      EXPECT_EQ(tiled.taken, inside);
      // Runs cut at tile sides change the order in which spans meet, and
      // with it which outside pixels two spans both reach, nothing more.
      const int64_t outside = tiled.counts.total - inside, referenceOutside = reference.total - inside;
      const bool oneTile = k.rows <= 128 && k.columns <= 128 && k.at.top % 128 == 0 && k.at.left % 128 == 0;
      if (oneTile)
        EXPECT_EQ(outside, referenceOutside);
      else
        EXPECT_LE(outside, referenceOutside + referenceOutside / 50 + 8);
    }
  }
}

// Several seeds fill the union of their regions.
TEST(RegionFill, SeveralSeedsFillTheUnionOfTheirRegions) {
  StCurrentHost host;
  std::mt19937 random(5);
  const Rect bounds{-40, 60, 260, 460};
  const Mask mask = randomMask(random, 300, 400, 900, 0.2);
  std::vector<Point> seeds;
  std::vector<uint8_t> united(mask.bytes.size(), 0);
  for (int s = 0; s < 12; ++s) {
    const int v = static_cast<int>(random() % 300), h = static_cast<int>(random() % 400);
    seeds.push_back({static_cast<int16_t>(bounds.top + v), static_cast<int16_t>(bounds.left + h)});
    if (!undecided(mask.at(v, h))) continue;
    const ReferenceFill one(mask, v, h);
    for (size_t i = 0; i < united.size(); ++i) united[i] |= one.region[i];
  }
  seeds.push_back({static_cast<int16_t>(bounds.top - 1), bounds.left});  // outside: ignored
  EXPECT_EQ(bucketRegion(mask, bounds, seeds), united);
}

// The SSE2 reading (where the processor has it) and the portable one
// against a byte-by-byte reading, for every range of random rows of every
// width up to a tile's.
TEST(TileRowBits, ZerosOfEveryRangeMatchAByteByByteReading) {
  std::mt19937 random(9);
  for (int trial = 0; trial < 40; ++trial) {
    const int width = 1 + static_cast<int>(random() % TileRowBits::kSize);
    std::vector<uint8_t> row(static_cast<size_t>(width));
    for (uint8_t& b : row) b = random() % 3 == 0 ? 0 : static_cast<uint8_t>(1 + random() % 255);
    for (int first = 0; first < width; ++first)
      for (int last = first; last < width; ++last) {
        TileRowBits wanted;
        for (int i = first; i <= last; ++i)
          if (row[static_cast<size_t>(i)] == 0) wanted |= TileRowBits::single(i);
        ASSERT_EQ(TileRowBits::zeros(row.data(), width, first, last), wanted)
            << "width " << width << " range " << first << ".." << last;
        ASSERT_EQ(TileRowBits::zerosPortable(row.data(), width, first, last), wanted)
            << "width " << width << " range " << first << ".." << last;
      }
  }
}

TEST(TileRowBits, FindsGroupsByBitScans) {
  const TileRowBits bits = TileRowBits::range(3, 70) & ~TileRowBits::single(64);
  EXPECT_EQ(bits.nextSet(0), 3);
  EXPECT_EQ(bits.nextClear(3), 64);
  EXPECT_EQ(bits.nextSet(64), 65);
  EXPECT_EQ(bits.nextClear(65), 71);
  EXPECT_EQ(bits.nextSet(71), TileRowBits::kSize);
  EXPECT_EQ(TileRowBits::range(0, 127).nextClear(0), TileRowBits::kSize);
}

}  // namespace
