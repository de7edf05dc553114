// The bucket, the magic wand and the magic bucket as tools in a view: found
// by id and key, announced when active, acting on a click (or, for the
// magic bucket, on every move of a drag) in the keep mode of that moment,
// undone and redone through the document's history.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "display/CWorkDocument.h"
#include "display/FeedbackKit.h"
#include "image/BufferImage.h"
#include "platform/Automation.h"
#include "tests/display/ViewTestSupport.h"
#include "tools/CBucketTool.h"
#include "tools/CMagicBucketTool.h"
#include "tools/CMagicWandTool.h"
#include "tools/ColourClassifier.h"
#include "tools/KeepMode.h"
#include "tools/SliderValues.h"

namespace {

using display_testing::ViewFixture;
using testing_support::Plane;
using WPoint = platform::Point;

constexpr uint32_t kLeft = platform::kMkLButton;
constexpr PixelLayout kOneByte{1, 1};
constexpr Rect kImage{0, 0, 200, 300};

// A grey working image of 128 everywhere but a black top-left pixel, rated
// 0 by keep white against drop black and 128 elsewhere.
struct GreySource : ClassifierSource {
  std::vector<ClassifierColour> selectedKeepColours(PixelFormat) override { return {{255}}; }
  std::vector<ClassifierColour> selectedDropColours(PixelFormat) override { return {{0}}; }
  ClassifierThresholds thresholdPair() override { return {0, 255}; }
  bool keepMode() override { return true; }
  std::optional<ClassifierColour> colourUnderPointer(PixelFormat) override { return {}; }
};

class FillToolsTest : public ViewFixture {
 protected:
  FillToolsTest()
      : mask_(kOneByte, kImage, {128, 128}, 0), working_(kOneByte, kImage, {128, 128}, 128) {
    openView({200, 150});
    Plane black(1, 1);
    working_.WriteRect({0, 0, 1, 1}, black.view);
    document().SetWorkImages(&mask_, &working_);
    setClassifierSource(&source_);
    SetKeepMode(true);
  }
  ~FillToolsTest() override {
    setClassifierSource(nullptr);
    SetToolActivationListener(nullptr);
    SetKeepMode(false);
    BrushPair().SetLower(64);
    BrushPair().SetUpper(192);
  }

  CWorkDocument& document() { return *view_->Document(); }
  CMaskView& view() { return *view_; }

  // The window point over an image pixel, and back.
  WPoint windowPoint(int16_t v, int16_t h) {
    platform::Point p{h, v};
    view().ImageToWindowPoint(p);
    return p;
  }
  void click(int16_t v, int16_t h) {
    const WPoint p = windowPoint(v, h);
    ToolMouseMove(view(), p, 0);
    ToolMouseDown(view(), p, kLeft);
    ToolMouseUp(view(), p, 0);
  }
  uint8_t maskAt(int16_t v, int16_t h) {
    uint8_t b = 0;
    mask_.ReadRect({v, h, static_cast<int16_t>(v + 1), static_cast<int16_t>(h + 1)}, {&b, 1, 1});
    return b;
  }
  // '#' full keep, '.' undecided.
  void draw(const std::vector<const char*>& rows, Point at) {
    for (size_t v = 0; v < rows.size(); ++v)
      for (size_t h = 0; rows[v][h] != 0; ++h) {
        uint8_t b = rows[v][h] == '#' ? 255 : 0;
        const auto pv = static_cast<int16_t>(at.v + v), ph = static_cast<int16_t>(at.h + h);
        mask_.WriteRect({pv, ph, static_cast<int16_t>(pv + 1), static_cast<int16_t>(ph + 1)}, {&b, 1, 1});
      }
  }

