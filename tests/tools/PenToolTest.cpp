// The pen in a view, driven by scripted pointer input: the
// hover preview, the cursor states, the edits each click and drag makes,
// undo and redo step by step, and the path on screen, which must always be
// what a full repaint shows.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "display/CWorkDocument.h"
#include "image/BufferImage.h"
#include "platform/Automation.h"
#include "platform/Cursor.h"
#include "platform/Input.h"
#include "tests/display/ViewTestSupport.h"
#include "tools/CPenTool.h"
#include "tools/KeepMode.h"
#include "tools/SliderValues.h"

namespace {

using display_testing::ViewFixture;
using WPoint = platform::Point;
namespace automation = platform::automation;

constexpr PixelLayout kOneByte{1, 1};

class ToolView : public CMaskView {
 protected:
  void MouseDown(WPoint p, uint32_t flags) override { ToolMouseDown(*this, p, flags); }
  void MouseMove(WPoint p, uint32_t flags) override { ToolMouseMove(*this, p, flags); }
  void MouseUp(WPoint p, uint32_t flags) override { ToolMouseUp(*this, p, flags); }
};

// What the document holds after a step.
struct Snapshot {
  std::vector<BezierNode> nodes;
  bool closed;
  std::vector<uint8_t> mask;
  friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

class PenToolTest : public ViewFixture {
 protected:
  PenToolTest() : mask_(kOneByte, {0, 0, 200, 300}, {128, 128}, 0) {
    openView({200, 150});
    view_.reset();
    view().CreateView(frame(), {0, 0, 200, 130}, 9);
    elsewhere_.create([this] {
      platform::CreateParams p;
      p.style = platform::kWsChild | platform::kWsVisible;
      p.parent = &frame();
      p.rect = {0, 130, 200, 150};
      return p;
    }());
    CMaskView::SetMainView(&view());
    view().SetZoom(1);
    view().ScrollTo({0, 0, 200, 130}, false);  // window pixels are image pixels
    document().SetWorkImages(&mask_, &mask_);
    BrushPair().SetLower(0);
    BrushPair().SetUpper(0);  // no softness: the fill is the exact coverage
    SetKeepMode(true);
    flushPaint();
    blank_ = view().framebuffer();
    SelectTool(ThePenTool());
  }
  ~PenToolTest() override {
    ResetToolStack();
    CMaskView::SetMainView(nullptr);
    view().destroy();
    elsewhere_.destroy();
    BrushPair().SetLower(64);
    BrushPair().SetUpper(192);
    SetKeepMode(false);
  }

  ToolView& view() { return tool_view_; }
  CWorkDocument& document() { return *view().Document(); }
  CBezierPath& path() { return document().Path(); }

  void move(int x, int y) {
    automation::mouseMove(view(), {x, y});
    automation::drainMessages();
  }
  void drag(std::vector<WPoint> points) {
    move(points[0].x, points[0].y);
    automation::mouseDown(view(), points[0]);
    automation::drainMessages();
    for (const WPoint& p : points) move(p.x, p.y);
    automation::mouseUp(view(), points.back());
    automation::drainMessages();
  }
  void click(int x, int y) { drag({{x, y}}); }
  // The pointer goes over another window: the preview goes.
  void leave() {
    automation::mouseMove(elsewhere_, {50, 5});
    automation::drainMessages();
  }
  void withAlt(const std::function<void()>& action) {
    automation::keyDown(platform::kVkMenu);
    action();
    automation::keyUp(platform::kVkMenu);
    automation::drainMessages();
  }
  int32_t cursor() const { return platform::currentCursor().id; }

  Snapshot snapshot() {
    Snapshot s{path().nodes(), path().closed(), std::vector<uint8_t>(200 * 300)};
    mask_.ReadRect(mask_.bounds(), {s.mask.data(), 1, 300});
    return s;
  }
  void flushPaint() {
    automation::drainMessages();
    view().updateNow();
  }
  // The screen as it is, and as a repaint of everything makes it.
  void expectScreenIsARepaint(const char* when) {
    flushPaint();
    const platform::Framebuffer shown = view().framebuffer();
    view().invalidate(true);
    view().updateNow();
    EXPECT_TRUE(shown.samePixels(view().framebuffer())) << when;
  }

