#include "tools/Fills.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

#include "display/CWorkDocument.h"
#include "image/BufferImage.h"
#include "platform/MessageQueue.h"
#include "tests/image/ImageTestSupport.h"
#include "tools/EdgeFill.h"
#include "tools/RegionFill.h"

namespace {

using testing_support::Plane;
using testing_support::StCurrentHost;

constexpr PixelLayout kOneByte{1, 1};

// A mask drawn from text: '#' full keep (255), '.' undecided (0), digits
// other values.
class FillsTest : public ::testing::Test {
 protected:
  FillsTest() : host(400, 300), mask(kOneByte, {0, 0, 300, 400}, {128, 128}, 0) {
    document.SetWorkImages(&mask, nullptr);
  }

  void draw(const std::vector<const char*>& rows, Point at = {0, 0}) {
    for (size_t v = 0; v < rows.size(); ++v) {
      const std::string row = rows[v];
      Plane line(1, static_cast<int32_t>(row.size()));
      for (size_t h = 0; h < row.size(); ++h) line.at(0, static_cast<int32_t>(h)) = row[h] == '#' ? 255 : 0;
      const auto top = static_cast<int16_t>(at.v + v);
      mask.WriteRect({top, at.h, static_cast<int16_t>(top + 1), static_cast<int16_t>(at.h + row.size())}, line.view);
    }
  }
  uint8_t maskAt(int16_t v, int16_t h) {
    uint8_t b = 0;
    mask.ReadRect({v, h, static_cast<int16_t>(v + 1), static_cast<int16_t>(h + 1)}, {&b, 1, 1});
    return b;
  }
  std::vector<uint8_t> wholeMask() {
    Plane p(300, 400);
    mask.ReadRect({0, 0, 300, 400}, p.view);
    return p.bytes;
  }

