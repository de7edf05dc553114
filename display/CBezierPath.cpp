#include "display/CBezierPath.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Image to window coordinates for drawing: zoom * c - offset, rounded
// towards zero.
struct WindowMapping {
  double zoom;
  platform::Point offset;

  explicit WindowMapping(const BezierPathView& view) : zoom(view.zoom()), offset(view.windowOffset()) {}

  double x(double imageX) const { return zoom * imageX - offset.x; }
  double y(double imageY) const { return zoom * imageY - offset.y; }
  platform::Point point(const BezierPoint& p) const {
    return {static_cast<int32_t>(x(p.x)), static_cast<int32_t>(y(p.y))};
  }
};

BezierPoint windowToImage(const BezierPathView& view, platform::Point p) {
  const platform::Point offset = view.windowOffset();
  return {(p.x + offset.x) / view.zoom(), (p.y + offset.y) / view.zoom()};
}

BezierPoint midpoint(const BezierPoint& a, const BezierPoint& b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }

double squaredDistance(const BezierPoint& a, const BezierPoint& b) {
  return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}

// A cubic piece is flat enough when each inner control point lies within
// sqrt(limit) of where the halving would put it: (P0 + 2 P1 + P2) / 4 and
// (P1 + 2 P2 + P3) / 4.
bool flatEnough(const BezierPoint p[4], double limit) {
  const BezierPoint q1{(p[0].x + 2 * p[1].x + p[2].x) / 4, (p[0].y + 2 * p[1].y + p[2].y) / 4};
  const BezierPoint q2{(p[1].x + 2 * p[2].x + p[3].x) / 4, (p[1].y + 2 * p[2].y + p[3].y) / 4};
  return squaredDistance(p[1], q1) <= limit && squaredDistance(p[2], q2) <= limit;
}

// de Casteljau at t = 1/2.
void halve(const BezierPoint p[4], BezierPoint left[4], BezierPoint right[4]) {
  const BezierPoint p01 = midpoint(p[0], p[1]), p12 = midpoint(p[1], p[2]), p23 = midpoint(p[2], p[3]);
  const BezierPoint p012 = midpoint(p01, p12), p123 = midpoint(p12, p23);
  const BezierPoint mid = midpoint(p012, p123);
  left[0] = p[0], left[1] = p01, left[2] = p012, left[3] = mid;
  right[0] = mid, right[1] = p123, right[2] = p23, right[3] = p[3];
}

// Calls emit for the pieces of a curve, each flat enough or `depth`
// halvings deep.
template <typename Emit>
void subdivide(const BezierPoint p[4], double limit, int depth, Emit emit) {
  if (depth == 0 || flatEnough(p, limit)) {
    emit(p);
    return;
  }
  BezierPoint left[4], right[4];
  halve(p, left, right);
  subdivide(left, limit, depth - 1, emit);
  subdivide(right, limit, depth - 1, emit);
}

// On screen: 1.5 window pixels, and about ten halvings (what a fixed work
// stack of 3 x 10 + 4 points holds).
constexpr double kDrawFlatness = 2.25;  // square window pixels
constexpr int kDrawDepth = 10;
// Filling: 0.2 image pixels. Each halving divides the distance tested by
// four, so 16 halvings flatten any curve within 2^28 pixels; the limit only
// keeps a curve far off the image (nodes placed at the smallest zoom) from
// splitting without end.
constexpr double kFillFlatness = 0.04;  // square image pixels
constexpr int kFillDepth = 16;

// One edit's drawing, from its first erasing to its last drawing.
class StDrawing {
 public:
  explicit StDrawing(BezierPathView* view) : view_(view) {
    if (view_ != nullptr) view_->beginDrawing();
  }
  ~StDrawing() {
    if (view_ != nullptr) view_->endDrawing();
  }
  StDrawing(const StDrawing&) = delete;
  StDrawing& operator=(const StDrawing&) = delete;

 private:
  BezierPathView* view_;
};

}  // namespace

size_t CBezierPath::SegmentCount() const {
  if (nodes_.empty()) return 0;
  return closed_ && nodes_.size() >= 2 ? nodes_.size() : nodes_.size() - 1;
}

void CBezierPath::DrawNode(BezierPathView& view, size_t index) const {
  const WindowMapping map(view);
  const BezierNode& n = nodes_[index];
  const platform::Point a = map.point(n.anchor);
  view.invertRect({a.x - 2, a.y - 2, a.x + 3, a.y + 3});
  for (const BezierPoint& handle : {n.in, n.out}) {
    const platform::Point h = map.point(handle);
    view.invertRect({h.x - 1, h.y - 1, h.x + 2, h.y + 2});
    const BezierPoint third{(n.anchor.x + 2 * handle.x) / 3, (n.anchor.y + 2 * handle.y) / 3};
    view.moveTo(map.point(third));
    view.lineTo(h);
  }
}

