// The stroke step on its own: points put into the ring by hand (image
// coordinates, as if the view were at 1:1 with its origin on the image's),
// a mask in memory, and the history behind Undo and Redo.
#include "tools/BrushStroke.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <vector>

#include "display/CWorkDocument.h"
#include "image/BufferImage.h"
#include "shell/Exceptions.h"
#include "tests/image/ImageTestSupport.h"
#include "tools/MaskEdit.h"

namespace {

using testing_support::Plane;
using testing_support::StCurrentHost;

constexpr PixelLayout kOneByte{1, 1};
constexpr int16_t kWidth = 300, kHeight = 200;

ImagePosition identity(PointRing::Entry e) { return {static_cast<double>(e.v), static_cast<double>(e.h)}; }

BrushStroke::Apply towards(uint8_t target) {
  return [target](Image& coverage, CWorkDocument& document, std::vector<Rect>& bandsDone) {
    ApplyStrokeToTarget(coverage, document, target, &bandsDone);
  };
}

class StrokeStepTest : public ::testing::Test {
 protected:
  StrokeStepTest() : host(kWidth, kHeight), mask(kOneByte, {0, 0, kHeight, kWidth}, {128, 128}, 0) {
    document.SetWorkImages(&mask, nullptr);
  }

  std::vector<uint8_t> wholeMask() {
    Plane p(kHeight, kWidth);
    mask.ReadRect({0, 0, kHeight, kWidth}, p.view);
    return p.bytes;
  }
  uint8_t maskAt(int v, int h) { return wholeMask()[static_cast<size_t>(v * kWidth + h)]; }
  void fillMask(const std::vector<uint8_t>& bytes) {
    Plane p(kHeight, kWidth);
    p.bytes = bytes;
    mask.WriteRect({0, 0, kHeight, kWidth}, p.view);
  }

  // A press as the sampling thread starts it: a fresh ring whose first
  // entry is the pen-up before the press, then the samples.
  void press(std::initializer_list<Point> points, bool shift = false) {
    stroke.ring().reset();
    for (Point p : points) stroke.ring().recordPress(p.v, p.h, shift);
  }
  bool step(const BrushSetting& setting, uint8_t target = 255, CWorkDocument* in = nullptr) {
    return stroke.step(in != nullptr ? *in : document, identity, setting, towards(target));
  }

