// Tools and the tool stack. Every mouse action in a view goes to the active
// tool, the top of a stack of tools: a tool called up for a moment (a held
// key, a navigator) is pushed over the current one and returns to it when
// released, unless it was merely selected, in which case it stays.
//
// Tools draw their feedback by inversion (FeedbackKit.h), so showing and
// hiding are the same drawing; a tool that overrides DrawFeedback keeps
// that property.
#pragma once

#include <cstdint>

#include "platform/Geometry.h"

class CImageView;

class CTool {
 public:
  CTool() = default;
  virtual ~CTool() = default;
  CTool(const CTool&) = delete;
  CTool& operator=(const CTool&) = delete;

  // While dragging, the rubber band from the anchor to the current point.
  virtual void DrawFeedback(bool show);
  virtual int32_t GetCursorId() { return CursorResourceId(); }
  virtual bool ShowFeedback();
  virtual void HideFeedback();
  virtual void ButtonDown();
  virtual void CancelDrag();
  virtual void ButtonUp() { CancelDrag(); }
  virtual void Activate() {}
  virtual void Deactivate();
  virtual bool WasUsed() const { return used_; }
  virtual void Enter() { SetUsed(false); }
  // With force the base throws XReentry: a spring-loaded tool that was only
  // tapped then stays selected on its own.
  virtual void Reselect(bool doubleClick, bool force);
  virtual void Leave() {}
  // The tool's id: the resource id of its cursor and toolbox icon.
  virtual int32_t CursorResourceId() const = 0;
  virtual void SetUsed(bool used) { used_ = used; }

  CTool* Next() const { return next_; }

 protected:
  // The tracking state tools work with.
  static CImageView* TrackingView();
  static platform::Point CurrentPoint();
  static platform::Point Anchor();
  static uint32_t CurrentFlags();
  static bool Dragging();
  // Anchor to current point, normalised and grown by one pixel at the
  // bottom and right (window coordinates).
  static platform::Rect RubberBand();

 private:
  friend void PushTool(CTool& tool);
  friend void PopToTool(CTool* target);
  friend void ResetToolStack();
  CTool* next_ = nullptr;
  bool used_ = false;
};

// ---- The stack ----
CTool* ActiveTool();
bool ToolInStack(const CTool& tool);
void PushTool(CTool& tool);
// Pops down to `target`; null empties the stack.
void PopToTool(CTool* target);
// The toolbox's selection: the tool alone on the stack, or Reselect when
// it is already active.
void SelectTool(CTool& tool);
// Temporary tools (held keys, navigator views) go on top of the current.
void SelectSpringTool(CTool& tool);
// The key of a spring-loaded tool went up.
void ReleaseSpringTool(CTool& tool);
// A temporary tool ends whether it was used or not: when it is active and
// has a tool below it, that tool comes back.
void EndTemporaryTool(CTool& tool);
// Moves the pointer one pixel and back, so that the cursor and feedback
// follow a change at once (a new tool, a modifier key).
void NudgeMouse();

// ---- Mouse routing (points in the view's window coordinates) ----
void ToolMouseMove(CImageView& view, platform::Point point, uint32_t flags);
void ToolMouseDown(CImageView& view, platform::Point point, uint32_t flags);
bool ToolMouseUp(CImageView& view, platform::Point point, uint32_t flags);
void EndTracking();
// Esc: a drag in progress is cancelled (the tool hears CancelDrag) and
// tracking ends; without one nothing happens.
void CancelToolOperation();
void EndTrackingIn(const CImageView& view);
// A view goes away without drawing: tracking in it stops silently.
void ForgetTrackingView(const CImageView& view);
// Repainting wiped the inverted pixels: draw the feedback once more.
void RedrawFeedback(const CImageView& view);

// Loads the active tool's cursor (or the arrow) and sets it.
void ApplyToolCursor();
void ApplyCursor(int32_t id);

// Forgets the whole tracking state and empties the stack without calling
// the tools (for the end of a run and for tests).
void ResetToolStack();
