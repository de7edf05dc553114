#include "tools/ColourClassifier.h"

#include <gtest/gtest.h>

#include <set>

#include "shell/ErrorRecord.h"
#include "shell/Exceptions.h"

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
  ClassifierThresholds pair{100, 200};
  bool keepModeOn = true;
  std::optional<ClassifierColour> under;
  int builds = 0;

  std::vector<ClassifierColour> selectedKeepColours(PixelFormat) override {
    ++builds;
    return keep;
  }
  std::vector<ClassifierColour> selectedDropColours(PixelFormat) override { return drop; }
  ClassifierThresholds thresholdPair() override { return pair; }
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

TEST_F(ClassifierCacheTest, ClassifyingWithoutAClassifierIsAnErrorNotACrash) {
  discardClassifier();
  const uint8_t pixel = 100;
  EXPECT_THROW(classifyPixel(&pixel), XError);
  clearErrors();
  source.keep = {{100}};
  currentClassifier(grey);
  EXPECT_EQ(classifyPixel(&pixel), 255);
  discardClassifier();
  EXPECT_THROW(classifyPixel(&pixel), XError) << "after the work window closed";
  clearErrors();
}

// ---- The radii and bounds are the slider's integers ----------------------
//
// Plain integer references of the single-kind ramps: the largest k for
// which (distance into the ramp) * 255 / (U - L) + 1/2 >= k, decided by
// comparing squares, so no square root and no rounding enter.

int referenceKeep(int lower, int upper, int64_t m) {
  if (m <= lower * lower) return 255;
  if (m >= upper * upper) return 0;
  const int span = upper - lower;
  for (int k = 255; k > 0; --k) {
    // 510 (U - (k - 1/2) span / 255): sqrt(m) may be at most this / 510.
    const int64_t n = 510LL * upper - (2LL * k - 1) * span;
    if (n >= 0 && 260100 * m <= n * n) return k;
  }
  return 0;
}

int referenceDrop(int lower, int upper, int64_t m) {
  const int radius = 255 - upper, outer = 255 - lower;
  if (m <= radius * radius) return 0;
  if (m >= outer * outer) return 255;
  const int span = upper - lower;
  for (int k = 255; k > 0; --k) {
    // 510 (R + (k - 1/2) span / 255): sqrt(m) must be at least this / 510.
    const int64_t n = 510LL * radius + (2LL * k - 1) * span;
    if (n <= 0 || 260100 * m >= n * n) return k;
  }
  return 0;
}

// Squared distances at and beside both bounds, and whole distances in the
// ramp, where an exact halfway value can occur.
std::vector<int64_t> boundaryDistances(int inner, int outer) {
  std::vector<int64_t> m;
  for (int r : {inner, outer})
    for (int64_t d : {-1, 0, 1})
      if (int64_t{r} * r + d >= 0) m.push_back(int64_t{r} * r + d);
  for (int r = inner + 1; r < outer; r += std::max(1, (outer - inner) / 7)) m.push_back(int64_t{r} * r);
  return m;
}

TEST(ClassifierBounds, SingleKindFalloffsMatchTheIntegerDefinitionForEverySliderPair) {
  int mismatches = 0;
  for (int upper = 0; upper <= 255; ++upper)
    for (int lower = 0; lower <= upper; ++lower) {
      const RadialFalloff keep = RadialFalloff::aroundKeep({lower, upper});
      for (int64_t m : boundaryDistances(lower, upper))
        if (keep.value(static_cast<int32_t>(m)) != referenceKeep(lower, upper, m) && ++mismatches <= 5)
          ADD_FAILURE() << "keep L " << lower << " U " << upper << " m " << m << ": "
                        << int{keep.value(static_cast<int32_t>(m))} << " instead of "
                        << referenceKeep(lower, upper, m);
      const RadialFalloff drop = RadialFalloff::aroundDrop({lower, upper});
      for (int64_t m : boundaryDistances(255 - upper, 255 - lower))
        if (drop.value(static_cast<int32_t>(m)) != referenceDrop(lower, upper, m) && ++mismatches <= 5)
          ADD_FAILURE() << "drop L " << lower << " U " << upper << " m " << m << ": "
                        << int{drop.value(static_cast<int32_t>(m))} << " instead of "
                        << referenceDrop(lower, upper, m);
    }
  EXPECT_EQ(mismatches, 0);
}

// Grey pixels at the boundary distances from one keep or drop colour, and
// between a drop colour 0 and a keep colour 255, whose axis puts the
// bounds on whole grey values: 255 - U and 255 - L.
TEST(ClassifierBounds, EveryVariantDecidesBoundaryPixelsAsTheIntegerDefinition) {
  int mismatches = 0;
  const auto expect = [&](const char* what, int lower, int upper, int grey, int got, int wanted) {
    if (got != wanted && ++mismatches <= 5)
      ADD_FAILURE() << what << " L " << lower << " U " << upper << " grey " << grey << ": " << got << " instead of "
                    << wanted;
  };
  for (int upper = 0; upper <= 255; ++upper)
    for (int lower = 0; lower <= upper; ++lower) {
      const ClassifierThresholds pair{lower, upper};
      KeepClassifier keep({{0}}, pair, kGrey);
      DropClassifier drop({{0}}, pair, kGrey);
      SampleClassifier sampleKeep({0}, true, pair, kGrey);
      SampleClassifier sampleDrop({0}, false, pair, kGrey);
      PairClassifier axis({{255}}, {{0}}, pair, kGrey);
      const int span = upper - lower;
      const int slope = span > 0 ? (130050 + span) / (2 * span) : 0;  // floor(0.5 + 255 * 255 / span)
      for (int d : {lower - 1, lower, lower + 1, upper - 1, upper, upper + 1, 255 - upper - 1, 255 - upper,
                    255 - upper + 1, 255 - lower - 1, 255 - lower, 255 - lower + 1}) {
        if (d < 0 || d > 255) continue;
        const int m = d * d;
        expect("keep", lower, upper, d, classifyGrey(keep, d), referenceKeep(lower, upper, m));
        expect("sample keep", lower, upper, d, classifyGrey(sampleKeep, d), referenceKeep(lower, upper, m));
        expect("drop", lower, upper, d, classifyGrey(drop, d), referenceDrop(lower, upper, m));
        expect("sample drop", lower, upper, d, classifyGrey(sampleDrop, d), referenceDrop(lower, upper, m));
        // The projection is 255 d; the bounds 255 (255 - U) and 255 (255 - L).
        const int s = 255 * d, low = 255 * (255 - upper), high = 255 * (255 - lower);
        const int wanted = s <= low ? 0 : s >= high ? 255 : std::min(255, ((s - low) * slope + 65025 / 2) / 65025);
        expect("pair", lower, upper, d, classifyGrey(axis, d), wanted);
      }
    }
  EXPECT_EQ(mismatches, 0);
}

TEST(ClassifierBounds, WithoutTransitionAPixelAtExactlyTheThresholdIsKept) {
  for (int threshold : {1, 3, 7, 100, 254}) {
    KeepClassifier keep({{0}}, {threshold, threshold}, kGrey);
    EXPECT_EQ(classifyGrey(keep, threshold), 255) << "U = L = " << threshold;
    EXPECT_EQ(classifyGrey(keep, threshold + 1), 0);
  }
}

}  // namespace
