#include "display/CBezierPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <utility>

namespace {

// A view at zoom 2 whose window starts 10 pixels right and 4 down of the
// image origin; it records which pixels are inverted an odd number of times.
class XorView : public BezierPathView {
 public:
  double zoom() const override { return 2.0; }
  platform::Point windowOffset() const override { return {10, 4}; }
  void invertRect(const platform::Rect& r) override {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) flip(x, y);
  }
  void moveTo(platform::Point p) override { pen_ = p; }
  // A plain DDA line without its last pixel.
  void lineTo(platform::Point p) override {
    const int dx = p.x - pen_.x, dy = p.y - pen_.y;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    for (int i = 0; i < steps; ++i)
      flip(pen_.x + (dx * i + (dx >= 0 ? steps / 2 : -steps / 2)) / steps,
           pen_.y + (dy * i + (dy >= 0 ? steps / 2 : -steps / 2)) / steps);
    pen_ = p;
    ++lines;
  }
  bool blank() const {
    for (const auto& [pixel, on] : pixels_)
      if (on) return false;
    return true;
  }
  int lines = 0;

 private:
  void flip(int x, int y) { pixels_[{x, y}] ^= true; }
  std::map<std::pair<int, int>, bool> pixels_;
  platform::Point pen_;
};

BezierNode corner(double x, double y) { return {0, {x, y}, {x, y}, {x, y}}; }

TEST(CBezierPath, AppendNodeConvertsTheWindowPointAndEveryEditErasesItself) {
  XorView view;
  CBezierPath path;
  path.AppendNode(&view, {30, 16});
  EXPECT_EQ(path.node(0).anchor, (BezierPoint{20, 10})) << "(30 + 10) / 2, (16 + 4) / 2";
  EXPECT_TRUE(path.node(0).smooth);
  path.AppendNodeData(&view, corner(40, 30));
  path.AppendNodeData(&view, corner(10, 50));
  path.SetClosed(&view, true);
  BezierNode moved = corner(60, 20);
  path.ReplaceNode(&view, 1, moved);
  path.MovePoint(&view, {50, 50}, 2, kOutgoing, false);
  path.ToggleSmooth(&view, 0, kAnchor);
  // Erasing everything that is drawn leaves the view as it was.
  path.DrawAll(view);
  EXPECT_TRUE(view.blank());
}

TEST(CBezierPath, RemoveAndSwapUndoTheirOwnDrawing) {
  XorView view;
  CBezierPath path, other;
  path.AppendNodeData(&view, corner(0, 0));
  path.AppendNodeData(&view, corner(30, 0));
  path.AppendNodeData(&view, corner(30, 30));
  path.SetClosed(&view, true);
  const BezierNode last = path.RemoveLastNode(&view);
  EXPECT_EQ(last, corner(30, 30));
  path.SwapWith(&view, other);
  EXPECT_TRUE(path.empty());
  EXPECT_TRUE(view.blank());
  EXPECT_EQ(other.size(), 2u);
  EXPECT_TRUE(other.closed());
}

TEST(CBezierPath, OneClosedNodeDrawsOnlyItsMarkers) {
  XorView view;
  CBezierPath path;
  BezierNode loop{1, {5, 5}, {0, 20}, {20, 20}};
  path.AppendNodeData(nullptr, loop);
  path.SetClosed(nullptr, true);
  path.DrawAll(view);
  EXPECT_EQ(view.lines, 2) << "the two handle lines, no closing segment";
}

TEST(CBezierPath, ReplacingANodeWithAnIdenticalOneDrawsNothing) {
  XorView view;
  CBezierPath path;
  path.AppendNodeData(nullptr, corner(1, 2));
  BezierNode same = corner(1, 2);
  path.ReplaceNode(&view, 0, same);
  EXPECT_EQ(view.lines, 0);
  EXPECT_TRUE(view.blank());
}

TEST(CBezierPath, ToggleSmoothOnTheAnchorCollapsesTheHandles) {
  CBezierPath path;
  path.AppendNodeData(nullptr, {0, {5, 5}, {1, 1}, {9, 9}});
  path.ToggleSmooth(nullptr, 0, kAnchor);
  EXPECT_EQ(path.node(0), (BezierNode{1, {5, 5}, {5, 5}, {5, 5}}));
  path.ToggleSmooth(nullptr, 0, kOutgoing);
  EXPECT_FALSE(path.node(0).smooth);
}

TEST(CBezierPath, DraggingAHandleOfASmoothNodeMirrorsOrKeepsTheOtherLength) {
  XorView view;  // window (x, y) is image ((x + 10) / 2, (y + 4) / 2)
  CBezierPath path;
  path.AppendNodeData(nullptr, {1, {10, 10}, {7, 10}, {13, 10}});  // handles 3 long
  path.MovePoint(&view, {10, 16}, 0, kOutgoing, false);  // outgoing to (10, 10) + (0, 0)?
  // (10 + 10) / 2 = 10, (16 + 4) / 2 = 10: onto the anchor: the other stays.
  EXPECT_EQ(path.node(0).in, (BezierPoint{7, 10}));
  path.MovePoint(&view, {10, 36}, 0, kOutgoing, false);  // (10, 20): 10 below
  EXPECT_EQ(path.node(0).in, (BezierPoint{10, 7})) << "turned away, length 3 kept";
  path.MovePoint(&view, {10, 36}, 0, kOutgoing, true);
  EXPECT_EQ(path.node(0).in, (BezierPoint{10, 0})) << "mirrored through the anchor";
  path.MovePoint(&view, {0, 6}, 0, kAnchor, false);  // anchor to (5, 5)
  EXPECT_EQ(path.node(0).out, (BezierPoint{5, 15}));
}

TEST(CBezierPath, HitTestPrefersAnchorsAndEarlierNodes) {
  XorView view;
  CBezierPath path;
  path.AppendNodeData(nullptr, {0, {20, 20}, {20, 20}, {21, 20}});
  path.AppendNodeData(nullptr, corner(20, 20));
  // Window point for image (20, 20): (20 * 2 - 10, 20 * 2 - 4).
  const auto hit = path.HitTest(view, {30, 36});
  EXPECT_EQ(hit.node, 0);
  EXPECT_EQ(hit.which, kAnchor);
  EXPECT_EQ(path.HitTest(view, {100, 100}).which, kHitNothing);
  // The box is [p - 2, p + 3): its high edge is outside.
  EXPECT_EQ(path.HitTest(view, {27, 33}).which, kHitNothing) << "image (20, 20) on the box's high edge";
  EXPECT_EQ(path.HitTest(view, {32, 38}).which, kAnchor) << "on the low edge";
}

TEST(CBezierPath, FlattenStaysCloseToTheCurve) {
  CBezierPath path;
  // A circle of radius 50 from four smooth nodes.
  const double k = 50 * 0.5522847498;
  path.AppendNodeData(nullptr, {1, {100, 50}, {100 - k, 50}, {100 + k, 50}});
  path.AppendNodeData(nullptr, {1, {150, 100}, {150, 100 - k}, {150, 100 + k}});
  path.AppendNodeData(nullptr, {1, {100, 150}, {100 + k, 150}, {100 - k, 150}});
  path.AppendNodeData(nullptr, {1, {50, 100}, {50, 100 + k}, {50, 100 - k}});
  path.SetClosed(nullptr, true);
  const auto polygon = path.Flatten();
  EXPECT_GT(polygon.size(), 16u);
  for (const auto& p : polygon) EXPECT_NEAR(std::hypot(p.x - 100, p.y - 100), 50, 0.2);
}

}  // namespace