void CBezierPath::DrawSegment(BezierPathView& view, size_t from) const {
  const WindowMapping map(view);
  const BezierNode& a = nodes_[from];
  const BezierNode& b = nodes_[(from + 1) % nodes_.size()];
  const BezierPoint control[4] = {{map.x(a.anchor.x), map.y(a.anchor.y)},
                                  {map.x(a.out.x), map.y(a.out.y)},
                                  {map.x(b.in.x), map.y(b.in.y)},
                                  {map.x(b.anchor.x), map.y(b.anchor.y)}};
  const auto rounded = [](const BezierPoint& p) {
    return platform::Point{static_cast<int32_t>(p.x), static_cast<int32_t>(p.y)};
  };
  view.moveTo(rounded(control[0]));
  subdivide(control, kDrawFlatness, kDrawDepth, [&](const BezierPoint piece[4]) {
    view.lineTo(rounded(piece[1]));
    view.lineTo(rounded(piece[2]));
    view.lineTo(rounded(piece[3]));
  });
}

void CBezierPath::DrawNodeAndSegments(BezierPathView* view, size_t index) const {
  if (view == nullptr) return;
  DrawNode(*view, index);
  // Segment s runs from node s to node (s + 1) % n.
  const size_t n = nodes_.size();
  const size_t segments = SegmentCount();
  const bool closedLoop = segments == n;
  if (index > 0) DrawSegment(*view, index - 1);
  else if (closedLoop) DrawSegment(*view, n - 1);
  if (index < segments) DrawSegment(*view, index);
}

void CBezierPath::AppendNode(BezierPathView* view, platform::Point windowPoint) {
  const BezierPoint p = windowToImage(*view, windowPoint);
  AppendNodeData(view, BezierNode{1, p, p, p});
}

void CBezierPath::AppendNodeData(BezierPathView* view, const BezierNode& node) {
  const StDrawing drawing(view);
  if (view != nullptr && closed_ && nodes_.size() >= 2) DrawSegment(*view, nodes_.size() - 1);
  if (nodes_.size() == nodes_.capacity()) nodes_.reserve(std::max<size_t>(4, 2 * nodes_.size()));
  nodes_.push_back(node);
  if (view == nullptr) return;
  DrawNode(*view, nodes_.size() - 1);
  if (nodes_.size() >= 2) DrawSegment(*view, nodes_.size() - 2);
  if (closed_ && nodes_.size() >= 2) DrawSegment(*view, nodes_.size() - 1);
}

BezierNode CBezierPath::RemoveLastNode(BezierPathView* view) {
  const StDrawing drawing(view);
  const size_t last = nodes_.size() - 1;
  if (view != nullptr) {
    DrawNode(*view, last);
    if (last >= 1) DrawSegment(*view, last - 1);
    if (closed_ && nodes_.size() >= 2) DrawSegment(*view, last);
  }
  const BezierNode removed = nodes_.back();
  nodes_.pop_back();
  if (view != nullptr && closed_ && nodes_.size() >= 2) DrawSegment(*view, nodes_.size() - 1);
  return removed;
}

void CBezierPath::ReplaceNode(BezierPathView* view, size_t index, BezierNode& node) {
  if (nodes_[index] == node) return;
  const StDrawing drawing(view);
  DrawNodeAndSegments(view, index);
  std::swap(nodes_[index], node);
  DrawNodeAndSegments(view, index);
}

void CBezierPath::SetClosed(BezierPathView* view, bool closed) {
  const StDrawing drawing(view);
  const bool drawsClosing = view != nullptr && nodes_.size() >= 2;
  if (drawsClosing && closed_) DrawSegment(*view, nodes_.size() - 1);
  closed_ = closed;
  if (drawsClosing && closed_) DrawSegment(*view, nodes_.size() - 1);
}

void CBezierPath::SwapWith(BezierPathView* view, CBezierPath& other) {
  const StDrawing drawing(view);
  if (view != nullptr) DrawAll(*view);
  std::swap(nodes_, other.nodes_);
  std::swap(closed_, other.closed_);
  if (view != nullptr) DrawAll(*view);
}

void CBezierPath::ToggleSmooth(BezierPathView* view, size_t index, int which) {
  BezierNode& n = nodes_[index];
  if (which != kAnchor) {
    n.smooth = !n.smooth;  // the flag is not drawn
    return;
  }
  const StDrawing drawing(view);
  DrawNodeAndSegments(view, index);
  n.smooth = 1;
  n.in = n.out = n.anchor;
  DrawNodeAndSegments(view, index);
}

// Moving the anchor carries both handles along. Moving a handle (or, with
// which = 0 and mirror, pulling the outgoing handle out of the anchor of a
// new node) adjusts the opposite handle of a smooth node: mirrored through
// the anchor, or turned to point straight away while keeping its length.
void CBezierPath::MovePoint(BezierPathView* view, platform::Point windowPoint, size_t index, int which,
                            bool mirror) {
  const BezierPoint p = windowToImage(*view, windowPoint);
  const StDrawing drawing(view);
  DrawNodeAndSegments(view, index);
  BezierNode& n = nodes_[index];
  if (which == kAnchor && !mirror) {
    const double dx = p.x - n.anchor.x, dy = p.y - n.anchor.y;
    n.anchor = p;
    n.in = {n.in.x + dx, n.in.y + dy};
    n.out = {n.out.x + dx, n.out.y + dy};
  } else {
    BezierPoint& moved = which == kIncoming ? n.in : n.out;
    BezierPoint& opposite = which == kIncoming ? n.out : n.in;
    moved = p;
    const double mx = moved.x - n.anchor.x, my = moved.y - n.anchor.y;
    const double movedLength = std::hypot(mx, my);
    if (n.smooth && movedLength > 0) {
      if (mirror) {
        opposite = {n.anchor.x - mx, n.anchor.y - my};
      } else {
        const double keep = std::hypot(opposite.x - n.anchor.x, opposite.y - n.anchor.y) / movedLength;
        opposite = {n.anchor.x - mx * keep, n.anchor.y - my * keep};
      }
    }
  }
  DrawNodeAndSegments(view, index);
}

