// The hand and the zoom tool, the tool registry and the catalogue's keys.
#include <gtest/gtest.h>

#include "display/CNavigatorTool.h"
#include "platform/Cursor.h"
#include "tests/display/ViewTestSupport.h"
#include "tools/CHandTool.h"
#include "tools/ToolRegistry.h"
#include "tools/CZoomTool.h"

using display_testing::ViewFixture;
using WPoint = platform::Point;
using WRect = platform::Rect;

namespace {

constexpr uint32_t kLeft = platform::kMkLButton;
constexpr uint32_t kCtrl = platform::kMkControl;
constexpr uint32_t kAlt = 0x40;

class PlainTool : public CTool {
 public:
  int32_t CursorResourceId() const override { return 3250; }
};

class ViewToolsTest : public ViewFixture {
 protected:
  ViewToolsTest() {
    openView({200, 150});
    CMaskView::SetMainView(view_.get());
  }
  ~ViewToolsTest() override {
    ResetToolStack();
    CMaskView::SetMainView(nullptr);
  }
  CMaskView& view() { return *view_; }

  // Press, drag and release with the active tool.
  void drag(WPoint from, WPoint to, uint32_t flags = 0) {
    ToolMouseMove(view(), from, flags);
    ToolMouseDown(view(), from, flags | kLeft);
    ToolMouseMove(view(), to, flags | kLeft);
    ToolMouseUp(view(), to, flags);
  }

