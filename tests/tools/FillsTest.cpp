#include "tools/Fills.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "display/CWorkDocument.h"
#include "image/BufferImage.h"
#include "platform/MessageQueue.h"
#include "tests/image/ImageTestSupport.h"
#include "tools/EdgeFill.h"

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

// A classifier source a test sets up: grey keep and drop colours and the
// slider pair.
struct GreySource : ClassifierSource {
  std::vector<ClassifierColour> keep{{255}}, drop{{0}};
  ClassifierThresholds pair{0, 255};
  std::vector<ClassifierColour> selectedKeepColours(PixelFormat) override { return keep; }
  std::vector<ClassifierColour> selectedDropColours(PixelFormat) override { return drop; }
  ClassifierThresholds thresholdPair() override { return pair; }
  bool keepMode() override { return true; }
  std::optional<ClassifierColour> colourUnderPointer(PixelFormat) override { return ClassifierColour{128}; }
};

constexpr PixelFormat kGreyFormat{1, 1};

// ---- Bucket ---------------------------------------------------------------

TEST_F(FillsTest, BucketOnADecidedPixelDoesNothingAndAddsNoRecord) {
  Plane decided(1, 4);
  decided.bytes = {253, 255, 2, 0};
  mask.WriteRect({0, 0, 1, 4}, decided.view);
  EXPECT_FALSE(BucketFill(document, {0, 0}, true)) << "253 is decided in keep mode";
  EXPECT_FALSE(BucketFill(document, {0, 1}, true));
  EXPECT_FALSE(BucketFill(document, {0, 2}, false)) << "2 is decided in drop mode";
  EXPECT_FALSE(BucketFill(document, {0, 3}, false));
  EXPECT_FALSE(BucketFill(document, {-1, 5}, true)) << "outside the image";
  EXPECT_FALSE(BucketFill(document, {300, 5}, true)) << "outside the image";
  EXPECT_FALSE(document.CanUndo());
  EXPECT_EQ(maskAt(0, 0), 253);
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
  document.Redo();
  EXPECT_EQ(wholeMask(), std::vector<uint8_t>(300 * 400, 255));
}

TEST_F(FillsTest, BucketLeaksThroughAnOrthogonalGapButNotADiagonalOne) {
  draw({"#####",
        "#...#",
        "#...#",
        "#..##",
        "###.#"}, {40, 10});
  EXPECT_TRUE(BucketFill(document, {41, 11}, true));
  EXPECT_EQ(maskAt(42, 12), 255) << "the box filled";
  EXPECT_EQ(maskAt(44, 13), 0) << "a diagonal gap does not connect";
  EXPECT_EQ(maskAt(0, 0), 0) << "nothing leaked";
  draw({"#####",
        "#...#",
        "#...#",
        "#...#",
        "###.#"}, {70, 10});
  EXPECT_TRUE(BucketFill(document, {71, 11}, true));
  EXPECT_EQ(maskAt(0, 0), 255) << "an orthogonal gap lets the fill out";
  EXPECT_EQ(maskAt(299, 399), 255);
}

TEST_F(FillsTest, BucketFillsSoftEdgesAndStopsAtTheImageBorder) {
  // A drop-mode fill in the top-left corner, closed by 2s and the border,
  // takes the soft values inside along.
  Plane corner(4, 4, 1, 255);
  corner.bytes = {200, 100, 3, 2,
                  100, 50, 3, 2,
                  3, 3, 3, 2,
                  2, 2, 2, 2};
  Plane rest(300, 400, 1, 255);
  mask.WriteRect({0, 0, 300, 400}, rest.view);
  mask.WriteRect({0, 0, 4, 4}, corner.view);
  EXPECT_TRUE(BucketFill(document, {0, 0}, false));
  EXPECT_EQ(maskAt(1, 1), 0);
  EXPECT_EQ(maskAt(2, 2), 0) << "3 is undecided in drop mode";
  EXPECT_EQ(maskAt(3, 3), 2);
  EXPECT_EQ(maskAt(0, 4), 255) << "the outline held";
}