  StCurrentHost host;
  BufferImage mask;
  CWorkDocument document;
  BrushStroke stroke;
};

// A hard brush: r0 about 21.9, r1 about 23.7, stamps about 11.5 apart.
constexpr BrushSetting kHard{100, 100, kFullBrushStrength, kDefaultStampSpacing};

// ---- The blend ----

TEST_F(StrokeStepTest, EveryWeightBlendsEveryMaskByteByTheRuleAndLeavesOldXorNew) {
  for (const uint8_t target : {uint8_t{0}, uint8_t{255}}) {
    // Row: the mask byte m; column: the coverage c.
    BufferImage coverage(kOneByte, {0, 0, 256, 256}, {128, 128}, 0);
    BufferImage masks(kOneByte, {0, 0, 256, 256}, {128, 128}, 0);
    Plane c(256, 256), m(256, 256);
    for (int v = 0; v < 256; ++v)
      for (int h = 0; h < 256; ++h) c.at(v, h) = static_cast<uint8_t>(h), m.at(v, h) = static_cast<uint8_t>(v);
    coverage.WriteRect({0, 0, 256, 256}, c.view);
    masks.WriteRect({0, 0, 256, 256}, m.view);
    CWorkDocument blendDocument;
    blendDocument.SetWorkImages(&masks, nullptr);
    ApplyStrokeToTarget(coverage, blendDocument, target);
    Plane newMask(256, 256), delta(256, 256);
    masks.ReadRect({0, 0, 256, 256}, newMask.view);
    coverage.ReadRect({0, 0, 256, 256}, delta.view);
    for (int v = 0; v < 256; ++v) {
      for (int h = 0; h < 256; ++h) {
        const int expected = h == 0 ? v : ((255 - h) * v + h * target + 127) / 255;
        ASSERT_EQ(newMask.at(v, h), expected) << "m " << v << " c " << h << " T " << int{target};
        ASSERT_EQ(delta.at(v, h), v ^ expected) << "m " << v << " c " << h;
      }
    }
    if (target == 255) {
      EXPECT_EQ(newMask.at(0, 128), 128) << "coverage 128 over 0 towards 255 gives 128";
    }
    EXPECT_EQ(newMask.at(77, 255), target) << "full coverage sets the target exactly";
  }
}

// ---- One press ----

TEST_F(StrokeStepTest, APressHeldStillPaintsOneStampAndOneRecord) {
  const Point at{100, 150};
  press({at, at, at});
  EXPECT_TRUE(step(kHard));
  for (int i = 0; i < 4; ++i) stroke.ring().recordPress(at.v, at.h, false);
  stroke.ring().recordRelease();
  EXPECT_FALSE(step(kHard)) << "the same point again adds no stamp";
  EXPECT_EQ(document.history().size(), 1u);

  // The mask is exactly one stamp, blended towards keep: a fresh cache
  // gives the same stamp with the same dither.
  BrushStampCache reference;
  reference.configure(kHard.size, kHard.sizePlusEdge, kHard.strength, kHard.spacing);
  const auto p = reference.place(at.v, at.h);
  const BrushStamp& s = reference.stamp(p.phaseV, p.phaseH);
  std::vector<uint8_t> expected(static_cast<size_t>(kWidth * kHeight), 0);
  for (int v = s.rect.top; v < s.rect.bottom; ++v)
    for (int h = s.rect.left; h < s.rect.right; ++h)
      expected[static_cast<size_t>((p.v + v) * kWidth + p.h + h)] =
          s.bytes[static_cast<size_t>((v - s.rect.top) * s.rect.width() + h - s.rect.left)];
  EXPECT_EQ(wholeMask(), expected);
}

TEST_F(StrokeStepTest, StampsOutsideTheImageOnlyPaintTheirPartInside) {
  press({{-10, -10}, {-10, 60}});
  EXPECT_TRUE(step(kHard));
  EXPECT_EQ(maskAt(0, 0), 255) << "the corner lies well inside the first stamp's disc";
  EXPECT_EQ(maskAt(5, 50), 255);
  EXPECT_EQ(maskAt(0, 100), 0);
  press({{-500, -500}, {-400, -500}});
  EXPECT_FALSE(step(kHard)) << "nothing reaches the image: no record";
  EXPECT_EQ(document.history().size(), 1u);
}

// ---- Shift ----

TEST_F(StrokeStepTest, AShiftPressContinuesInAStraightLineInTheSameDocumentOnly) {
  press({{50, 40}});
  stroke.ring().recordRelease();
  step(kHard);
  EXPECT_EQ(maskAt(50, 100), 0);
  press({{50, 160}}, true);
  step(kHard);
  for (int h = 40; h <= 160; h += 10) EXPECT_EQ(maskAt(50, h), 255) << "along the line at " << h;

  press({{150, 40}});
  stroke.ring().recordRelease();
  step(kHard);
  press({{150, 160}});
  step(kHard);
  EXPECT_EQ(maskAt(150, 100), 0) << "without Shift a press starts a stroke of its own";
}

TEST_F(StrokeStepTest, AShiftPressInANewDocumentWhereTheOldOneWasStartsAfresh) {
  std::optional<CWorkDocument> other;
  other.emplace();
  other->SetWorkImages(&mask, nullptr);
  const CWorkDocument* first = &*other;
  press({{50, 40}});
  stroke.ring().recordRelease();
  step(kHard, 255, &*other);
  other.reset();
  other.emplace();  // in the same storage: the same address
  ASSERT_EQ(&*other, first);
  other->SetWorkImages(&mask, nullptr);
  press({{50, 160}}, true);
  step(kHard, 255, &*other);
  EXPECT_EQ(maskAt(50, 100), 0) << "no line from the old document's stroke";
  EXPECT_EQ(maskAt(50, 160), 255);
}

// ---- Strength and records ----

TEST_F(StrokeStepTest, AStrokeAtStrengthZeroChangesNothingAndLeavesNoRecord) {
  const std::vector<uint8_t> before = wholeMask();
  press({{100, 20}, {100, 280}});
  EXPECT_FALSE(step({60, 120, 0, kDefaultStampSpacing}));
  EXPECT_EQ(wholeMask(), before);
  EXPECT_FALSE(document.CanUndo());
  press({{100, 20}, {100, 280}});
  EXPECT_TRUE(step(kHard)) << "full strength paints again";
  EXPECT_EQ(maskAt(100, 150), 255);
}

// Random strokes, random brushes, towards keep or drop, over a mask that is
// not empty: undoing every record step by step restores each earlier mask
// byte for byte, and redoing them gives every later one again.
TEST_F(StrokeStepTest, UndoRestoresEveryEarlierMaskAndRedoEveryLaterOne) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> start(static_cast<size_t>(kWidth * kHeight));
    for (auto& b : start) b = static_cast<uint8_t>(random() % 3 == 0 ? random() : 0);
    fillMask(start);
    CWorkDocument strokes;
    strokes.SetWorkImages(&mask, nullptr);
    std::vector<std::vector<uint8_t>> states{start};
    const auto coordinate = [&](int size) { return static_cast<int16_t>(static_cast<int>(random() % (size + 80)) - 40); };
    for (int s = 0; s < 5; ++s) {
      const int size = static_cast<int>(random() % 120), edge = static_cast<int>(random() % 80);
      const BrushSetting setting{size, std::min(255, size + edge), static_cast<int32_t>(random() % 256) * 256,
                                 static_cast<int>(random() % 128)};
      const uint8_t target = random() % 2 ? 255 : 0;
      stroke.ring().reset();
      const bool shift = random() % 3 == 0;
      for (int chunk = 0; chunk < 3; ++chunk) {
        for (int i = 0; i < 4; ++i) stroke.ring().recordPress(coordinate(kHeight), coordinate(kWidth), shift);
        if (stroke.step(strokes, identity, setting, towards(target))) states.push_back(wholeMask());
      }
      stroke.ring().recordRelease();
    }
    ASSERT_EQ(strokes.history().size() + 1, states.size()) << "one record for every step that changed the mask";
    for (size_t i = states.size() - 1; i > 0; --i) {
      strokes.Undo();
      ASSERT_EQ(wholeMask(), states[i - 1]) << "seed " << seed << ", undoing record " << i;
    }
    for (size_t i = 1; i < states.size(); ++i) {
      strokes.Redo();
      ASSERT_EQ(wholeMask(), states[i]) << "seed " << seed << ", redoing record " << i;
    }
  }
}

