#include "platform/DragDrop.h"

#include <map>
#include <mutex>
#include <optional>

#include "platform/Automation.h"
#include "platform/Cursor.h"
#include "platform/Input.h"
#include "platform/MessageQueue.h"
#include "platform/Time.h"
#include "platform/Window.h"
#include "platform/internal/InputState.h"
#include "platform/internal/WindowSystem.h"

namespace platform {
namespace {

struct Formats {
  std::mutex mutex;
  std::map<std::string, uint32_t> byName;
  std::map<uint32_t, std::string> byNumber;
};

Formats& formats() {
  static Formats f;
  return f;
}

std::map<Window*, DropTarget*>& targets() {
  static std::map<Window*, DropTarget*> map;
  return map;
}

// The window with a drop target under a screen point, and its target.
std::pair<Window*, DropTarget*> targetAt(Point screen) {
  for (Window* w = WindowSystem::windowAt(screen); w; w = w->parent()) {
    auto it = targets().find(w);
    if (it != targets().end() && Window::isWindow(w)) return {w, it->second};
  }
  return {nullptr, nullptr};
}

bool isMouse(uint32_t m) { return m >= kWmMouseMove && m <= kWmRButtonDblClk; }
bool isKey(uint32_t m) { return m >= kWmKeyDown && m <= kWmSysKeyUp; }

// Takes the next message for the drag: input is the drag's, everything else
// is dispatched. False when nothing more can come (a starved script).
bool nextInput(Message& m) {
  for (;;) {
    if (!peekMessage(m, nullptr, 0, 0, kPeekRemove)) {
      if (automation::enabled()) {
        if (automation::runNextNestedStep()) continue;
        return false;
      }
      if (!getMessage(m)) {
        postQuitMessage(static_cast<int>(static_cast<intptr_t>(m.wParam)));
        return false;
      }
    }
    if (m.message == kWmQuit) {
      postQuitMessage(static_cast<int>(static_cast<intptr_t>(m.wParam)));
      return false;
    }
    if (isMouse(m.message) || isKey(m.message)) return true;
    dispatchMessage(m);
  }
}

// The pointer shows what releasing the button would do: copy, move, or
// nothing (outside every target, or where the target refuses); the shape
// from before the drag comes back when it ends.
class DragCursor {
 public:
  DragCursor() : previous_(currentCursor()) {}
  ~DragCursor() { setCursor(previous_); }
  DragCursor(const DragCursor&) = delete;
  DragCursor& operator=(const DragCursor&) = delete;

  static void show(uint32_t effect) {
    const int id = (effect & kDropEffectCopy) != 0   ? kIdcDragCopy
                   : (effect & kDropEffectMove) != 0 ? kIdcDragMove
                                                     : kIdcNo;
    setCursor(loadSystemCursor(id));
  }

 private:
  Cursor previous_;
};

class DragSession {
 public:
  DragSession(const DataObject& data, uint32_t allowed) : data_(data), allowed_(allowed) {}

  uint32_t run(std::optional<Point> firstMove) {
    if (firstMove) track(*firstMove);
    Message m;
    while (nextInput(m)) {
      const Point screen{m.x, m.y};
      if (m.message == kWmKeyDown && m.wParam == kVkEscape) break;
      if (isKey(m.message)) {
        track(cursorPosition());  // Ctrl and Shift change the effect at once
        continue;
      }
      if (m.message == kWmMouseMove) {
        track(screen);
        continue;
      }
      if (m.message == kWmLButtonUp || m.message == kWmRButtonUp) return finish(screen);
    }
    leave();
    return kDropEffectNone;
  }

 private:
  uint32_t keyState() const { return input::mouseFlags(); }

  void leave() {
    if (window_ && Window::isWindow(window_)) target_->dragLeave(*window_);
    window_ = nullptr;
    target_ = nullptr;
    effect_ = kDropEffectNone;
  }

