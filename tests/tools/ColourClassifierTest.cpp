#include "tools/ColourClassifier.h"

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr int kGrey = 1;
constexpr int kRGB = 3;

uint8_t classifyGrey(ColourClassifier& c, int value) {
  const uint8_t pixel = static_cast<uint8_t>(value);
  return c.classify(&pixel);
}

TEST(KeepClassifier, FallsOffLinearlyBetweenLowerAndUpper) {
  KeepClassifier keep({{0}}, {100, 200}, kGrey);
  EXPECT_EQ(classifyGrey(keep, 0), 255);
  EXPECT_EQ(classifyGrey(keep, 100), 255) << "within L of the keep colour";
  EXPECT_EQ(classifyGrey(keep, 133), 171) << "(200 - 133) * 255 / 100, rounded";
  EXPECT_EQ(classifyGrey(keep, 199), 3);
  EXPECT_EQ(classifyGrey(keep, 200), 0) << "beyond U";
}

TEST(KeepClassifier, FullRangeKeepsEverythingWithin255) {
  KeepClassifier keep({{0, 0, 0}}, {255, 255}, kRGB);
  const uint8_t near[] = {255, 0, 0};
  const uint8_t far[] = {255, 1, 0};
  EXPECT_EQ(keep.classify(near), 255);
  EXPECT_EQ(keep.classify(far), 0);
}

TEST(KeepClassifier, TheNearestKeepColourDecides) {
  KeepClassifier keep({{0}, {250}}, {10, 20}, kGrey);
  EXPECT_EQ(classifyGrey(keep, 245), 255);
  EXPECT_EQ(classifyGrey(keep, 128), 0);
}

TEST(DropClassifier, RisesLinearlyAwayFromTheDropColour) {
  // Full drop within 255 - U, full keep beyond 255 - L.
  DropClassifier drop({{0}}, {100, 200}, kGrey);
  EXPECT_EQ(classifyGrey(drop, 55), 0);
  EXPECT_EQ(classifyGrey(drop, 120), 166);
  EXPECT_EQ(classifyGrey(drop, 155), 255);
}

TEST(Classifiers, WithoutTransitionGiveOnlyZeroOr255) {
  std::set<int> values;
  KeepClassifier keep({{40, 90, 200}}, {120, 120}, kRGB);
  DropClassifier drop({{40, 90, 200}}, {120, 120}, kRGB);
  PairClassifier pair({{250, 250, 250}}, {{40, 90, 200}}, {120, 120}, kRGB);
  SampleClassifier sample({40, 90, 200}, true, {120, 120}, kRGB);
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 17) {
      const uint8_t p[] = {static_cast<uint8_t>(r), static_cast<uint8_t>(g), 128};
      values.insert(keep.classify(p));
      values.insert(drop.classify(p));
      values.insert(pair.classify(p));
      values.insert(sample.classify(p));
    }
  EXPECT_EQ(values, (std::set<int>{0, 255}));
}

TEST(PairClassifier, ProjectsOntoTheAxisFromDropToKeep) {
  PairClassifier pair({{255}}, {{0}}, {100, 200}, kGrey);
  EXPECT_EQ(classifyGrey(pair, 0), 0) << "a pixel equal to the drop colour";
  EXPECT_EQ(classifyGrey(pair, 55), 0);
  EXPECT_EQ(classifyGrey(pair, 100), 115);
  EXPECT_EQ(classifyGrey(pair, 155), 255);
  EXPECT_EQ(classifyGrey(pair, 255), 255);
}

TEST(PairClassifier, APixelKeepsOnlyWhatItWinsAgainstItsHardestDropColour) {
  // Keep red; drop black and green. Orange-ish red is clearly kept against
  // black but closer to green than a pure red is.
  PairClassifier pair({{255, 0, 0}}, {{0, 0, 0}, {0, 255, 0}}, {100, 150}, kRGB);
  const uint8_t red[] = {255, 0, 0};
  const uint8_t green[] = {0, 255, 0};
  const uint8_t black[] = {0, 0, 0};
  EXPECT_EQ(pair.classify(red), 255);
  EXPECT_EQ(pair.classify(green), 0);
  EXPECT_EQ(pair.classify(black), 0);
}

