// The tool stack, mouse routing, feedback drawing and the navigator tool.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "display/CNavigatorTool.h"
#include "display/FeedbackKit.h"
#include "platform/Automation.h"
#include "platform/Input.h"
#include "platform/Time.h"
#include "platform/Resources.h"
#include "platform/WindowDC.h"
#include "tests/display/ViewTestSupport.h"

using display_testing::ViewFixture;
using WPoint = platform::Point;
using WRect = platform::Rect;

namespace {

class RecordingTool : public CTool {
 public:
  explicit RecordingTool(int32_t id) : id_(id) {}
  int32_t CursorResourceId() const override { return id_; }
  void Reselect(bool doubleClick, bool force) override {
    reselects.emplace_back(doubleClick, force);
    CTool::Reselect(doubleClick, force);
  }
  void ButtonUp() override {
    ++buttonUps;
    CTool::ButtonUp();
  }
  void Activate() override { ++activations; }
  bool dragging() const { return Dragging(); }

  std::vector<std::pair<bool, bool>> reselects;
  int buttonUps = 0;
  int activations = 0;

 private:
  int32_t id_;
};

class ToolStackTest : public ViewFixture {
 protected:
  // The tools go before the fixture's view: nothing may reach them then.
  ~ToolStackTest() override { ResetToolStack(); }
  RecordingTool pencil{3250}, hand{3310}, zoom{3320};
};

TEST_F(ToolStackTest, ASpringToolThatWasOnlyTappedStaysSelectedAlone) {
  SelectTool(pencil);
  SelectSpringTool(hand);
  EXPECT_EQ(ActiveTool(), &hand);
  EXPECT_EQ(hand.Next(), &pencil);
  ReleaseSpringTool(hand);
  EXPECT_EQ(ActiveTool(), &hand);
  EXPECT_EQ(hand.Next(), nullptr) << "the previous tool left the stack";
  ASSERT_EQ(hand.reselects.size(), 1u);
  EXPECT_EQ(hand.reselects[0], std::make_pair(false, true));
}

TEST_F(ToolStackTest, ASpringToolUsedForADragReturnsToThePreviousTool) {
  CMaskView& view = openView();
  SelectTool(pencil);
  const int pencilActivations = pencil.activations;
  SelectSpringTool(hand);
  ToolMouseDown(view, {10, 10}, platform::kMkLButton);
  ToolMouseMove(view, {30, 20}, platform::kMkLButton);
  ToolMouseUp(view, {30, 20}, 0);
  ReleaseSpringTool(hand);
  EXPECT_EQ(ActiveTool(), &pencil);
  EXPECT_EQ(pencil.activations, pencilActivations + 1) << "the previous tool is activated again";
  EXPECT_FALSE(ToolInStack(hand));
}

TEST_F(ToolStackTest, SelectingTheActiveToolWithinTheDoubleClickTimeIsADoubleClick) {
  SelectTool(zoom);
  platform::automation::advanceTime(100);
  SelectTool(zoom);
  platform::automation::advanceTime(platform::doubleClickTime() + 1);
  SelectTool(zoom);
  ASSERT_EQ(zoom.reselects.size(), 2u);
  EXPECT_EQ(zoom.reselects[0], std::make_pair(true, false));
  EXPECT_EQ(zoom.reselects[1], std::make_pair(false, false));
}

TEST_F(ToolStackTest, SelectSpringToolOfAToolDeeperInTheStackPopsBackToIt) {
  SelectTool(pencil);
  SelectSpringTool(hand);
  SelectSpringTool(zoom);
  EXPECT_EQ(ActiveTool(), &zoom);
  SelectSpringTool(pencil);
  EXPECT_EQ(ActiveTool(), &pencil);
  EXPECT_FALSE(ToolInStack(hand));
  EXPECT_FALSE(ToolInStack(zoom));
}

TEST_F(ToolStackTest, AButtonReleaseWithoutAPressDoesNothing) {
  CMaskView& view = openView();
  SelectTool(pencil);
  EXPECT_FALSE(ToolMouseUp(view, {5, 5}, 0));
  EXPECT_EQ(pencil.buttonUps, 0);
  EXPECT_FALSE(pencil.WasUsed());
}

TEST_F(ToolStackTest, LosingTheFocusEndsTheDragInThatView) {
  CMaskView& view = openView();
  SelectTool(pencil);
  ToolMouseDown(view, {10, 10}, platform::kMkLButton);
  EXPECT_TRUE(pencil.dragging());
  view.send(platform::kWmKillFocus);
  EXPECT_FALSE(pencil.dragging());
  EXPECT_EQ(pencil.buttonUps, 0) << "cancelled, not released";
}

TEST_F(ToolStackTest, RepaintingDuringADragKeepsTheRubberBandVisible) {
  CMaskView& view = openView();
  paintNow();
  const platform::Framebuffer& pixels = view.framebuffer();
  const platform::Colour corner = pixels.pixel(20, 20), inside = pixels.pixel(40, 30);
  SelectTool(pencil);
  ToolMouseDown(view, {20, 20}, platform::kMkLButton);
  ToolMouseMove(view, {60, 50}, platform::kMkLButton);
  const platform::Colour banded = pixels.pixel(20, 20);
  EXPECT_EQ(banded, corner ^ 0xFFFFFFu) << "the band inverts its outline";
  view.InvalidateWindowRect({0, 0, 200, 150});
  view.DrawIdle(platform::tickCount() + 200);
  EXPECT_EQ(pixels.pixel(20, 20), banded) << "drawn once more after the repaint, not twice";
  EXPECT_EQ(pixels.pixel(40, 30), inside);
  ToolMouseUp(view, {60, 50}, 0);
  EXPECT_EQ(pixels.pixel(20, 20), corner) << "the release erases the band";
  EXPECT_EQ(pixels.pixel(60, 50), pixels.pixel(60, 50));
}

TEST_F(ToolStackTest, InvertingFiguresTwiceRestoresThePixels) {
  CMaskView& view = openView();
  paintNow();
  const platform::Framebuffer before = view.framebuffer();
  {
    StFeedbackDC kit(view);
    StInvertMode invert(kit.dc());
    for (int pass = 0; pass < 2; ++pass) {
      FeedbackRectangle(kit.dc(), {5, 5, 50, 40});
      FeedbackEllipse(kit.dc(), {10, 10, 80, 60});
      FeedbackMoveTo(kit.dc(), {0, 0});
      FeedbackLineTo(kit.dc(), {90, 70});
    }
    EXPECT_EQ(kit.dc().rop2(), platform::kR2Not);
  }
  EXPECT_TRUE(view.framebuffer().samePixels(before));
  EXPECT_EQ(CurrentFeedbackDC(), nullptr) << "the kit's own context is released";
}

TEST_F(ToolStackTest, FeedbackPatternsAreTwoByTwoBitmaps) {
  auto setBits = [](int id) {
    const platform::Bitmap b = platform::resources::loadBitmap(id);
    EXPECT_TRUE(b.isMonochrome()) << id;
    int n = 0;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x) n += b.monochromeBit(x, y);
    return n;
  };
  EXPECT_EQ(setBits(kPatternChecker), 2);
  EXPECT_EQ(setBits(kPatternQuarter), 1);
  EXPECT_EQ(setBits(kPatternThreeQuarters), 3);
  EXPECT_EQ(setBits(kPatternSolid), 4);
  const platform::Bitmap checker = platform::resources::loadBitmap(kPatternChecker);
  EXPECT_NE(checker.monochromeBit(0, 0), checker.monochromeBit(0, 1)) << "alternating rows";
}