  void track(Point screen) {
    auto [window, target] = targetAt(screen);
    if (window != window_) {
      leave();
      window_ = window;
      target_ = target;
      if (window_) effect_ = target_->dragEnter(*window_, data_, keyState(), screen, allowed_) & allowed_;
    } else if (window_) {
      effect_ = target_->dragOver(*window_, data_, keyState(), screen, allowed_) & allowed_;
    }
    DragCursor::show(effect_);
  }

  uint32_t finish(Point screen) {
    track(screen);
    if (window_ == nullptr || effect_ == kDropEffectNone) {
      leave();
      return kDropEffectNone;
    }
    const uint32_t effect = target_->drop(*window_, data_, keyState(), screen, allowed_) & allowed_;
    window_ = nullptr;
    return effect;
  }

  const DataObject& data_;
  uint32_t allowed_;
  Window* window_ = nullptr;
  DropTarget* target_ = nullptr;
  uint32_t effect_ = kDropEffectNone;
};

// Waits for the pointer to leave the start rectangle or for the delay;
// false when the button went up (or Escape) first. The move that started
// the drag is the drag's first move.
bool waitForDragStart(const Rect& start, uint32_t delay, std::optional<Point>& firstMove) {
  const uint32_t began = tickCount();
  Message m;
  for (;;) {
    if (tickCount() - began >= delay) return true;
    if (!peekMessage(m, nullptr, 0, 0, kPeekNoRemove)) {
      if (automation::enabled()) {
        if (automation::runNextNestedStep()) continue;
        return false;
      }
      // The delay runs on the real clock here; input may still come.
      sleepMilliseconds(5);
      continue;
    }
    if (!nextInput(m)) return false;
    if (m.message == kWmLButtonUp || m.message == kWmRButtonUp) return false;
    if (m.message == kWmKeyDown && m.wParam == kVkEscape) return false;
    if (m.message == kWmMouseMove && !start.contains({m.x, m.y})) {
      firstMove = Point{m.x, m.y};
      return true;
    }
  }
}

}  // namespace

uint32_t registerClipboardFormat(std::string_view name) {
  if (name.empty()) return 0;
  Formats& f = formats();
  std::lock_guard lock(f.mutex);
  auto it = f.byName.find(std::string(name));
  if (it != f.byName.end()) return it->second;
  const uint32_t number = 0xC000 + static_cast<uint32_t>(f.byName.size());
  if (number > 0xFFFF) return 0;
  f.byName.emplace(name, number);
  f.byNumber.emplace(number, name);
  return number;
}

std::string clipboardFormatName(uint32_t format) {
  Formats& f = formats();
  std::lock_guard lock(f.mutex);
  auto it = f.byNumber.find(format);
  return it == f.byNumber.end() ? std::string() : it->second;
}

const std::vector<uint8_t>* DataObject::data(uint32_t format) const {
  auto it = blocks_.find(format);
  return it == blocks_.end() ? nullptr : &it->second;
}

bool registerDropTarget(Window& window, DropTarget& target) {
  if (!window.exists()) return false;
  targets()[&window] = &target;
  return true;
}

void revokeDropTarget(Window& window) { targets().erase(&window); }

uint32_t doDragDrop(const DataObject& data, uint32_t allowed, const Rect* startRect, uint32_t delay) {
  // Around the pointer as the message being handled (the button press)
  // saw it; later input may already be waiting in the queue.
  const Point at = input::lastMessagePoint();
  const Rect start = startRect ? *startRect
                               : Rect{at.x - kDefaultDragDistance, at.y - kDefaultDragDistance,
                                      at.x + kDefaultDragDistance + 1, at.y + kDefaultDragDistance + 1};
  std::optional<Point> firstMove;
  if (!waitForDragStart(start, delay, firstMove)) return kDropEffectNone;
  const DragCursor cursor;
  return DragSession(data, allowed).run(firstMove);
}

}  // namespace platform