// A mask whose pieces below row 128 cannot be delivered at all.
class HalfDeliverableMask : public BufferImage {
 public:
  HalfDeliverableMask() : BufferImage(kOneByte, {0, 0, kHeight, kWidth}, {128, 128}, 0) {}
  PlaneView lock(Rect& rect, LockMode mode) override {
    if (failing && rect.top >= 128) throw XReduce("mask", 1);
    return BufferImage::lock(rect, mode);
  }
  bool failing = false;
};

TEST_F(StrokeStepTest, WhenAStepFailsPartWayThePartPaintedStaysUndoable) {
  HalfDeliverableMask half;
  document.SetWorkImages(&half, nullptr);
  Plane before(kHeight, kWidth, 1, 90);
  half.WriteRect({0, 0, kHeight, kWidth}, before.view);
  press({{40, 40}});
  stroke.ring().recordRelease();
  step(kHard, 0);
  half.failing = true;
  press({{100, 60}, {160, 60}, {160, 200}});
  EXPECT_THROW(step(kHard, 0), XReduce);
  half.failing = false;

  Plane after(kHeight, kWidth);
  half.ReadRect({0, 0, kHeight, kWidth}, after.view);
  EXPECT_EQ(after.at(110, 60), 0) << "the rows above 128 were painted";
  EXPECT_EQ(after.at(160, 60), 90) << "the rows below were not";
  ASSERT_EQ(document.history().size(), 2u) << "the part painted is a record of its own";
  document.Undo();
  document.Undo();
  Plane undone(kHeight, kWidth);
  half.ReadRect({0, 0, kHeight, kWidth}, undone.view);
  EXPECT_EQ(undone.bytes, before.bytes);
}

}  // namespace
