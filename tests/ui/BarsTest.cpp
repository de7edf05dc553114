// The toolbox and the brush and threshold bars, driven by scripted pointer
// input as a user would.
#include <gtest/gtest.h>

#include "display/CTool.h"
#include "platform/Automation.h"
#include "platform/FrameWindow.h"
#include "platform/Message.h"
#include "tests/support/AutomatedTest.h"
#include "tests/support/StandInTool.h"
#include "tools/KeepMode.h"
#include "tools/SliderValues.h"
#include "tools/ToolRegistry.h"
#include "tools/WorkKeys.h"
#include "ui/CDoubleSliderBar.h"
#include "ui/CToolboxBar.h"

namespace {

using testing_support::StandInTool;

using platform::Point;
using platform::Rect;

class BarsTest : public testing_support::AutomatedTest {
 protected:
  void SetUp() override {
    AutomatedTest::SetUp();
    ResetToolStack();
    SetKeepMode(false);
    ASSERT_TRUE(frame_.loadFrame(0, platform::kWsOverlappedWindow, nullptr, "frame", {0, 0, 800, 600}));
  }
  void TearDown() override {
    frame_.destroy();
    ResetToolStack();
    for (SliderPair* pair : {&BrushPair(), &ThresholdPair()}) {
      pair->SetLower(0);
      pair->SetUpper(192);
      pair->SetLower(64);
    }
    AutomatedTest::TearDown();
  }
  static void click(platform::Window& w, Point down, Point up) {
    platform::automation::mouseDown(w, down);
    platform::automation::drainMessages();
    platform::automation::mouseMove(w, up);
    platform::automation::drainMessages();
    platform::automation::mouseUp(w, up);
    platform::automation::drainMessages();
  }
  static Point centre(const Rect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

  platform::FrameWindow frame_;
  StandInTool pencil_{kToolPencil}, bucket_{kToolBucket}, hand_{kToolHand};
};

TEST_F(BarsTest, TheToolboxShowsTheCurrentToolHoweverItWasChosen) {
  CToolboxBar& toolbox = Toolbox();
  ASSERT_TRUE(toolbox.CreateToolbox(frame_));
  frame_.showControlBar(toolbox, true, false);
  toolbox.floatAt({900, 100});
  SelectTool(pencil_);
  EXPECT_TRUE(toolbox.ShowsPressed(kToolPencil));

  const Rect bucket = toolbox.Buttons().at(kToolBucket).rect;
  click(toolbox, centre(bucket), {bucket.right + 30, bucket.top});
  EXPECT_EQ(ActiveTool(), &pencil_) << "a press released outside its button chooses nothing";
  EXPECT_FALSE(toolbox.ShowsPressed(kToolBucket));

  click(toolbox, centre(bucket), centre(bucket));
  EXPECT_EQ(ActiveTool(), &bucket_);
  EXPECT_TRUE(toolbox.ShowsPressed(kToolBucket));
  EXPECT_FALSE(toolbox.ShowsPressed(kToolPencil));

  ToolKeyDown('H', 0, false);
  ToolKeyUp('H', 0);
  EXPECT_EQ(toolbox.CurrentTool(), kToolHand) << "a tool chosen by its key shows in the toolbox";

  const Rect modeSwitch = toolbox.Buttons().at(CToolboxBar::kKeepModeSwitch).rect;
  click(toolbox, centre(modeSwitch), centre(modeSwitch));
  EXPECT_TRUE(KeepMode());
  EXPECT_EQ(toolbox.SwitchIcon(), kIconKeepModeOn);
  WorkKeyDown('E', 0, false);
  EXPECT_EQ(toolbox.SwitchIcon(), kIconKeepModeOff);
  WorkKeyDown('X', 0, false);
  EXPECT_EQ(toolbox.SwitchIcon(), kIconKeepModeOn);
}

// A pointer on a thumb reads back the value the thumb stands for: exactly
// at both ends, and within the one value a pixel spans between them, in
// both shapes.
TEST_F(BarsTest, SliderPositionsAndValuesAgreeInBothShapes) {
  CDoubleSliderBar& bar = BrushSliderBar();
  ASSERT_TRUE(bar.CreateSliderBar(frame_, 0x8010, "Brush Size"));
  for (const platform::Size shape : {CDoubleSliderBar::kAcross, CDoubleSliderBar::kUpright}) {
    bar.setBarSize(shape);
    const Rect a = bar.ActiveRect();
    for (int value = 0; value <= 255; ++value) {
      BrushPair().SetLower(0);
      BrushPair().SetUpper(value);
      BrushPair().SetLower(value);
      const int32_t at = bar.LowerPosition();
      const Point p = bar.Upright() ? Point{a.right - 2, at} : Point{at, a.bottom - 2};
      const int read = bar.ValueAt(p);
      if (value == 0 || value == 255)
        ASSERT_EQ(read, value) << (bar.Upright() ? "upright" : "across");
      else
        ASSERT_NEAR(read, value, 1) << (bar.Upright() ? "upright" : "across");
    }
    const Point start = bar.Upright() ? Point{a.left + 20, a.bottom - 6} : Point{a.left + 5, a.top + 10};
    EXPECT_EQ(bar.ValueAt(start), 0);
  }
}

TEST_F(BarsTest, DraggingTheThumbsKeepsThePairInOrderAndBelow256) {
  CDoubleSliderBar& bar = BrushSliderBar();
  ASSERT_TRUE(bar.CreateSliderBar(frame_, 0x8010, "Brush Size"));
  frame_.showControlBar(bar, true, false);
  bar.floatAt({900, 100});  // clear of the frame, which pointer input would hit first
  bar.setBarSize(CDoubleSliderBar::kAcross);
  const Rect a = bar.ActiveRect();
  click(bar, {a.left + 20, a.bottom - 2}, {a.right + 40, a.bottom - 2});
  EXPECT_EQ(BrushPair().lower(), 127) << "the lower thumb stops where the upper value reaches 255";
  EXPECT_EQ(BrushPair().upper(), 255);
  click(bar, {a.right - 10, a.top + 2}, {a.left - 40, a.top + 2});
  EXPECT_EQ(BrushPair().upper(), 127) << "the upper mark stops at the lower value";
  EXPECT_EQ(BrushPair().lower(), 127);
}

TEST_F(BarsTest, AFrameSizedAlongOrAcrossPicksTheShape) {
  CDoubleSliderBar& bar = ThresholdSliderBar();
  ASSERT_TRUE(bar.CreateSliderBar(frame_, 0x8011, "Threshold"));
  bar.floatAt({100, 100});
  EXPECT_EQ(bar.calcDynamicSize(104, platform::kLmHorz).cx, CDoubleSliderBar::kUpright.cx);
  EXPECT_EQ(bar.calcDynamicSize(105, platform::kLmHorz).cx, CDoubleSliderBar::kAcross.cx);
  EXPECT_EQ(bar.calcDynamicSize(105, platform::kLmLengthIsHeight).cx, CDoubleSliderBar::kUpright.cx);
  EXPECT_EQ(bar.calcDynamicSize(104, platform::kLmLengthIsHeight).cx, CDoubleSliderBar::kAcross.cx);
}

}  // namespace