  BufferImage mask_, working_;
  GreySource source_;
};

TEST_F(FillToolsTest, TheFillToolsAreRegisteredWithTheirIdsAndKeys) {
  EXPECT_EQ(FindTool(kToolBucket), &TheBucketTool());
  EXPECT_EQ(FindTool(kToolMagicBucket), &TheMagicBucketTool());
  EXPECT_EQ(FindTool(kToolMagicWand), &TheMagicWandTool());
  EXPECT_EQ(TheBucketTool().GetCursorId(), 3270);
  EXPECT_EQ(TheMagicBucketTool().GetCursorId(), 3260);
  EXPECT_EQ(TheMagicWandTool().GetCursorId(), 3280);
  EXPECT_EQ(ToolIdForKey('K', 0), kToolBucket);
  EXPECT_EQ(ToolIdForKey('f', 0), kToolMagicBucket);
  EXPECT_EQ(ToolIdForKey('W', 0), kToolMagicWand);
}

TEST_F(FillToolsTest, EachFillToolAnnouncesItsIdWhenItBecomesActive) {
  std::vector<int32_t> announced;
  SetToolActivationListener([&](int32_t id) { announced.push_back(id); });
  SelectTool(TheBucketTool());
  platform::automation::advanceTime(1000);
  SelectSpringTool(TheMagicWandTool());
  platform::automation::advanceTime(1000);
  SelectTool(TheMagicBucketTool());
  EXPECT_EQ(announced, (std::vector<int32_t>{3270, 3280, 3260}));
}

TEST_F(FillToolsTest, ABucketClickFillsInTheKeepModeOfTheMomentAndUndoesThroughTheDocument) {
  draw({"#####",
        "#...#",
        "#####"}, {10, 10});
  SelectTool(TheBucketTool());
  click(11, 12);
  EXPECT_EQ(maskAt(11, 12), 255);
  EXPECT_EQ(maskAt(50, 50), 0) << "the outline held";
  SetKeepMode(false);
  click(50, 50);
  EXPECT_EQ(document().history().size(), 1u) << "0 is decided in drop mode: nothing to fill";
  click(11, 12);
  EXPECT_EQ(maskAt(11, 12), 0) << "in drop mode the box and its outline are undecided";
  EXPECT_EQ(maskAt(10, 10), 0);
  document().Undo();
  EXPECT_EQ(maskAt(10, 10), 255);
  EXPECT_EQ(maskAt(11, 12), 255);
  document().Undo();
  EXPECT_EQ(maskAt(11, 12), 0);
  document().Redo();
  EXPECT_EQ(maskAt(11, 12), 255);
}

TEST_F(FillToolsTest, AButtonPressAloneFillsNothing) {
  SelectTool(TheBucketTool());
  const WPoint p = windowPoint(50, 50);
  ToolMouseMove(view(), p, 0);
  ToolMouseDown(view(), p, kLeft);
  ToolMouseMove(view(), windowPoint(60, 60), kLeft);
  EXPECT_EQ(maskAt(50, 50), 0) << "the bucket acts on release";
  ToolMouseUp(view(), windowPoint(60, 60), 0);
  EXPECT_EQ(maskAt(50, 50), 255);
}

TEST_F(FillToolsTest, AMagicWandClickBlendsByTheCurrentClassifier) {
  SelectTool(TheMagicWandTool());
  click(0, 0);
  EXPECT_FALSE(document().CanUndo()) << "black is rated 0: nothing happens";
  click(20, 30);
  EXPECT_EQ(maskAt(20, 30), 128) << "(128 * 255 + 127 * 0 + 127) / 255";
  EXPECT_EQ(maskAt(0, 0), 0);
  SetKeepMode(false);
  click(20, 30);
  EXPECT_EQ(maskAt(20, 30), 64) << "drop weight 127 over 128: (128 * 128 + 127 + 127 * 0) / 255";
  document().Undo();
  document().Undo();
  EXPECT_EQ(maskAt(20, 30), 0);
}

TEST_F(FillToolsTest, TheMagicBucketsHalfSideIsTheBrushHardRadiusTruncated) {
  BrushPair().SetLower(0);
  EXPECT_EQ(CMagicBucketTool::HalfSide(), 0);
  BrushPair().SetUpper(255);
  BrushPair().SetLower(255);
  EXPECT_EQ(CMagicBucketTool::HalfSide(), 128) << "r0 = 128 at full size";
  BrushPair().SetLower(30);
  EXPECT_EQ(CMagicBucketTool::HalfSide(), 2) << "r0 = 1500 * 128 / 70125 = 2.74";
  EXPECT_EQ(CMagicBucketTool::FeedbackHalfSide(1.0), 2);
  EXPECT_EQ(CMagicBucketTool::FeedbackHalfSide(3.0), 6);
  EXPECT_EQ(CMagicBucketTool::FeedbackHalfSide(0.25), 1) << "floor(2 * 0.25 + 0.5)";
}

TEST_F(FillToolsTest, DraggingTheMagicBucketFillsThePocketsUnderThePointer) {
  BrushPair().SetLower(30);  // half side 2
  draw({"#####",
        "#.#.#",
        "#####"}, {40, 40});
  draw({"###",
        "#.#",
        "###"}, {80, 80});
  SelectTool(TheMagicBucketTool());
  ToolMouseMove(view(), windowPoint(41, 42), 0);
  EXPECT_EQ(maskAt(41, 41), 0) << "no fill without the button";
  ToolMouseDown(view(), windowPoint(41, 42), kLeft);
  EXPECT_EQ(maskAt(41, 41), 255);
  EXPECT_EQ(maskAt(41, 43), 255);
  ToolMouseMove(view(), windowPoint(81, 81), kLeft);
  EXPECT_EQ(maskAt(81, 81), 255);
  ToolMouseUp(view(), windowPoint(81, 81), 0);
  EXPECT_EQ(document().history().size(), 2u) << "one record per move that changed something";
  document().Undo();
  EXPECT_EQ(maskAt(81, 81), 0);
  document().Undo();
  EXPECT_EQ(maskAt(41, 41), 0);
}

TEST_F(FillToolsTest, TheMagicBucketsSquareIsDrawnByInversionAroundThePointer) {
  BrushPair().SetLower(30);  // half side 2: at zoom 1 a square from -2 to +2
  paintNow();
  const platform::Framebuffer& pixels = view().framebuffer();
  const platform::Framebuffer before = pixels;
  SelectTool(TheMagicBucketTool());
  ToolMouseMove(view(), {60, 50}, 0);
  EXPECT_EQ(pixels.pixel(58, 48), before.pixel(58, 48) ^ 0xFFFFFFu) << "top-left corner";
  EXPECT_EQ(pixels.pixel(62, 52), before.pixel(62, 52) ^ 0xFFFFFFu) << "bottom-right corner";
  EXPECT_EQ(pixels.pixel(60, 50), before.pixel(60, 50)) << "hollow";
  EXPECT_EQ(pixels.pixel(63, 50), before.pixel(63, 50));
  ToolMouseMove(view(), {100, 100}, 0);
  EXPECT_EQ(pixels.pixel(58, 48), before.pixel(58, 48)) << "moving on erased the square";
  PopToTool(nullptr);
  EXPECT_TRUE(pixels.samePixels(before)) << "hiding the feedback restores every pixel";
}

}  // namespace
