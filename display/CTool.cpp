#include "display/CTool.h"

#include <algorithm>

#include "display/CImageView.h"
#include "display/FeedbackKit.h"
#include "platform/Cursor.h"
#include "platform/Input.h"
#include "platform/Time.h"
#include "shell/Exceptions.h"

namespace {

// One set for the whole plug-in, touched by the user-interface thread only.
struct ToolTracking {
  CTool* active = nullptr;
  CImageView* view = nullptr;
  platform::Point point;
  uint32_t flags = 0;
  platform::Point anchor;
  bool dragging = false;
  bool feedbackShown = false;
  int32_t cursorId = 0;
  uint32_t lastSelection = 0;

  // Where the pointer event being handled happened.
  void at(CImageView& inView, platform::Point where, uint32_t withFlags) {
    view = &inView;
    point = where;
    flags = withFlags;
  }
};

ToolTracking gTracking;

bool isDoubleClick() {
  const uint32_t now = platform::tickCount();
  const bool doubleClick = now - gTracking.lastSelection < platform::doubleClickTime();
  gTracking.lastSelection = now;
  return doubleClick;
}

}  // namespace

void NudgeMouse() {
  platform::moveMouseRelative(-1, 0);
  platform::moveMouseRelative(1, 0);
}

// ---- CTool ----

CImageView* CTool::TrackingView() { return gTracking.view; }
platform::Point CTool::CurrentPoint() { return gTracking.point; }
platform::Point CTool::Anchor() { return gTracking.anchor; }
uint32_t CTool::CurrentFlags() { return gTracking.flags; }
bool CTool::Dragging() { return gTracking.dragging; }

platform::Rect CTool::RubberBand() {
  const platform::Point a = gTracking.anchor, c = gTracking.point;
  return {std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x) + 1, std::max(a.y, c.y) + 1};
}

void CTool::DrawFeedback(bool) {
  if (!gTracking.dragging || gTracking.view == nullptr) return;
  StFeedbackDC kit(*gTracking.view);
  StInvertMode invert(kit.dc());
  FeedbackRectangle(kit.dc(), RubberBand());
}

bool CTool::ShowFeedback() {
  DrawFeedback(true);
  gTracking.feedbackShown = true;
  return true;
}

void CTool::HideFeedback() {
  DrawFeedback(false);
  gTracking.feedbackShown = false;
}

void CTool::ButtonDown() {
  gTracking.dragging = true;
  gTracking.anchor = gTracking.point;
  SetUsed(true);
}

void CTool::CancelDrag() {
  gTracking.dragging = false;
  gTracking.anchor = gTracking.point;
}

void CTool::Deactivate() {
  if (gTracking.dragging) CancelDrag();
}

void CTool::Reselect(bool, bool force) {
  if (force) throw XReentry();
}

// ---- The stack ----

CTool* ActiveTool() { return gTracking.active; }

bool ToolInStack(const CTool& tool) {
  for (CTool* t = gTracking.active; t != nullptr; t = t->Next())
    if (t == &tool) return true;
  return false;
}

void PushTool(CTool& tool) {
  tool.next_ = gTracking.active;
  gTracking.active = &tool;
  tool.Enter();
  tool.Activate();
  tool.ShowFeedback();
  NudgeMouse();
}

void PopToTool(CTool* target) {
  CTool* active = gTracking.active;
  if (active != nullptr) {
    active->HideFeedback();
    active->Deactivate();
  }
  while (gTracking.active != nullptr && gTracking.active != target) {
    CTool* leaving = gTracking.active;
    leaving->Leave();
    gTracking.active = leaving->next_;
    leaving->next_ = nullptr;
  }
  NudgeMouse();
}

void SelectTool(CTool& tool) {
  const bool doubleClick = isDoubleClick();
  if (gTracking.active == &tool) {
    tool.Reselect(doubleClick, false);
    return;
  }
  if (gTracking.active != nullptr) PopToTool(nullptr);
  PushTool(tool);
}

