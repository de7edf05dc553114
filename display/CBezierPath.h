// The editable outline the pen draws over the image: cubic Bezier nodes,
// open or closed. Every edit that is given a view erases the parts it
// touches (they are drawn by inversion, so drawing again erases), changes
// the data, and draws those parts again; nothing else of the view is
// repainted.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Geometry.h"

struct BezierPoint {
  double x = 0, y = 0;  // image coordinates, x horizontal
  friend bool operator==(const BezierPoint&, const BezierPoint&) = default;
};

struct BezierNode {
  uint8_t smooth = 0;
  BezierPoint anchor, in, out;  // the anchor and its incoming and outgoing handles
  friend bool operator==(const BezierNode&, const BezierNode&) = default;
};

// What the path needs of a view that shows it (a zoom view): its mapping of
// image to window coordinates, and inverting drawing in window coordinates.
class BezierPathView {
 public:
  virtual ~BezierPathView() = default;
  virtual double zoom() const = 0;
  // The visible top-left minus the GDI origin: window = zoom * image - offset.
  virtual platform::Point windowOffset() const = 0;
  // Inverts the pixels of a rectangle.
  virtual void invertRect(const platform::Rect& rect) = 0;
  // Pen lines by inversion; like the system's line drawing, a line leaves
  // out its last pixel, so a polyline touches every pixel once.
  virtual void moveTo(platform::Point point) = 0;
  virtual void lineTo(platform::Point point) = 0;
  // All the drawing of one edit comes between these (which nest), so that
  // a view can draw it through one drawing context.
  virtual void beginDrawing() {}
  virtual void endDrawing() {}
};

// Which point of a node an edit or a hit concerns.
enum BezierPart : int { kHitNothing = -1, kAnchor = 0, kIncoming = 1, kOutgoing = 2 };

class CBezierPath {
 public:
  size_t size() const { return nodes_.size(); }
  bool empty() const { return nodes_.empty(); }
  bool closed() const { return closed_; }
  const BezierNode& node(size_t i) const { return nodes_[i]; }
  const std::vector<BezierNode>& nodes() const { return nodes_; }

  // A smooth node with all three points at the window point.
  void AppendNode(BezierPathView* view, platform::Point windowPoint);
  void AppendNodeData(BezierPathView* view, const BezierNode& node);
  BezierNode RemoveLastNode(BezierPathView* view);
  // Exchanges the stored node with `node` (which receives the old one).
  void ReplaceNode(BezierPathView* view, size_t index, BezierNode& node);
  void SetClosed(BezierPathView* view, bool closed);
  // Exchanges nodes and closed flags with another path (undo of a fill).
  void SwapWith(BezierPathView* view, CBezierPath& other);
  // On a handle inverts the smooth flag; on the anchor makes the node smooth
  // with both handles collapsed onto it, ready to be pulled out.
  void ToggleSmooth(BezierPathView* view, size_t index, int which);
  // Moves a point of a node to the window point; see BezierPath.cpp.
  void MovePoint(BezierPathView* view, platform::Point windowPoint, size_t index, int which, bool mirror);

  struct Hit {
    int node = -1;
    int which = kHitNothing;
  };
  // The first anchor or handle, node by node, inside the box from point - 2
  // to point + 3 window pixels.
  Hit HitTest(const BezierPathView& view, platform::Point windowPoint) const;

  void DrawAll(BezierPathView& view) const;
  // The same, leaving out the nodes and segments that cannot reach the
  // window rectangle: a view that repaints part of itself (drawing only
  // inside it) draws the path there again at a cost that follows the
  // part, not the path.
  void DrawWithin(BezierPathView& view, const platform::Rect& area) const;

  // The closed outline as a polygon in image coordinates: every segment
  // halved until its inner control points lie within 0.2 pixel of the
  // subdivision's.
  std::vector<BezierPoint> Flatten() const;

 private:
  void DrawNode(BezierPathView& view, size_t index) const;
  void DrawSegment(BezierPathView& view, size_t from) const;  // from node `from` to the next
  // Window rectangles that hold all a node's or a segment's drawing.
  platform::Rect NodeBounds(const BezierPathView& view, size_t index) const;
  platform::Rect SegmentBounds(const BezierPathView& view, size_t from) const;
  size_t SegmentCount() const;
  // Draws (and so erases or redraws) a node with the segments that touch it.
  void DrawNodeAndSegments(BezierPathView* view, size_t index) const;

  std::vector<BezierNode> nodes_;
  bool closed_ = false;
};