TEST(PairClassifier, AKeepColourEqualToADropColourNeverDivides) {
  PairClassifier pair({{90, 90, 90}}, {{90, 90, 90}}, {0, 255}, kRGB);
  const uint8_t p[] = {90, 90, 90};
  EXPECT_EQ(pair.classify(p), 0);
}

TEST(SampleClassifier, KeepsOrDropsAroundTheReference) {
  SampleClassifier keep({100}, true, {10, 20}, kGrey);
  SampleClassifier drop({100}, false, {235, 245}, kGrey);
  EXPECT_EQ(classifyGrey(keep, 105), 255);
  EXPECT_EQ(classifyGrey(keep, 150), 0);
  EXPECT_EQ(classifyGrey(drop, 105), 0);
  EXPECT_EQ(classifyGrey(drop, 150), 255);
  EXPECT_FALSE(keep.isReusable());
}

// A source whose inputs a test changes.
struct FakeSource : ClassifierSource {
  std::vector<ClassifierColour> keep, drop;
  ThresholdPair pair{100, 200};
  bool keepModeOn = true;
  std::optional<ClassifierColour> under;
  int builds = 0;

  std::vector<ClassifierColour> selectedKeepColours(PixelFormat) override {
    ++builds;
    return keep;
  }
  std::vector<ClassifierColour> selectedDropColours(PixelFormat) override { return drop; }
  ThresholdPair thresholdPair() override { return pair; }
  bool keepMode() override { return keepModeOn; }
  std::optional<ClassifierColour> colourUnderPointer(PixelFormat) override { return under; }
};

class ClassifierCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { setClassifierSource(&source); }
  void TearDown() override { setClassifierSource(nullptr); }
  FakeSource source;
  const PixelFormat grey{1, 1};
};

TEST_F(ClassifierCacheTest, ReusesUntilAnInputChanges) {
  source.keep = {{0}};
  ColourClassifier* first = &currentClassifier(grey);
  EXPECT_EQ(&currentClassifier(grey), first);
  EXPECT_EQ(source.builds, 1);
  source.pair = {100, 201};
  currentClassifier(grey);
  EXPECT_EQ(source.builds, 2) << "a new slider pair rebuilds";
  currentClassifier(PixelFormat{3, 3});
  EXPECT_EQ(source.builds, 3) << "a new format rebuilds";
  invalidateClassifier();
  currentClassifier(PixelFormat{3, 3});
  EXPECT_EQ(source.builds, 4) << "a list change rebuilds";
}

TEST_F(ClassifierCacheTest, WithNothingSelectedTheColourUnderThePointerIsUsedEveryTime) {
  source.under = ClassifierColour{100};
  currentClassifier(grey);
  EXPECT_EQ(classifyPixel(std::array<uint8_t, 1>{100}.data()), 255);
  source.under = ClassifierColour{10};
  currentClassifier(grey);
  EXPECT_EQ(classifyPixel(std::array<uint8_t, 1>{250}.data()), 0) << "the reference followed the pointer";
  EXPECT_EQ(source.builds, 2);
  source.keepModeOn = false;
  currentClassifier(grey);
  EXPECT_EQ(classifyPixel(std::array<uint8_t, 1>{10}.data()), 0) << "drop mode drops the sampled colour";
}

TEST_F(ClassifierCacheTest, OffTheImageTheLastSampledColourStays) {
  source.under = ClassifierColour{100};
  currentClassifier(grey);
  source.under.reset();
  currentClassifier(grey);
  EXPECT_EQ(classifyPixel(std::array<uint8_t, 1>{100}.data()), 255);
}

}  // namespace
