// The work window's main view and a navigator's view together: the box
// follows the main view, the navigator calls up its tool, and the main
// view ends it again.
#include <gtest/gtest.h>

#include "display/CMainView.h"
#include "display/CNavigatorTool.h"
#include "platform/Time.h"
#include "tests/display/ViewTestSupport.h"
#include "tools/CHandTool.h"

using display_testing::ViewFixture;
using WPoint = platform::Point;
using WRect = platform::Rect;

namespace {

class PlainTool : public CTool {
 public:
  int32_t CursorResourceId() const override { return 3250; }
};

class NavigatorViewTest : public ViewFixture {
 protected:
  NavigatorViewTest() {
    openView({400, 300});  // the frame; its own view is not used
    view_.reset();
    main_.CreateView(frame(), {0, 0, 200, 150}, 1);
    navigator_.CreateView(frame(), {220, 0, 370, 100}, 2);
    navigator_.ZoomToFit();
    main_.SetZoom(1);
    main_.ScrollTo({0, 0, 200, 150}, false);
    main_.BecomeMainView();
    paintNow();
    main_.updateNow();
    navigator_.updateNow();
  }
  ~NavigatorViewTest() override {
    ResetToolStack();
    navigator_.destroy();
    main_.destroy();
  }

  // Whether the navigator's box corner (one pixel outside the area) shows
  // inverted pixels compared with the image under it.
  platform::Colour navigatorPixel(WPoint image) {
    navigator_.ImageToWindowPoint(image);
    const WPoint client = navigator_.WindowToClient(image);
    return navigator_.framebuffer().pixel(client.x, client.y);
  }

  CMainView main_;
  CNavigatorView navigator_;
  PlainTool pencil_;
};

TEST_F(NavigatorViewTest, TheBoxFollowsTheMainViewsScrolling) {
  EXPECT_EQ(CNavigatorView::VisibleArea(), (WRect{0, 0, 200, 150}));
  // The box of (0, 0)-(200, 150) at 1/2 runs along window (99, y) and (100, y)
  // just right of the area.
  const platform::Colour boxed = navigatorPixel({200, 40});
  main_.ScrollTo({60, 20, 260, 170}, true);
  EXPECT_EQ(CNavigatorView::VisibleArea(), (WRect{60, 20, 260, 170}));
  const platform::Colour freed = navigatorPixel({200, 40});
  EXPECT_EQ(freed, boxed ^ 0xFFFFFFu) << "the old box is erased";
  navigator_.InvalidateWindowRect(navigator_.VisibleWindowRect());
  navigator_.DrawIdle(platform::tickCount() + 1000);
  EXPECT_EQ(navigatorPixel({200, 40}), freed) << "a repaint draws the image there and no box";
  const platform::Colour boxedAgain = navigatorPixel({260, 80});
  navigator_.InvertAreaFrame(CNavigatorView::VisibleArea());
  EXPECT_EQ(navigatorPixel({260, 80}), boxedAgain ^ 0xFFFFFFu) << "the new box was drawn once after the repaint";
}

TEST_F(NavigatorViewTest, ThePointerInANavigatorCallsUpItsToolAndTheMainViewEndsIt) {
  SelectTool(pencil_);
  navigator_.MouseMove({10, 10}, 0);
  EXPECT_EQ(ActiveTool(), &TheNavigatorTool());
  main_.MouseMove({10, 10}, 0);
  EXPECT_EQ(ActiveTool(), &pencil_) << "the previous tool is back";

  SelectTool(TheHandTool());
  navigator_.MouseMove({10, 10}, 0);
  EXPECT_EQ(ActiveTool(), &TheHandTool()) << "the hand works in navigators as it is";
}

TEST_F(NavigatorViewTest, DraggingTheBoxScrollsTheMainView) {
  SelectTool(pencil_);
  navigator_.MouseMove({50, 40}, 0);
  navigator_.MouseDown({50, 40}, platform::kMkLButton);
  navigator_.MouseMove({60, 45}, platform::kMkLButton);
  navigator_.MouseUp({60, 45}, 0);
  EXPECT_EQ(main_.VisibleRect().topLeft(), (WPoint{20, 10}));
  EXPECT_EQ(CNavigatorView::VisibleArea(), (WRect{20, 10, 220, 160}));
}

}  // namespace
