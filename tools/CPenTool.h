// The pen (3300, key P): draws the work document's Bezier path over the
// image and, once it is closed, fills it into the mask, feathered with the
// brush's soft edge.
//
// Hovering rebuilds the pen's state from what lies under the pointer and
// shows what a click would do: the next segment running to the pointer
// (add a node), or the closing segment (on the first node). That preview
// is a path edit held as the document's pending command, which takes it
// back; the next hover, a press, leaving the view or any undo applies it
// first. A press turns the preview, or a copy of the node about to be
// dragged, into the pending edit of the drag, and the release hands it to
// the history. So every edit that stays is one undo step, and a preview
// never stays.
//
// A press does nothing to the path until the pointer moves away from the
// press point: a click on a point (the first node, to close the path)
// leaves it exactly where it was.
#pragma once

#include "display/CBezierPath.h"
#include "display/CTool.h"
#include "tools/ToolRegistry.h"

class CWorkDocument;

class CPenTool : public CTool {
 public:
  // The cursor states: what a click does where the pointer is.
  enum State : int32_t {
    kAddNode = 3300,
    kMovePoint = 3301,
    kMovePointAlt = 3302,  // Alt held: toggles the node's smoothness first
    kClosePath = 3303,     // over the first node of an open path
    kFillPath = 3304,      // the path is closed: a click fills it
  };

  int32_t CursorResourceId() const override { return kToolPen; }
  int32_t GetCursorId() override { return state_; }
  // The path is the pen's feedback; its edits and the view draw it.
  void DrawFeedback(bool) override {}
  bool ShowFeedback() override;
  void ButtonDown() override;
  void ButtonUp() override;
  void CancelDrag() override;
  void Activate() override;
  void Deactivate() override;

  State CurrentState() const { return state_; }

 private:
  // The document whose path the tracking view shows, or null.
  static CWorkDocument* PathDocument();
  // Takes the preview or the edit in progress back.
  static void DropPending();
  // Steps of a hover: the old preview goes, the state follows the hit
  // test at the current point, and the new preview is shown.
  void Hover();
  void Drag();
  void Fill(CWorkDocument& document);

  State state_ = kAddNode;
  CBezierPath::Hit hit_;
  bool moved_ = false;  // the pointer left the press point during this drag
};

CPenTool& ThePenTool();