  PlainTool pencil_;
};

TEST_F(ViewToolsTest, AZoomDragOfSixBySixIsAClickThatZoomsInOneStep) {
  SelectTool(TheZoomTool());
  drag({50, 50}, {55, 55});
  EXPECT_DOUBLE_EQ(view().Zoom(), 2.0);
  const WRect visible = view().VisibleRect();
  EXPECT_EQ((visible.left + visible.right) / 2, 53 * 2) << "around the clicked point";
}

TEST_F(ViewToolsTest, AZoomDragOfSevenByOneZoomsToTheRectangle) {
  SelectTool(TheZoomTool());
  drag({50, 50}, {56, 50});
  EXPECT_DOUBLE_EQ(view().Zoom(), 20.0) << "a 7 x 1 rectangle fits at 28, clamped to 20";
}

TEST_F(ViewToolsTest, TheZoomToolWithAltZoomsOutAndShowsItsOtherCursor) {
  SelectTool(TheZoomTool());
  ToolMouseMove(view(), {10, 10}, kAlt);
  EXPECT_EQ(TheZoomTool().GetCursorId(), kCursorZoomOut);
  drag({10, 10}, {80, 80}, kAlt);
  EXPECT_DOUBLE_EQ(view().Zoom(), 0.5);
}

TEST_F(ViewToolsTest, DoubleClickingTheZoomButtonShowsOneToOneAndTheHandButtonFits) {
  view().SetZoom(0.25);
  SelectTool(TheZoomTool());
  SelectTool(TheZoomTool());
  EXPECT_DOUBLE_EQ(view().Zoom(), 1.0);
  platform::automation::advanceTime(1000);
  SelectTool(TheHandTool());
  SelectTool(TheHandTool());
  EXPECT_DOUBLE_EQ(view().Zoom(), 0.5) << "300 x 200 fits 200 x 150 at 1/2";
}

TEST_F(ViewToolsTest, TheHandWithCtrlShowsTheZoomCursorAndAClickZoomsIn) {
  SelectTool(TheHandTool());
  ToolMouseMove(view(), {30, 30}, 0);
  EXPECT_EQ(TheHandTool().GetCursorId(), kToolHand);
  ToolMouseMove(view(), {30, 30}, kCtrl);
  EXPECT_TRUE(TheHandTool().ZoomMode());
  EXPECT_EQ(TheHandTool().GetCursorId(), kToolZoom);
  drag({30, 30}, {30, 30}, kCtrl);
  EXPECT_DOUBLE_EQ(view().Zoom(), 2.0);
  ToolMouseMove(view(), {30, 30}, 0);
  EXPECT_FALSE(TheHandTool().ZoomMode()) << "back to scrolling once Ctrl is up";
}

TEST_F(ViewToolsTest, DraggingTheHandMovesTheImageWithThePointer) {
  view().SetZoom(2);
  view().ScrollTo({100, 100, 300, 250}, false);
  SelectTool(TheHandTool());
  ToolMouseMove(view(), {50, 50}, 0);
  ToolMouseDown(view(), {50, 50}, kLeft);
  ToolMouseMove(view(), {40, 30}, kLeft);
  EXPECT_EQ(view().VisibleRect().topLeft(), (WPoint{110, 120}));
  // The view moved under the pointer: the same screen spot is the anchor
  // again, in the shifted window coordinates.
  ToolMouseMove(view(), {50, 50}, kLeft);
  EXPECT_EQ(view().VisibleRect().topLeft(), (WPoint{110, 120}));
  ToolMouseUp(view(), {50, 50}, 0);
}

TEST_F(ViewToolsTest, HandDisplacementsFoldAcrossTheOriginWrap) {
  EXPECT_EQ(CHandTool::Fold(-16380), 4);
  EXPECT_EQ(CHandTool::Fold(16380), -4);
  EXPECT_EQ(CHandTool::Fold(-8192), -8192);
  EXPECT_EQ(CHandTool::Fold(8191), 8191);
}

TEST_F(ViewToolsTest, TappingTheHandsKeyLeavesThePreviousToolCurrent) {
  SelectTool(pencil_);
  const WRect visible = view().VisibleRect();
  SelectSpringTool(TheHandTool());
  EXPECT_EQ(ActiveTool(), &TheHandTool());
  ReleaseSpringTool(TheHandTool());
  EXPECT_EQ(ActiveTool(), &pencil_);
  EXPECT_EQ(view().VisibleRect(), visible) << "nothing scrolled";
}

TEST_F(ViewToolsTest, HoldingTheHandsKeyToDragReturnsToThePreviousTool) {
  view().SetZoom(2);
  SelectTool(pencil_);
  SelectSpringTool(TheHandTool());
  drag({60, 60}, {40, 40});
  ReleaseSpringTool(TheHandTool());
  EXPECT_EQ(ActiveTool(), &pencil_);
  EXPECT_EQ(view().VisibleRect().left, 20);
}

TEST_F(ViewToolsTest, TappingTheZoomKeyKeepsTheZoomToolSelectedAlone) {
  SelectTool(pencil_);
  SelectSpringTool(TheZoomTool());
  ReleaseSpringTool(TheZoomTool());
  EXPECT_EQ(ActiveTool(), &TheZoomTool());
  EXPECT_EQ(TheZoomTool().Next(), nullptr);
}

TEST_F(ViewToolsTest, TheRegistryFindsEveryViewToolByItsId) {
  EXPECT_EQ(FindTool(kToolHand), &TheHandTool());
  EXPECT_EQ(FindTool(kToolZoom), &TheZoomTool());
  EXPECT_EQ(FindTool(kToolNavigator), static_cast<CTool*>(&TheNavigatorTool()));
  EXPECT_EQ(FindTool(4711), nullptr);
  for (int32_t id : std::vector<int32_t>{3220, 3221, 3230, 3231, 3240, 3250, 3260, 3270, 3280, 3290, 3300, 3301, 3302,
                                         3303, 3304, 3310, 3311, 3320, 3321, 3322}) {
    const platform::Cursor cursor = platform::loadCursor(id);
    ASSERT_FALSE(cursor.image.isNull()) << "cursor " << id << " is registered";
    EXPECT_EQ(cursor.image.width(), 16);
  }
}

TEST_F(ViewToolsTest, TheEyedropperCursorsCarryGreenAndRedMarks) {
  auto hasColour = [](int32_t id, platform::Colour colour) {
    const platform::Bitmap image = platform::loadCursor(id).image;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if ((image.pixel(x, y) & 0xFFFFFF) == colour) return true;
    return false;
  };
  EXPECT_TRUE(hasColour(kToolKeepEyedropper, platform::rgb(0, 170, 0)));
  EXPECT_TRUE(hasColour(kCursorKeepEyedropperShift, platform::rgb(0, 170, 0)));
  EXPECT_TRUE(hasColour(kToolDropEyedropper, platform::rgb(255, 0, 0)));
  EXPECT_TRUE(hasColour(kCursorDropEyedropperShift, platform::rgb(255, 0, 0)));
  EXPECT_FALSE(hasColour(kToolPencil, platform::rgb(0, 170, 0))) << "the others are black and white";
}

TEST_F(ViewToolsTest, KeysSelectTheCatalogueTools) {
  EXPECT_EQ(ToolIdForKey(' ', 0), kToolHand);
  EXPECT_EQ(ToolIdForKey('h', 0), kToolHand);
  EXPECT_EQ(ToolIdForKey(202, 0), kToolHand);
  EXPECT_EQ(ToolIdForKey('Z', 0), kToolZoom);
  EXPECT_EQ(ToolIdForKey(189, 0), kToolZoom);
  EXPECT_EQ(ToolIdForKey('Z', 8), 0) << "Ctrl+Z is Undo";
  EXPECT_EQ(ToolIdForKey('B', 0), kToolPencil);
  EXPECT_EQ(ToolIdForKey('S', 0), 0);
  EXPECT_EQ(ToolIdForKey('S', 8 | 4), kToolEdgeFill);
  EXPECT_EQ(ToolIdForKey('Q', 0), 0);
}

TEST_F(ViewToolsTest, ToolKeysSelectOnPressAndEndAHeldToolOnRelease) {
  SelectTool(pencil_);
  EXPECT_TRUE(ToolKeyDown(' ', 1, false));
  EXPECT_EQ(ActiveTool(), &TheHandTool());
  EXPECT_TRUE(ToolKeyDown(' ', 1, true)) << "auto-repeat is a tool key too, and changes nothing";
  EXPECT_EQ(ActiveTool(), &TheHandTool());
  EXPECT_TRUE(ToolKeyUp(' ', 1));
  EXPECT_EQ(ActiveTool(), &pencil_) << "the tapped hand gave way";

  EXPECT_TRUE(ToolKeyDown('Z', 1, false));
  EXPECT_TRUE(ToolKeyUp('Z', 1));
  EXPECT_EQ(ActiveTool(), &TheZoomTool()) << "the tapped zoom stays";
  EXPECT_FALSE(ToolKeyDown('Q', 1, false));
  EXPECT_FALSE(ToolKeyUp('Q', 1));
}

TEST_F(ViewToolsTest, ActivatingAViewToolTellsTheToolbox) {
  std::vector<int32_t> announced;
  SetToolActivationListener([&](int32_t id) { announced.push_back(id); });
  SelectTool(TheZoomTool());
  SelectSpringTool(TheHandTool());
  SetToolActivationListener({});
  EXPECT_EQ(announced, (std::vector<int32_t>{kToolZoom, kToolHand}));
}

}  // namespace