  StCurrentHost host;
  BufferImage mask;
  CWorkDocument document;
};

TEST_F(FillsTest, BucketOnADecidedPixelDoesNothing) {
  draw({"#"});
  EXPECT_FALSE(BucketFill(document, {0, 0}, true));
  EXPECT_FALSE(document.CanUndo());
  EXPECT_FALSE(BucketFill(document, {-1, 5}, true)) << "outside the image";
}

TEST(MaskUndecided, KeepModeStopsAt253AndDropModeAt2) {
  EXPECT_TRUE(maskUndecided(0, true));
  EXPECT_TRUE(maskUndecided(252, true));
  EXPECT_FALSE(maskUndecided(253, true));
  EXPECT_FALSE(maskUndecided(255, true));
  EXPECT_TRUE(maskUndecided(255, false));
  EXPECT_TRUE(maskUndecided(3, false));
  EXPECT_FALSE(maskUndecided(2, false));
  EXPECT_FALSE(maskUndecided(0, false));
}

// A mask of one value left of a wall of another, the wall at column 200.
void fillWithWall(BufferImage& mask, uint8_t value, uint8_t wall) {
  Plane plane(300, 400);
  for (int32_t v = 0; v < 300; ++v)
    for (int32_t h = 0; h < 400; ++h) plane.at(v, h) = h == 200 ? wall : value;
  mask.WriteRect({0, 0, 300, 400}, plane.view);
}

TEST_F(FillsTest, BucketInKeepModeFillsUpTo252AndStopsAt253) {
  fillWithWall(mask, 252, 253);
  EXPECT_FALSE(BucketFill(document, {10, 200}, true)) << "253 counts as kept";
  EXPECT_TRUE(BucketFill(document, {10, 10}, true));
  EXPECT_EQ(maskAt(150, 199), 255);
  EXPECT_EQ(maskAt(150, 200), 253) << "the fill went through a wall of 253";
  EXPECT_EQ(maskAt(150, 201), 252);
  EXPECT_EQ(maskAt(0, 399), 252);
}

TEST_F(FillsTest, BucketInDropModeFillsDownTo3AndStopsAt2) {
  fillWithWall(mask, 3, 2);
  EXPECT_FALSE(BucketFill(document, {10, 200}, false)) << "2 counts as dropped";
  EXPECT_TRUE(BucketFill(document, {10, 10}, false));
  EXPECT_EQ(maskAt(150, 199), 0);
  EXPECT_EQ(maskAt(150, 200), 2) << "the fill went through a wall of 2";
  EXPECT_EQ(maskAt(150, 201), 3);
  EXPECT_EQ(maskAt(299, 399), 3);
}

TEST_F(FillsTest, BucketFillsAnUndecidedImageAndUndoRestoresIt) {
  EXPECT_TRUE(BucketFill(document, {150, 200}, true));
  EXPECT_EQ(wholeMask(), std::vector<uint8_t>(300 * 400, 255));
  document.Undo();
  EXPECT_EQ(wholeMask(), std::vector<uint8_t>(300 * 400, 0));
}

TEST_F(FillsTest, BucketLeaksThroughAnOrthogonalGapButNotADiagonalOne) {
  // A closed box, then the same box with a diagonal-only gap.
  draw({"#####",
        "#...#",
        "#...#",
        "##.##",
        "#####"}, {10, 10});
  draw({"#####",
        "#...#",
        "#...#",
        "#..##",
        "###.#"}, {40, 10});
  draw({"#####",
        "#...#",
        "#...#",
        "#...#",
        "###.#"}, {70, 10});
  BucketFill(document, {11, 11}, true);
  BucketFill(document, {41, 11}, true);
  EXPECT_EQ(maskAt(9, 10), 0) << "the closed box kept the fill inside";
  EXPECT_EQ(maskAt(44, 13), 0) << "a diagonal gap does not connect";
  BucketFill(document, {71, 11}, true);
  EXPECT_EQ(maskAt(0, 0), 255) << "an orthogonal gap lets the fill out";
}

// A plain 4-connected flood fill to compare the tiled one with.
std::vector<uint8_t> referenceFill(const std::vector<uint8_t>& source, int rows, int columns, Point seed) {
  std::vector<uint8_t> out(source.size(), 0);
  std::deque<std::pair<int, int>> todo{{seed.v, seed.h}};
  while (!todo.empty()) {
    auto [v, h] = todo.front();
    todo.pop_front();
    if (v < 0 || h < 0 || v >= rows || h >= columns) continue;
    const size_t i = static_cast<size_t>(v * columns + h);
    if (out[i] != 0 || source[i] >= 253) continue;
    out[i] = 255;
    todo.insert(todo.end(), {{v - 1, h}, {v + 1, h}, {v, h - 1}, {v, h + 1}});
  }
  return out;
}

TEST_F(FillsTest, TiledRegionFillEqualsAPlainFloodFill) {
  std::mt19937 random(7);
  const Rect bounds{3, 5, 290, 395};  // not aligned to the tiles
  const int rows = bounds.height(), columns = bounds.width();
  for (int trial = 0; trial < 6; ++trial) {
    // Random walls: long and short strokes, denser in some trials.
    Plane source(rows, columns);
    std::uniform_int_distribution<int> any(0, rows * columns - 1);
    const int walls = 200 + trial * 300;
    for (int w = 0; w < walls; ++w) {
      int p = any(random);
      const bool vertical = random() & 1;
      for (int k = 0; k < 40; ++k) {
        const int v = p / columns + (vertical ? k : 0), h = p % columns + (vertical ? 0 : k);
        if (v < rows && h < columns) source.at(v, h) = 255;
      }
    }
    BufferImage sourceImage(kOneByte, bounds, {128, 128}, 0);
    sourceImage.WriteRect(bounds, source.view);
    BufferImage regionMap(kOneByte, bounds, {128, 128}, 0);
    Point seed{};
    do {
      const int p = any(random);
      seed = {static_cast<int16_t>(p / columns), static_cast<int16_t>(p % columns)};
    } while (source.at(seed.v, seed.h) != 0);
    regionFill(sourceImage, regionMap, {static_cast<int16_t>(seed.v + bounds.top), static_cast<int16_t>(seed.h + bounds.left)},
               undecidedForKeep);
    Plane result(rows, columns);
    regionMap.ReadRect(bounds, result.view);
    EXPECT_EQ(result.bytes, referenceFill(source.bytes, rows, columns, seed)) << "trial " << trial;
  }
}

TEST_F(FillsTest, EscapeCancelsTheFillWithoutAnyChange) {
  platform::discardMessages();
  platform::postMessage(nullptr, platform::kWmKeyDown, platform::kVkEscape);
  EXPECT_FALSE(BucketFill(document, {5, 5}, true));
  platform::discardMessages();
  EXPECT_EQ(maskAt(5, 5), 0);
  EXPECT_FALSE(document.CanUndo());
}

TEST_F(FillsTest, MagicBucketFillsOnlyEnclosedPockets) {
  draw({"#######",
        "#.....#",
        "#.###.#",
        "#.#.#.#",
        "#.###.#",
        "#.....#",
        "#######"}, {100, 100});
  // A square of half side 2 around the centre sees only the inner pocket as
  // closed off; the ring around it reaches the square's sides.
  EXPECT_TRUE(MagicBucketFill(document, {103, 103}, 2, true));
  EXPECT_EQ(maskAt(103, 103), 255);
  EXPECT_EQ(maskAt(101, 101), 0);
  document.Undo();
  EXPECT_EQ(maskAt(103, 103), 0);
}

TEST_F(FillsTest, MagicBucketInAUniformUndecidedAreaChangesNothing) {
  EXPECT_FALSE(MagicBucketFill(document, {150, 150}, 10, true));
  EXPECT_FALSE(document.CanUndo());
}

TEST_F(FillsTest, MagicBucketTreatsTheImageBorderAsClosed) {
  draw({"..#",
        "..#",
        "###"}, {0, 0});
  EXPECT_TRUE(MagicBucketFill(document, {0, 0}, 2, true));
  EXPECT_EQ(maskAt(0, 0), 255);
  EXPECT_EQ(maskAt(1, 1), 255);
}

struct ConstantClassifier : ClassifierSource {
  std::vector<ClassifierColour> selectedKeepColours(PixelFormat) override { return {{255}}; }
  std::vector<ClassifierColour> selectedDropColours(PixelFormat) override { return {{0}}; }
  ThresholdPair thresholdPair() override { return {0, 255}; }
  bool keepMode() override { return true; }
  std::optional<ClassifierColour> colourUnderPointer(PixelFormat) override { return {}; }
};

TEST_F(FillsTest, MagicWandBlendsByTheClassifiersWeight) {
  ConstantClassifier source;
  setClassifierSource(&source);
  BufferImage working(kOneByte, {0, 0, 300, 400}, {128, 128}, 128);
  Plane black(1, 1);
  working.WriteRect({0, 0, 1, 1}, black.view);
  document.SetWorkImages(&mask, &working);
  EXPECT_FALSE(MagicWandFill(document, {0, 0}, true, {1, 1})) << "the classifier rates black 0";
  EXPECT_TRUE(MagicWandFill(document, {10, 10}, true, {1, 1}));
  EXPECT_EQ(maskAt(10, 10), 128) << "(128 * 255 + 127 * 0 + 127) / 255";
  EXPECT_EQ(maskAt(0, 0), 0);
  setClassifierSource(nullptr);
}

}  // namespace