class NavigatorToolTest : public ViewFixture {
 protected:
  NavigatorToolTest() {
    openView({200, 150});
    view_->SetZoom(2);
    view_->ScrollTo({100, 60, 300, 210}, false);
    CMaskView::SetMainView(view_.get());
    navigator_.CreateView(frame(), {0, 0, 150, 100}, 7);
    navigator_.SetZoom(0.5);
    navigator_.ScrollTo({0, 0, 150, 100}, false);
    SelectTool(tool_);
  }
  ~NavigatorToolTest() override {
    ResetToolStack();
    CMaskView::SetMainView(nullptr);
    navigator_.destroy();
  }

  CMaskView navigator_;
  CNavigatorTool tool_;
};

TEST_F(NavigatorToolTest, OverTheBoxTheToolShowsTheGrabCursorAndDragsTheMainView) {
  // The main view shows image (50, 30)-(150, 105): in the navigator (25, 15)-(75, 53).
  ToolMouseMove(navigator_, {40, 30}, 0);
  EXPECT_TRUE(tool_.BoxMode());
  EXPECT_EQ(tool_.GetCursorId(), CNavigatorTool::kBoxCursor);
  ToolMouseDown(navigator_, {40, 30}, platform::kMkLButton);
  ToolMouseMove(navigator_, {50, 35}, platform::kMkLButton);
  EXPECT_EQ(view_->VisibleRect().left, 100 + 40) << "10 navigator pixels are 20 image pixels, 40 at zoom 2";
  EXPECT_EQ(view_->VisibleRect().top, 60 + 20);
  ToolMouseUp(navigator_, {50, 35}, 0);
  EXPECT_EQ(view_->VisibleRect().left, 140);
}

TEST_F(NavigatorToolTest, ARubberBandOutsideTheBoxFitsTheMainViewToIt) {
  ToolMouseMove(navigator_, {100, 70}, 0);
  EXPECT_FALSE(tool_.BoxMode());
  EXPECT_EQ(tool_.GetCursorId(), CNavigatorTool::kId);
  ToolMouseDown(navigator_, {100, 70}, platform::kMkLButton);
  ToolMouseMove(navigator_, {124, 89}, platform::kMkLButton);
  ToolMouseUp(navigator_, {124, 89}, 0);
  EXPECT_DOUBLE_EQ(view_->Zoom(), 3.0) << "image (200, 140)-(249, 180) fits 150 / 40 → 3";
  const WRect visible = view_->VisibleRect();
  EXPECT_EQ((visible.left + visible.right) / 2, 224 * 3);
}

TEST_F(NavigatorToolTest, ReleasingTheNavigatorToolReturnsToThePreviousTool) {
  RecordingTool pencil(3250);
  SelectTool(pencil);
  SelectSpringTool(tool_);
  ReleaseSpringTool(tool_);
  EXPECT_EQ(ActiveTool(), &pencil) << "the navigator tool counts as used from the start";
  ResetToolStack();
}

}  // namespace