CBezierPath::Hit CBezierPath::HitTest(const BezierPathView& view, platform::Point windowPoint) const {
  const BezierPoint low = windowToImage(view, {windowPoint.x - 2, windowPoint.y - 2});
  const BezierPoint high = windowToImage(view, {windowPoint.x + 3, windowPoint.y + 3});
  const auto inside = [&](const BezierPoint& p) { return p.x >= low.x && p.x < high.x && p.y >= low.y && p.y < high.y; };
  for (size_t i = 0; i < nodes_.size(); ++i) {
    const BezierNode& n = nodes_[i];
    if (inside(n.anchor)) return {static_cast<int>(i), kAnchor};
    if (inside(n.in)) return {static_cast<int>(i), kIncoming};
    if (inside(n.out)) return {static_cast<int>(i), kOutgoing};
  }
  return {};
}

void CBezierPath::DrawAll(BezierPathView& view) const {
  const StDrawing drawing(&view);
  for (size_t i = 0; i < nodes_.size(); ++i) DrawNode(view, i);
  for (size_t i = 0; i < SegmentCount(); ++i) DrawSegment(view, i);
}

namespace {

// The window rectangle around points (window coordinates as doubles), grown
// by `margin` pixels and by one more for the rounding towards zero.
template <size_t N>
platform::Rect boundsOf(const BezierPoint (&points)[N], int32_t margin) {
  double left = points[0].x, right = left, top = points[0].y, bottom = top;
  for (const BezierPoint& p : points) {
    left = std::min(left, p.x);
    right = std::max(right, p.x);
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
  }
  const auto low = [&](double v) { return static_cast<int32_t>(std::clamp(std::floor(v), -1e9, 1e9)) - margin - 1; };
  const auto high = [&](double v) { return static_cast<int32_t>(std::clamp(std::ceil(v), -1e9, 1e9)) + margin + 2; };
  return {low(left), low(top), high(right), high(bottom)};
}

}  // namespace

platform::Rect CBezierPath::NodeBounds(const BezierPathView& view, size_t index) const {
  const WindowMapping map(view);
  const BezierNode& n = nodes_[index];
  const BezierPoint points[3] = {{map.x(n.anchor.x), map.y(n.anchor.y)},
                                 {map.x(n.in.x), map.y(n.in.y)},
                                 {map.x(n.out.x), map.y(n.out.y)}};
  return boundsOf(points, 2);  // the anchor's square reaches 2 pixels out
}

platform::Rect CBezierPath::SegmentBounds(const BezierPathView& view, size_t from) const {
  const WindowMapping map(view);
  const BezierNode& a = nodes_[from];
  const BezierNode& b = nodes_[(from + 1) % nodes_.size()];
  // The curve and its halvings lie inside the hull of the control points.
  const BezierPoint points[4] = {{map.x(a.anchor.x), map.y(a.anchor.y)},
                                 {map.x(a.out.x), map.y(a.out.y)},
                                 {map.x(b.in.x), map.y(b.in.y)},
                                 {map.x(b.anchor.x), map.y(b.anchor.y)}};
  return boundsOf(points, 0);
}

void CBezierPath::DrawWithin(BezierPathView& view, const platform::Rect& area) const {
  const StDrawing drawing(&view);
  for (size_t i = 0; i < nodes_.size(); ++i)
    if (!NodeBounds(view, i).intersected(area).isEmpty()) DrawNode(view, i);
  for (size_t i = 0; i < SegmentCount(); ++i)
    if (!SegmentBounds(view, i).intersected(area).isEmpty()) DrawSegment(view, i);
}

std::vector<BezierPoint> CBezierPath::Flatten() const {
  std::vector<BezierPoint> polygon;
  if (nodes_.empty()) return polygon;
  polygon.push_back(nodes_[0].anchor);
  const size_t segments = nodes_.size() >= 2 ? nodes_.size() : 0;  // closed: back to node 0
  for (size_t i = 0; i < segments; ++i) {
    const BezierNode& a = nodes_[i];
    const BezierNode& b = nodes_[(i + 1) % nodes_.size()];
    const BezierPoint control[4] = {a.anchor, a.out, b.in, b.anchor};
    subdivide(control, kFillFlatness, kFillDepth, [&](const BezierPoint piece[4]) { polygon.push_back(piece[3]); });
  }
  if (polygon.size() > 1) polygon.pop_back();  // the last point is the first again
  return polygon;
}