// ---- Magic wand -------------------------------------------------------------

TEST_F(FillsTest, MagicWandBlendsByTheClassifiersWeight) {
  GreySource source;
  setClassifierSource(&source);
  BufferImage working(kOneByte, {0, 0, 300, 400}, {128, 128}, 128);
  Plane black(1, 1);
  working.WriteRect({0, 0, 1, 1}, black.view);
  document.SetWorkImages(&mask, &working);
  EXPECT_FALSE(MagicWandFill(document, {0, 0}, true, kGreyFormat)) << "the classifier rates black 0";
  EXPECT_FALSE(document.CanUndo());
  EXPECT_TRUE(MagicWandFill(document, {10, 10}, true, kGreyFormat));
  EXPECT_EQ(maskAt(10, 10), 128) << "(128 * 255 + 127 * 0 + 127) / 255";
  EXPECT_EQ(maskAt(0, 0), 0);
  setClassifierSource(nullptr);
}

TEST_F(FillsTest, AMagicWandThatChangesNothingAddsNoRecord) {
  GreySource source;
  setClassifierSource(&source);
  BufferImage working(kOneByte, {0, 0, 300, 400}, {128, 128}, 255);
  document.SetWorkImages(&mask, &working);
  EXPECT_TRUE(MagicWandFill(document, {10, 10}, true, kGreyFormat));
  EXPECT_EQ(maskAt(10, 10), 255);
  EXPECT_FALSE(MagicWandFill(document, {10, 10}, true, kGreyFormat)) << "everything is kept already";
  document.Undo();
  EXPECT_FALSE(document.CanUndo()) << "one record, for the first click";
  EXPECT_EQ(maskAt(10, 10), 0);
  setClassifierSource(nullptr);
}

// ---- Magic bucket -----------------------------------------------------------

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
  EXPECT_FALSE(MagicBucketFill(document, {150, 150}, 0, true));
  EXPECT_FALSE(document.CanUndo());
}

TEST_F(FillsTest, MagicBucketTreatsTheImageBorderAsClosed) {
  draw({"..#",
        "..#",
        "###"}, {0, 0});
  EXPECT_TRUE(MagicBucketFill(document, {0, 0}, 2, true));
  EXPECT_EQ(maskAt(0, 0), 255);
  EXPECT_EQ(maskAt(1, 1), 255);
  EXPECT_EQ(maskAt(3, 3), 0) << "outside the square";
}

// ---- Cancelling -------------------------------------------------------------

TEST_F(FillsTest, EscapeCancelsTheFillWithoutAnyChange) {
  platform::discardMessages();
  platform::postMessage(nullptr, platform::kWmKeyDown, platform::kVkEscape);
  EXPECT_FALSE(BucketFill(document, {5, 5}, true));
  platform::discardMessages();
  EXPECT_EQ(maskAt(5, 5), 0);
  EXPECT_FALSE(document.CanUndo());
}

// ---- Undo and redo ------------------------------------------------------------