  BufferImage mask_;
  ToolView tool_view_;
  platform::Window elsewhere_;
  platform::Framebuffer blank_;
};

// A path drawn with its preview, edited, closed and filled; then every
// step undone and redone: each gives back exactly the path and mask it had,
// and the screen always shows what a repaint would.
TEST_F(PenToolTest, EveryStepUndoesAndRedoesExactlyAndTheScreenFollows) {
  std::vector<Snapshot> states{snapshot()};
  const auto step = [&](const std::function<void()>& action, const char* what) {
    action();
    leave();
    states.push_back(snapshot());
    EXPECT_EQ(document().history().size(), states.size() - 1) << what;
    expectScreenIsARepaint(what);
  };
  move(40, 40);
  move(30, 30);
  EXPECT_EQ(cursor(), CPenTool::kAddNode);
  ASSERT_EQ(path().size(), 1u) << "the node a click would add, at the pointer";
  EXPECT_EQ(path().node(0).anchor, (BezierPoint{30, 30}));
  EXPECT_FALSE(document().CanUndo()) << "a preview is no step";
  step([&] { click(30, 30); }, "corner node");
  move(31, 30);
  EXPECT_EQ(path().size(), 1u) << "no preview over a node";
  withAlt([&] { move(30, 31); });
  EXPECT_EQ(cursor(), CPenTool::kMovePointAlt) << "the first node of a one-node path is no closing point";
  step([&] { drag({{150, 20}, {160, 30}, {170, 40}}); }, "smooth node, handles pulled out");
  EXPECT_EQ(path().node(1).out, (BezierPoint{170, 40}));
  EXPECT_EQ(path().node(1).in, (BezierPoint{130, 0})) << "the incoming handle mirrored";
  move(120, 90);
  EXPECT_EQ(path().size(), 3u) << "the next segment runs to the pointer";
  expectScreenIsARepaint("with the preview");
  step([&] { click(140, 110); }, "third node");
  move(31, 31);
  EXPECT_EQ(cursor(), CPenTool::kClosePath);
  EXPECT_TRUE(path().closed()) << "the closing segment is shown";
  step([&] { click(31, 31); }, "closed on the first node");
  EXPECT_EQ(path().node(0).anchor, (BezierPoint{30, 30})) << "a click moves nothing";
  move(90, 60);
  EXPECT_EQ(cursor(), CPenTool::kFillPath);
  EXPECT_EQ(path().size(), 3u) << "no preview on a closed path";
  step([&] { drag({{140, 110}, {135, 115}, {130, 120}}); }, "anchor moved with its handles");
  step([&] { withAlt([&] { drag({{170, 40}, {180, 40}}); }); }, "handle broken off with Alt");
  EXPECT_FALSE(path().node(1).smooth);
  EXPECT_EQ(path().node(1).in, (BezierPoint{130, 0})) << "the other handle stays";
  step([&] { click(90, 60); }, "filled");
  EXPECT_TRUE(path().empty());
  EXPECT_EQ(states.back().mask[60 * 300 + 90], 255);

  for (size_t i = states.size() - 1; i-- > 0;) {
    document().Undo();
    EXPECT_TRUE(snapshot() == states[i]) << "undo to state " << i;
  }
  flushPaint();
  EXPECT_TRUE(view().framebuffer().samePixels(blank_)) << "nothing of the path is left on screen";
  for (size_t i = 1; i < states.size(); ++i) {
    document().Redo();
    EXPECT_TRUE(snapshot() == states[i]) << "redo to state " << i;
  }
}

TEST_F(PenToolTest, HandlesMirrorKeepTheirLengthOrBreakByTheModifiers) {
  path().AppendNodeData(&view(), {1, {60, 60}, {50, 60}, {70, 60}});
  path().AppendNodeData(&view(), {0, {150, 60}, {140, 50}, {160, 70}});
  path().AppendNodeData(&view(), {1, {150, 110}, {140, 110}, {160, 110}});

  drag({{70, 60}, {60, 80}});  // the outgoing handle, 20 below the anchor
  EXPECT_EQ(path().node(0).in, (BezierPoint{60, 50})) << "without Alt: turned away, length 10 kept";
  withAlt([&] { drag({{60, 80}, {60, 90}}); });
  EXPECT_FALSE(path().node(0).smooth) << "Alt on a handle toggles the smoothness";
  EXPECT_EQ(path().node(0).in, (BezierPoint{60, 50})) << "a corner's other handle stays";
  withAlt([&] { drag({{60, 90}, {60, 100}}); });
  EXPECT_TRUE(path().node(0).smooth);
  EXPECT_EQ(path().node(0).in, (BezierPoint{60, 20})) << "smooth again: mirrored";

  withAlt([&] { click(150, 60); });
  EXPECT_EQ(path().node(1), (BezierNode{1, {150, 60}, {150, 60}, {150, 60}})) << "Alt on an anchor collapses";
  withAlt([&] { drag({{150, 110}, {170, 120}}); });
  EXPECT_EQ(path().node(2).out, (BezierPoint{170, 120})) << "Alt on the open end pulls out its outgoing handle";
  EXPECT_EQ(path().node(2).in, (BezierPoint{140, 110})) << "broken off from the incoming one";
  EXPECT_FALSE(path().node(2).smooth);

  // Esc cancels a drag; an undo during a drag takes the drag's edit back
  // and the rest of the drag moves nothing.
  const Snapshot before = snapshot();
  move(60, 60);
  automation::mouseDown(view(), {60, 60});
  move(80, 80);
  EXPECT_EQ(path().node(0).anchor, (BezierPoint{80, 80}));
  CancelToolOperation();
  EXPECT_TRUE(snapshot() == before) << "Esc";
  automation::mouseUp(view(), {80, 80});
  automation::drainMessages();
  EXPECT_TRUE(snapshot() == before);
  const size_t steps = document().history().size();
  move(60, 60);
  automation::mouseDown(view(), {60, 60});
  move(70, 70);
  document().Undo();
  move(90, 90);
  automation::mouseUp(view(), {90, 90});
  automation::drainMessages();
  EXPECT_EQ(document().history().position(), steps - 1) << "the undo undid the last step, not the drag";
  EXPECT_EQ(path().node(0).anchor, (BezierPoint{60, 60}));
  expectScreenIsARepaint("after the cancelled drags");
}

}  // namespace
