// Turns input (from Qt or from a script) into queued messages for the
// window it belongs to, keeping the asynchronous state in step.
#include <algorithm>
#include <cstdlib>

#include "platform/Input.h"
#include "platform/MessageQueue.h"
#include "platform/Time.h"
#include "platform/Window.h"
#include "platform/internal/InputState.h"
#include "platform/internal/WindowSystem.h"

namespace platform {
namespace {

Window* topLevelAt(Point screen) {
  for (Window* w : WindowSystem::topLevels())
    if (w->isVisible() && !w->isMinimized() && w->windowRect().contains(screen)) return w;
  return nullptr;
}

void buttonState(uint32_t message) {
  switch (message) {
    case kWmLButtonDown: input::setKeyDown(kVkLButton, true); break;
    case kWmLButtonUp: input::setKeyDown(kVkLButton, false); break;
    case kWmRButtonDown: input::setKeyDown(kVkRButton, true); break;
    case kWmRButtonUp: input::setKeyDown(kVkRButton, false); break;
    default: break;
  }
}

bool isButtonDown(uint32_t message) { return message == kWmLButtonDown || message == kWmRButtonDown; }

// The last press, to tell double clicks.
struct LastPress {
  Window* window = nullptr;
  uint32_t message = 0;
  uint32_t time = 0;
  Point at;
};

LastPress& lastPress() {
  static LastPress press;
  return press;
}

// A second press of the same button on the same window, near the first and
// soon enough, is a double click for windows that want them.
uint32_t pressMessage(Window* target, uint32_t message, Point screen) {
  LastPress& last = lastPress();
  const uint32_t now = tickCount();
  const bool again = last.window == target && last.message == message && now - last.time < doubleClickTime() &&
                     std::abs(screen.x - last.at.x) <= 2 && std::abs(screen.y - last.at.y) <= 2;
  if (again && target->acceptsDoubleClicks()) {
    last = LastPress{};
    return message + 2;  // kWmLButtonDblClk, kWmRButtonDblClk
  }
  last = LastPress{target, message, now, screen};
  return message;
}

// The window the last pointer message went to, told when the pointer goes
// on to another one.
Window*& pointerWindow() {
  static Window* window = nullptr;
  return window;
}

void pointerNowAt(Window* target) {
  Window*& last = pointerWindow();
  if (last == target) return;
  if (Window::isWindow(last)) postMessage(last, kWmMouseLeave, 0, 0);
  last = target;
}

// Keys whose press and release come as system keys: with Alt held, and F10.
bool systemKey(uint32_t key) { return key == kVkF10 || (isKeyDown(kVkMenu) && !isKeyDown(kVkControl)); }

}  // namespace

Window* WindowSystem::windowAt(Point screen) {
  Window* top = topLevelAt(screen);
  if (top == nullptr) return nullptr;
  const Point client = top->screenToClient(screen);
  if (!top->clientRect().contains(client)) return nullptr;
  return top->childAtPoint(client);
}

void WindowSystem::mouseInput(uint32_t message, Point screen, uint32_t) {
  std::lock_guard lock(mutex());
  input::setCursor(screen);
  buttonState(message);
  Window* target = Window::capture();
  if (target == nullptr) {
    Window* top = topLevelAt(screen);
    if (top == nullptr) {
      pointerNowAt(nullptr);
      return;
    }
    const Point client = top->screenToClient(screen);
    if (!top->clientRect().contains(client)) {
      pointerNowAt(nullptr);
      // Frame, caption and menu bar are the system's, but for the close box
      // of a small caption, which closes its window.
      const Rect outer = top->windowRect();
      const Point at{screen.x - outer.left, screen.y - outer.top};
      if (message == kWmLButtonUp && top->isEnabled() && top->closeBoxRect().contains(at))
        postMessage(top, kWmClose, 0, 0);
      return;
    }
    target = top->childAtPoint(client);
    // Disabled windows (owners of a modal dialog, disabled controls) take
    // no mouse input.
    for (Window* w = target; w; w = w->parent())
      if (!w->isEnabled()) {
        pointerNowAt(nullptr);
        return;
      }
    if (isButtonDown(message) && Window::active() != top) top->activate();
  }
  pointerNowAt(target);
  const Point client = target->screenToClient(screen);
  if (isButtonDown(message)) message = pressMessage(target, message, screen);
  postMessage(target, message, input::mouseFlags(), makePointParam(client.x, client.y));
}

void WindowSystem::keyInput(uint32_t virtualKey, bool down) {
  std::lock_guard lock(mutex());
  const bool wasDown = isKeyDown(virtualKey);
  const bool system = systemKey(virtualKey) || (virtualKey == kVkMenu);
  input::setKeyDown(virtualKey, down);
  Window* target = Window::focus();
  if (target == nullptr) target = Window::active();
  if (target == nullptr) return;
  intptr_t lParam = 1;
  if (wasDown) lParam |= kKeyPreviouslyDown;
  if (!down) lParam |= kKeyReleased;
  if (isKeyDown(kVkMenu) || (virtualKey == kVkMenu && !down)) lParam |= kKeyAltDown;
  uint32_t message = down ? kWmKeyDown : kWmKeyUp;
  if (system) message = down ? kWmSysKeyDown : kWmSysKeyUp;
  postMessage(target, message, virtualKey, lParam);
}

}  // namespace platform