namespace {

// Two flat grey areas, 40 and 200, split by a vertical edge at column 50,
// with a one-pixel soft step between them.
TEST_F(FillsTest, EdgeFillStopsJustPastACrestStrongerThanTheLimit) {
  BufferImage working(kOneByte, {0, 0, 300, 400}, {128, 128}, 40);
  Plane right(300, 349, 1, 200);
  working.WriteRect({0, 51, 300, 400}, right.view);
  Plane step(300, 1, 1, 120);
  working.WriteRect({0, 50, 300, 51}, step.view);
  document.SetWorkImages(&mask, &working);

  EXPECT_TRUE(EdgeFill(document, {150, 10}, true, 30));
  EXPECT_EQ(maskAt(150, 0), 255);
  EXPECT_EQ(maskAt(150, 49), 255);
  EXPECT_EQ(maskAt(299, 10), 255) << "down to the image border";
  EXPECT_EQ(maskAt(150, 60), 0) << "the fill stopped at the edge";
  document.Undo();
  EXPECT_EQ(maskAt(150, 10), 0);

  // A limit above the edge's strength lets the fill through.
  EXPECT_TRUE(EdgeFill(document, {150, 10}, true, 255));
  EXPECT_EQ(maskAt(150, 399), 255);
}

TEST(EdgeJudge, LimitFollowsTheThresholdAndChannels) {
  EXPECT_EQ(EdgeJudge::limitFor(30, 3), 540);
  EXPECT_EQ(EdgeJudge::limitFor(1, 1), 0) << "2 / 10 truncates";
}

}  // namespace
