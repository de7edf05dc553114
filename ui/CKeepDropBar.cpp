#include "ui/CKeepDropBar.h"

#include <algorithm>

#include "platform/Input.h"
#include "platform/Message.h"
#include "platform/Resources.h"
#include "platform/SystemMetrics.h"
#include "resources/StringTable.h"
#include "tools/CEyedropperTool.h"
#include "tools/ColourList.h"

namespace {

using platform::Rect;
using platform::Size;

constexpr int32_t kWidthBeyondScrollBar = 73;

Rect sized(int32_t left, int32_t top, Size size) { return {left, top, left + size.cx, top + size.cy}; }

}  // namespace

CKeepDropBar::CKeepDropBar(ColourList& list, int titleId, Icons icons)
    : list_(list), titleId_(titleId), icons_(icons), listBox_(list), delete_(listBox_) {}

CKeepDropBar::~CKeepDropBar() {
  if (exists()) destroy();
}

int32_t CKeepDropBar::Width() { return platform::systemMetric(platform::kSmCxVScroll) + kWidthBeyondScrollBar; }

bool CKeepDropBar::CreateKeepDropBar(platform::FrameWindow& frame, int barId) {
  const std::string title = stringResource(titleId_);
  if (!createBar(frame, title, barId, {Width(), kInitialHeight})) return false;
  setBackground(platform::systemColour(platform::kColourBtnFace));
  const Size size = barSize();
  const auto button = [&](platform::PushButton& b, int id, int icon) {
    if (!b.create(platform::controlParams(*this, id, {}))) return false;
    b.setIcon(platform::resources::loadIcon(icon));
    return true;
  };
  // The list fills the bar above the buttons; its title lets scripts aim
  // at it by the bar's name.
  const bool made = listBox_.CreateList(*this, {}, title) && button(newSet_, kNewSetButton, icons_.newSet) &&
                    button(newColour_, kNewColourButton, icons_.newColour) &&
                    button(delete_, kDeleteButton, kDeleteIcon) && platform::registerDropTarget(delete_, delete_);
  if (!made) {
    destroy();
    if (platform::MiniFrame* mini = miniFrame()) mini->destroy();
    return false;
  }
  Layout(size);
  return true;
}

platform::PushButton& CKeepDropBar::Button(int id) {
  if (id == kNewSetButton) return newSet_;
  if (id == kNewColourButton) return newColour_;
  return delete_;
}

void CKeepDropBar::Layout(Size size) {
  if (listBox_.exists()) listBox_.move({3, 3, 3 + size.cx - 6, 3 + size.cy - 22});
  const int32_t top = size.cy - 20;
  if (newSet_.exists()) newSet_.move(sized(3, top, kButtonSize));
  if (newColour_.exists()) newColour_.move(sized(25, top, kButtonSize));
  if (delete_.exists()) delete_.move(sized(47, top, kButtonSize));
}

// The width is fixed; the height is the user's, no less than 80 pixels (and
// no more than 240 docked upright, though the bars only float).
Size CKeepDropBar::calcDynamicSize(int length, unsigned mode) {
  if ((mode & platform::kLmLengthIsHeight) == 0) return {Width(), barSize().cy};
  int32_t height = std::max<int32_t>(length, kMinimumHeight);
  if ((mode & platform::kLmVertDock) != 0) height = std::min(height, kMaximumDockedHeight);
  return {Width(), height};
}

void CKeepDropBar::ButtonClicked(int id) {
  switch (id) {
    case kNewSetButton:
      list_.AddEmptySet((platform::asyncKeyState(platform::kVkShift) & 0x8000) != 0);
      selectEyedropper(list_.keepList());
      break;
    case kNewColourButton:
      list_.GoToEmptySlot();
      selectEyedropper(list_.keepList());
      break;
    case kDeleteButton:
      list_.DeleteCurrentRow();
      break;
    default:
      break;
  }
}

intptr_t CKeepDropBar::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case platform::kWmSize:
      Layout({platform::pointParamX(lParam), platform::pointParamY(lParam)});
      break;
    case platform::kWmCommand:
      if (platform::highWord(wParam) == platform::kBnClicked) {
        ButtonClicked(static_cast<int>(platform::lowWord(wParam)));
        return 0;
      }
      break;
    default:
      break;
  }
  return ControlBar::handleMessage(message, wParam, lParam);
}

// ---- The delete button ----

CKeepDropBar::CDeleteButton::~CDeleteButton() {
  if (exists()) destroy();
}

bool CKeepDropBar::CDeleteButton::Takes(const platform::DataObject& data) const {
  return data.has(list_.ColourFormat()) || data.has(list_.ColourSetFormat());
}

void CKeepDropBar::CDeleteButton::ShowPressed(bool pressed) {
  setPressed(pressed);
  updateNow();
}

uint32_t CKeepDropBar::CDeleteButton::dragEnter(platform::Window& window, const platform::DataObject& data,
                                               uint32_t keyState, platform::Point screen, uint32_t allowed) {
  return dragOver(window, data, keyState, screen, allowed);
}

uint32_t CKeepDropBar::CDeleteButton::dragOver(platform::Window&, const platform::DataObject& data, uint32_t,
                                              platform::Point, uint32_t) {
  if (!Takes(data)) return platform::kDropEffectNone;
  if (!isPressed()) ShowPressed(true);
  return platform::kDropEffectMove;
}

void CKeepDropBar::CDeleteButton::dragLeave(platform::Window&) {
  if (isPressed()) ShowPressed(false);
}

uint32_t CKeepDropBar::CDeleteButton::drop(platform::Window&, const platform::DataObject& data, uint32_t,
                                          platform::Point, uint32_t) {
  if (isPressed()) ShowPressed(false);
  return Takes(data) ? platform::kDropEffectMove : platform::kDropEffectNone;
}

intptr_t CKeepDropBar::CDeleteButton::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == platform::kWmDestroy) platform::revokeDropTarget(*this);
  return PushButton::handleMessage(message, wParam, lParam);
}

// ---- The work window's bars ----

CKeepDropBar& KeepBar() {
  static CKeepDropBar bar(KeepColourList(), kStrKeep, {173, 185});
  return bar;
}

CKeepDropBar& DropBar() {
  static CKeepDropBar bar(DropColourList(), kStrDrop, {182, 184});
  return bar;
}
