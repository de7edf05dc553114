#include "tools/CPenTool.h"

#include <memory>

#include "display/CMaskView.h"
#include "display/CWorkDocument.h"
#include "platform/Cursor.h"
#include "tools/BrushStamps.h"
#include "tools/ClosedPathFill.h"
#include "tools/KeepMode.h"
#include "tools/PathEditCommands.h"
#include "tools/SliderValues.h"

namespace {

constexpr uint32_t kAltHeld = 0x40;

CPenTool gPenTool;
ToolRegistration gPenRegistration(gPenTool);

}  // namespace

CPenTool& ThePenTool() { return gPenTool; }

CWorkDocument* CPenTool::PathDocument() {
  CImageView* view = TrackingView();
  CWorkDocument* document = CMaskView::WorkDocument();
  if (view == nullptr || document == nullptr || view->Document() != document) return nullptr;
  const auto* pathView = dynamic_cast<BezierPathView*>(view);
  return pathView != nullptr && document->PathView() == pathView ? document : nullptr;
}

void CPenTool::DropPending() {
  if (CWorkDocument* document = CMaskView::WorkDocument()) document->DropPendingCommand();
}

void CPenTool::Activate() { AnnounceToolActivation(kToolPen); }

void CPenTool::Deactivate() {
  DropPending();
  CTool::Deactivate();
}

bool CPenTool::ShowFeedback() {
  if (!Dragging())
    Hover();
  else if (state_ != kFillPath)
    Drag();
  return CTool::ShowFeedback();
}

void CPenTool::Hover() {
  DropPending();
  CWorkDocument* document = PathDocument();
  if (document == nullptr) return;
  BezierPathView* view = document->PathView();
  CBezierPath& path = document->Path();
  const platform::Point at = CurrentPoint();
  hit_ = path.HitTest(*view, at);
  const bool alt = (CurrentFlags() & kAltHeld) != 0;
  if (hit_.which == kHitNothing)
    state_ = path.closed() ? kFillPath : kAddNode;
  else if (hit_.node == 0 && hit_.which == kAnchor && path.size() != 1 && !path.closed())
    state_ = kClosePath;
  else
    state_ = alt ? kMovePointAlt : kMovePoint;

  // The command is made before the edit it takes back, so that a failure
  // leaves neither.
  if (state_ == kAddNode) {
    auto added = std::make_unique<NodeAddedCommand>(BezierNode{});
    path.AppendNode(view, at);
    document->SetPendingCommand(std::move(added));
  } else if (state_ == kClosePath) {
    auto closed = std::make_unique<PathClosedCommand>(false, path.node(0));
    path.SetClosed(view, true);
    document->SetPendingCommand(std::move(closed));
  }
}

void CPenTool::ButtonDown() {
  CTool::ButtonDown();
  moved_ = false;
  // The press ended the hover (and took its preview back): the state and
  // the preview are made again at the press point.
  Hover();
  CWorkDocument* document = PathDocument();
  if (document == nullptr) return;
  CBezierPath& path = document->Path();
  const bool alt = (CurrentFlags() & kAltHeld) != 0;
  switch (state_) {
    case kAddNode:
      // Dragging pulls the new node's outgoing handle out, the incoming
      // one mirrored.
      hit_ = {static_cast<int>(path.size()) - 1, kAnchor};
      break;
    case kClosePath:
      state_ = alt ? kMovePointAlt : kMovePoint;  // the closing stays pending
      break;
    case kMovePoint:
    case kMovePointAlt:
      document->SetPendingCommand(std::make_unique<NodeChangedCommand>(hit_.node, path.node(hit_.node)));
      // Alt on the end of an open path pulls out its outgoing handle.
      if (state_ == kMovePointAlt && !path.closed() && hit_.which == kAnchor &&
          hit_.node == static_cast<int>(path.size()) - 1)
        hit_.which = kOutgoing;
      break;
    case kFillPath:
      break;
  }
  if (state_ == kMovePointAlt) path.ToggleSmooth(document->PathView(), hit_.node, hit_.which);
}

void CPenTool::Drag() {
  CWorkDocument* document = PathDocument();
  // Without a pending edit the drag has nothing to move: an undo during
  // the drag took it back.
  if (document == nullptr || document->PendingCommand() == nullptr) return;
  if (!moved_ && CurrentPoint() == Anchor()) return;
  moved_ = true;
  CBezierPath& path = document->Path();
  if (hit_.node < 0 || static_cast<size_t>(hit_.node) >= path.size()) return;
  path.MovePoint(document->PathView(), CurrentPoint(), hit_.node, hit_.which, state_ != kMovePoint);
}

void CPenTool::ButtonUp() {
  CWorkDocument* document = PathDocument();
  std::unique_ptr<Command> pending = document != nullptr ? document->TakePendingCommand() : nullptr;
  CTool::CancelDrag();
  if (pending != nullptr)
    document->PushCommand(std::move(pending));
  else if (state_ == kFillPath && document != nullptr)
    Fill(*document);
}

void CPenTool::CancelDrag() {
  DropPending();
  CTool::CancelDrag();
}

// Feathered with the brush's softness, towards full keep or full drop.
void CPenTool::Fill(CWorkDocument& document) {
  if (!document.Path().closed() || document.MaskImage() == nullptr) return;
  const BrushGeometry brush = BrushGeometry::from(BrushPair().lower(), BrushPair().upper(), kFullBrushStrength);
  platform::WaitCursor wait;
  FillClosedPath(document, KeepMode(), brush.softness);
}
