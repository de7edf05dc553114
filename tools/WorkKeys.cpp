#include "tools/WorkKeys.h"

#include <algorithm>

#include "display/CTool.h"
#include "platform/Message.h"
#include "tools/KeepMode.h"
#include "tools/SliderValues.h"
#include "tools/ToolRegistry.h"

namespace {

constexpr unsigned kShiftHeld = 4, kCtrlHeld = 8, kAltHeld = 0x40;

// Keep mode: D on, E off, X toggles; not on auto-repeat.
bool keepModeKey(uint32_t key, bool repeated) {
  if (key != 'D' && key != 'E' && key != 'X') return false;
  if (repeated) return true;
  if (key == 'X')
    ToggleKeepMode();
  else
    SetKeepMode(key == 'D');
  return true;
}

// Steps of 5, of 1 with Shift; with Ctrl straight to the end.
void stepPair(SliderPair& pair, int direction, unsigned modifiers) {
  if (modifiers & kCtrlHeld) {
    StepLowerValue(pair, direction < 0 ? 0 : 255);
    return;
  }
  const int step = (modifiers & kShiftHeld) ? 1 : 5;
  StepLowerValue(pair, pair.lower() + direction * step);
}

bool valueKey(uint32_t key, unsigned modifiers) {
  switch (key) {
    case platform::kVkOem4:
    case platform::kVkLeft: stepPair(BrushPair(), -1, modifiers); return true;
    case platform::kVkOem6:
    case platform::kVkRight: stepPair(BrushPair(), +1, modifiers); return true;
    case platform::kVkUp: stepPair(ThresholdPair(), +1, modifiers); return true;
    case platform::kVkDown: stepPair(ThresholdPair(), -1, modifiers); return true;
    default: return false;
  }
}

// The eyedropper a modifier calls up: Alt alone the keep one, Ctrl alone
// the drop one.
CTool* temporaryEyedropper(uint32_t key, unsigned modifiers) {
  if (key == platform::kVkMenu && !(modifiers & kCtrlHeld)) return FindTool(kToolKeepEyedropper);
  if (key == platform::kVkControl && !(modifiers & kAltHeld)) return FindTool(kToolDropEyedropper);
  return nullptr;
}

// Tools that keep Alt and Ctrl for themselves: the hand and the zoom zoom
// with them, the pen edits with them.
bool keepsModifiers(const CTool* tool) {
  if (tool == nullptr) return false;
  const int32_t id = tool->CursorResourceId();
  return id == kToolHand || id == kToolZoom || id == kToolPen;
}

bool isModifier(uint32_t key) {
  return key == platform::kVkShift || key == platform::kVkControl || key == platform::kVkMenu;
}

}  // namespace

void StepLowerValue(SliderPair& pair, int requested) {
  const int lower = pair.lower();
  pair.SetLower(lower + std::min(requested - lower, 255 - pair.upper()));
}

bool WorkKeyDown(uint32_t key, unsigned modifiers, bool repeated) {
  if (isModifier(key)) {
    if (!repeated && !keepsModifiers(ActiveTool()))
      if (CTool* eyedropper = temporaryEyedropper(key, modifiers)) SelectSpringTool(*eyedropper);
    NudgeMouse();
    return false;
  }
  if (keepModeKey(key, repeated)) return true;
  if (valueKey(key, modifiers)) return true;
  if (key == platform::kVkEscape) {
    CancelToolOperation();
    return true;
  }
  return false;
}

bool WorkKeyUp(uint32_t key, unsigned) {
  if (!isModifier(key)) return false;
  if (key == platform::kVkMenu) {
    if (CTool* keep = FindTool(kToolKeepEyedropper)) EndTemporaryTool(*keep);
  } else if (key == platform::kVkControl) {
    if (CTool* drop = FindTool(kToolDropEyedropper)) EndTemporaryTool(*drop);
  }
  NudgeMouse();
  return false;
}