// Random clicks of the three fills in both modes over a mask of walls and
// soft patches: each fill reports a change exactly when the mask changed
// and then adds exactly one record; undoing every record gives back the
// original mask byte for byte, redoing them all the final one.
TEST_F(FillsTest, RandomFillsUndoToTheOriginalMaskAndRedoToTheFinalOne) {
  std::mt19937 random(23);
  const auto any = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  Plane start(300, 400);
  for (uint8_t& m : start.bytes) m = any(4) == 0 ? static_cast<uint8_t>(any(256)) : 0;
  for (int wall = 0; wall < 120; ++wall) {
    const int v = any(300), h = any(400), length = 5 + any(80);
    const bool vertical = any(2) == 0;
    const uint8_t value = static_cast<uint8_t>(any(2) == 0 ? 253 + any(3) : any(3));
    for (int k = 0; k < length; ++k) {
      const int wv = v + (vertical ? k : 0), wh = h + (vertical ? 0 : k);
      if (wv < 300 && wh < 400) start.at(wv, wh) = value;
    }
  }
  mask.WriteRect({0, 0, 300, 400}, start.view);
  Plane grey(300, 400);
  for (int v = 0; v < 300; ++v)
    for (int h = 0; h < 400; ++h) grey.at(v, h) = static_cast<uint8_t>((v / 37 * 91 + h / 53 * 57 + any(9)) % 256);
  BufferImage working(kOneByte, {0, 0, 300, 400}, {128, 128}, 0);
  working.WriteRect({0, 0, 300, 400}, grey.view);
  document.SetWorkImages(&mask, &working);
  GreySource source;
  setClassifierSource(&source);

  size_t records = 0;
  for (int step = 0; step < 40; ++step) {
    const Point at{static_cast<int16_t>(any(300)), static_cast<int16_t>(any(400))};
    const bool keep = any(2) == 0;
    const std::vector<uint8_t> before = wholeMask();
    bool changed = false;
    switch (any(3)) {
      case 0:
        changed = BucketFill(document, at, keep);
        break;
      case 1:
        source.keep = any(3) == 0 ? std::vector<ClassifierColour>{} : std::vector<ClassifierColour>{{any(256)}};
        source.drop = any(3) == 0 ? std::vector<ClassifierColour>{} : std::vector<ClassifierColour>{{any(256)}};
        source.pair.lower = any(200);
        source.pair.upper = source.pair.lower + any(56);
        invalidateClassifier();
        changed = MagicWandFill(document, at, keep, kGreyFormat);
        break;
      default:
        changed = MagicBucketFill(document, at, static_cast<int16_t>(any(40)), keep);
        break;
    }
    ASSERT_EQ(changed, wholeMask() != before) << "step " << step;
    if (changed) ++records;
    ASSERT_EQ(document.history().size(), records) << "step " << step;
  }
  ASSERT_GT(records, 10u);
  const std::vector<uint8_t> final = wholeMask();
  while (document.CanUndo()) document.Undo();
  EXPECT_TRUE(wholeMask() == start.bytes) << "undo all gives back the original mask";
  while (document.CanRedo()) document.Redo();
  EXPECT_TRUE(wholeMask() == final) << "redo all gives the final mask";
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

// Steps of 10 grey levels: along the left border (column 0 is 50) and
// between columns 200 and 201. A step's block gradient is 2 x 10^2 = 200;
// the limit is L^2 / 5, 192 for L = 31 and 204 for L = 32. Outside the
// image the border pixels repeat, so the border column and the border rows
// meet the steps as any pixel inside does.
TEST_F(FillsTest, EdgeFillStopsWhereTheStepPassesTheLimitAndTheBorderIsLikeTheInside) {
  BufferImage working(kOneByte, {0, 0, 300, 400}, {128, 128}, 40);
  working.WriteRect({0, 0, 300, 1}, Plane(300, 1, 1, 50).view);
  working.WriteRect({0, 201, 300, 400}, Plane(300, 199, 1, 50).view);
  document.SetWorkImages(&mask, &working);

  ASSERT_TRUE(EdgeFill(document, {150, 100}, true, 31));
  for (const int16_t row : {0, 150, 299}) {
    EXPECT_EQ(maskAt(row, 0), 0) << "row " << row << ": the step at the border stops the fill";
    EXPECT_EQ(maskAt(row, 1), 255) << "row " << row;
    EXPECT_EQ(maskAt(row, 200), 255) << "row " << row;
    EXPECT_EQ(maskAt(row, 201), 0) << "row " << row;
  }
  document.Undo();
  EXPECT_TRUE(wholeMask() == std::vector<uint8_t>(300 * 400, 0));

  ASSERT_TRUE(EdgeFill(document, {150, 100}, true, 32));
  EXPECT_TRUE(wholeMask() == std::vector<uint8_t>(300 * 400, 255)) << "both steps are below the limit";
}

TEST(EdgeJudge, LimitFollowsTheThresholdAndChannels) {
  EXPECT_EQ(EdgeJudge::limitFor(30, 3), 540);
  EXPECT_EQ(EdgeJudge::limitFor(1, 1), 0) << "2 / 10 truncates";
}

}  // namespace
