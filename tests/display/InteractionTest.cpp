// Views driven by scripted input: mouse messages reach the tools in window
// coordinates with the capture held, cursors follow the active tool, keys
// go to the application's handlers, and the pen's path draws by inversion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/CBezierPath.h"
#include "platform/Cursor.h"
#include "platform/Input.h"
#include "platform/SystemMetrics.h"
#include "tests/display/ViewTestSupport.h"
#include "tools/CHandTool.h"
#include "tools/ToolRegistry.h"

using display_testing::ViewFixture;
using WPoint = platform::Point;
namespace automation = platform::automation;

namespace {

// What the work window's view does: every mouse call goes to the tool stack.
class ToolView : public CMaskView {
 protected:
  void MouseDown(WPoint p, uint32_t flags) override { ToolMouseDown(*this, p, flags); }
  void MouseMove(WPoint p, uint32_t flags) override { ToolMouseMove(*this, p, flags); }
  void MouseUp(WPoint p, uint32_t flags) override { ToolMouseUp(*this, p, flags); }
};

class InteractionTest : public ViewFixture {
 protected:
  InteractionTest() {
    openView({200, 150});  // the frame
    view_.reset();
    tool_view_.CreateView(frame(), {0, 0, 200, 150}, 9);
    CMaskView::SetMainView(&tool_view_);
    automation::drainMessages();
  }
  ~InteractionTest() override {
    ResetToolStack();
    CMaskView::SetMainView(nullptr);
    CImageView::SetKeyHandlers({});
    tool_view_.destroy();
  }
  ToolView tool_view_;
};

TEST_F(InteractionTest, AScriptedHandDragScrollsTheViewAndReleasesTheCapture) {
  tool_view_.SetZoom(2);
  tool_view_.ScrollTo({100, 100, 300, 250}, false);
  SelectTool(TheHandTool());
  automation::mouseMove(tool_view_, {80, 80});
  automation::mouseDown(tool_view_, {80, 80});
  automation::drainMessages();
  EXPECT_EQ(platform::Window::capture(), &tool_view_);
  automation::mouseMove(tool_view_, {60, 70});
  automation::mouseMove(tool_view_, {50, 40});
  automation::mouseUp(tool_view_, {50, 40});
  automation::drainMessages();
  EXPECT_EQ(tool_view_.VisibleRect().topLeft(), (WPoint{130, 140})) << "the image followed the pointer";
  EXPECT_EQ(platform::Window::capture(), nullptr);
}

TEST_F(InteractionTest, ThePointerOverTheViewShowsTheActiveToolsCursor) {
  SelectTool(TheHandTool());
  automation::mouseMove(tool_view_, {30, 30});
  automation::drainMessages();
  EXPECT_EQ(platform::currentCursor().id, kToolHand);
  automation::keyDown(platform::kVkControl);
  automation::mouseMove(tool_view_, {31, 30});
  automation::drainMessages();
  EXPECT_EQ(platform::currentCursor().id, kToolZoom) << "Ctrl turns the hand into the zoom";
  automation::keyUp(platform::kVkControl);
  automation::drainMessages();
}

TEST_F(InteractionTest, KeysGoToTheApplicationsHandlersWithTheModifierWord) {
  std::vector<std::string> seen;
  CImageView::SetKeyHandlers({[&](uint32_t key, uint32_t flags, bool wasDown) {
                                seen.push_back("down " + std::to_string(key) + " " + std::to_string(flags) +
                                               (wasDown ? " repeat" : ""));
                              },
                              [&](uint32_t key, uint32_t flags) {
                                seen.push_back("up " + std::to_string(key) + " " + std::to_string(flags));
                              }});
  tool_view_.setFocus();
  // The handlers read the asynchronous key state: each key is handled
  // before the next one changes it.
  for (auto [key, down] : std::vector<std::pair<uint32_t, bool>>{
           {platform::kVkShift, true}, {'H', true}, {'H', true}, {'H', false}, {platform::kVkShift, false}}) {
    if (down)
      automation::keyDown(key);
    else
      automation::keyUp(key);
    automation::drainMessages();
  }
  ASSERT_GE(seen.size(), 5u);
  EXPECT_EQ(seen[1], "down 72 5") << "Shift (4) and the left button up (1)";
  EXPECT_EQ(seen[2], "down 72 5 repeat");
  EXPECT_EQ(seen[3], "up 72 5");
}

TEST_F(InteractionTest, ThePensPathDrawsByInversionInTheView) {
  paintNow();
  tool_view_.SetZoom(1);
  tool_view_.invalidate(true);
  tool_view_.updateNow();
  const platform::Framebuffer before = tool_view_.framebuffer();
  CBezierPath path;
  for (const BezierPoint& p : {BezierPoint{20, 20}, BezierPoint{120, 30}, BezierPoint{90, 110}})
    path.AppendNodeData(nullptr, BezierNode{0, p, {p.x - 10, p.y}, {p.x + 10, p.y + 5}});
  path.SetClosed(nullptr, true);
  path.DrawAll(tool_view_);
  EXPECT_FALSE(tool_view_.framebuffer().samePixels(before));
  path.DrawAll(tool_view_);
  EXPECT_TRUE(tool_view_.framebuffer().samePixels(before)) << "drawing twice restores the screen";
}

TEST_F(InteractionTest, TheBackgroundFramesTheContentAndFillsTheRestWithTheWorkspaceColour) {
  tool_view_.SetZoom(0.5);  // 150 x 100 in 200 x 150: centred
  tool_view_.ScrollTo({0, 0, 200, 150}, false);
  tool_view_.invalidate(true);
  tool_view_.updateNow();
  const platform::Framebuffer& pixels = tool_view_.framebuffer();
  EXPECT_EQ(pixels.pixel(24, 60), platform::systemColour(platform::kColourWindowText)) << "one pixel outside";
  EXPECT_EQ(pixels.pixel(5, 5), platform::systemColour(platform::kColourAppWorkspace));
  EXPECT_NE(pixels.pixel(60, 60), platform::systemColour(platform::kColourAppWorkspace)) << "the image";
}

}  // namespace