void SelectSpringTool(CTool& tool) {
  const bool doubleClick = isDoubleClick();
  if (gTracking.active == &tool) {
    tool.Reselect(doubleClick, false);
  } else if (ToolInStack(tool)) {
    PopToTool(&tool);
    tool.Activate();
    tool.ShowFeedback();
  } else {
    if (CTool* active = gTracking.active) {
      active->HideFeedback();
      active->Deactivate();
    }
    PushTool(tool);
  }
}

void ReleaseSpringTool(CTool& tool) {
  if (tool.Next() == nullptr) return;
  if (tool.WasUsed()) {
    if (!ToolInStack(tool)) return;
    PopToTool(tool.Next());
    if (CTool* previous = gTracking.active) {
      previous->Activate();
      previous->ShowFeedback();
    }
    return;
  }
  try {
    tool.Reselect(false, true);
  } catch (const XReentry&) {
    // Only tapped: the tool stays, alone.
    PopToTool(nullptr);
    PushTool(tool);
  }
}

void EndTemporaryTool(CTool& tool) {
  if (ActiveTool() != &tool || tool.Next() == nullptr) return;
  PopToTool(tool.Next());
  if (CTool* previous = gTracking.active) {
    previous->Activate();
    previous->ShowFeedback();
  }
}

// ---- Mouse routing ----

void ToolMouseMove(CImageView& view, platform::Point point, uint32_t flags) {
  CTool* tool = gTracking.active;
  if (tool == nullptr) return;
  tool->HideFeedback();
  gTracking.at(view, point, flags);
  tool->ShowFeedback();
  gTracking.cursorId = tool->GetCursorId();
  ApplyCursor(gTracking.cursorId);
}

void ToolMouseDown(CImageView& view, platform::Point point, uint32_t flags) {
  EndTracking();
  CTool* tool = gTracking.active;
  if (tool == nullptr) return;
  tool->HideFeedback();
  gTracking.at(view, point, flags);
  tool->ButtonDown();
  tool->ShowFeedback();
}

bool ToolMouseUp(CImageView& view, platform::Point point, uint32_t flags) {
  CTool* tool = gTracking.active;
  if (tool == nullptr || !gTracking.dragging) return false;
  tool->HideFeedback();
  gTracking.at(view, point, flags);
  tool->ButtonUp();
  return tool->ShowFeedback();
}

void EndTracking() {
  CTool* tool = gTracking.active;
  if (tool == nullptr) return;
  tool->HideFeedback();
  gTracking.view = nullptr;
  if (gTracking.dragging) tool->CancelDrag();
  tool->ShowFeedback();
}

void CancelToolOperation() {
  if (gTracking.dragging) EndTracking();
}

void EndTrackingIn(const CImageView& view) {
  if (gTracking.view == &view) EndTracking();
}

void ForgetTrackingView(const CImageView& view) {
  if (gTracking.view != &view) return;
  gTracking.view = nullptr;
  gTracking.dragging = false;
}

void RedrawFeedback(const CImageView& view) {
  if (gTracking.view == &view && gTracking.feedbackShown && gTracking.active != nullptr)
    gTracking.active->DrawFeedback(true);
}

void ApplyCursor(int32_t id) {
  const platform::Cursor cursor = platform::isSystemCursorId(id) ? platform::loadSystemCursor(id) : platform::loadCursor(id);
  platform::setCursor(cursor.isNull() ? platform::loadSystemCursor(platform::kIdcArrow) : cursor);
}

void ApplyToolCursor() {
  CTool* tool = gTracking.active;
  if (tool == nullptr) {
    ApplyCursor(platform::kIdcArrow);
    return;
  }
  gTracking.cursorId = tool->GetCursorId();
  ApplyCursor(gTracking.cursorId);
}

void ResetToolStack() {
  while (CTool* t = gTracking.active) {
    gTracking.active = t->next_;
    t->next_ = nullptr;
  }
  gTracking = ToolTracking{};
}
