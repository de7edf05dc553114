#include "platform/MessageQueue.h"

#include <QChar>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Automation.h"
#include "platform/Input.h"
#include "platform/Time.h"
#include "platform/Window.h"
#include "platform/internal/AutomationState.h"
#include "platform/internal/BackendWindows.h"
#include "platform/internal/InputState.h"
#include "platform/internal/WindowSystem.h"

namespace platform {
namespace {

struct Queue {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<Message> messages;
  // A quit is a state of the queue, not a message in it: asking twice
  // before the loop sees it still ends one loop only. It comes after every
  // posted message and before painting.
  bool quitPending = false;
  int quitCode = 0;
};

std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}

std::map<std::thread::id, std::shared_ptr<Queue>>& queues() {
  static std::map<std::thread::id, std::shared_ptr<Queue>> map;
  return map;
}

std::shared_ptr<Queue> queueOf(std::thread::id thread) {
  std::lock_guard lock(registryMutex());
  auto& slot = queues()[thread];
  if (!slot) slot = std::make_shared<Queue>();
  return slot;
}

Queue& threadQueue() {
  thread_local std::shared_ptr<Queue> queue = queueOf(std::this_thread::get_id());
  return *queue;
}

bool matches(const Message& m, Window* window, uint32_t first, uint32_t last) {
  if (window != nullptr && m.window != window && !(m.window && m.window->isDescendantOf(window))) return false;
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

bool paintWanted(uint32_t first, uint32_t last) {
  return (first == 0 && last == 0) || (first <= kWmPaint && kWmPaint <= last);
}

Message stamped(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Message m;
  m.window = window;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = tickCount();
  const Point p = cursorPosition();
  m.x = p.x;
  m.y = p.y;
  return m;
}

}  // namespace

void postMessage(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  const std::thread::id thread = window ? WindowSystem::threadOf(window) : std::this_thread::get_id();
  if (window && thread == std::thread::id()) return;  // not a live window
  const std::shared_ptr<Queue> queue = queueOf(thread);
  {
    std::lock_guard lock(queue->mutex);
    queue->messages.push_back(stamped(window, message, wParam, lParam));
  }
  queue->arrived.notify_one();
}

bool peekMessage(Message& out, Window* window, uint32_t first, uint32_t last, unsigned flags) {
  if (!automation::enabled()) backend::pumpEvents();
  Queue& queue = threadQueue();
  {
    std::lock_guard lock(queue.mutex);
    auto it = std::find_if(queue.messages.begin(), queue.messages.end(),
                           [&](const Message& m) { return matches(m, window, first, last); });
    if (it != queue.messages.end()) {
      out = *it;
      if (flags & kPeekRemove) {
        queue.messages.erase(it);
        input::messageTaken(out.message, out.wParam, {out.x, out.y});
      }
      return true;
    }
    if (queue.quitPending && window == nullptr && ((first == 0 && last == 0) || (first <= kWmQuit && kWmQuit <= last))) {
      out = stamped(nullptr, kWmQuit, static_cast<uintptr_t>(static_cast<intptr_t>(queue.quitCode)), 0);
      if (flags & kPeekRemove) queue.quitPending = false;
      return true;
    }
  }
  if (paintWanted(first, last)) {
    if (Window* w = WindowSystem::windowNeedingPaint(std::this_thread::get_id(), window)) {
      out = stamped(w, kWmPaint, 0, 0);
      return true;
    }
  }
  return false;
}

bool getMessage(Message& out, Window* window, uint32_t first, uint32_t last) {
  for (;;) {
    if (peekMessage(out, window, first, last, kPeekRemove)) return out.message != kWmQuit;
    backend::presentPending();
    if (automation::enabled()) {
      if (automation::runNextStep()) continue;
      out = stamped(nullptr, kWmQuit, static_cast<uintptr_t>(kStarvedExitCode), 0);
      return false;
    }
    Queue& queue = threadQueue();
    std::unique_lock lock(queue.mutex);
    // Real input reaches the queue through Qt, so wake up now and then to
    // let it in.
    queue.arrived.wait_for(lock, std::chrono::milliseconds(5), [&] { return !queue.messages.empty() || queue.quitPending; });
  }
}

intptr_t dispatchMessage(const Message& message) {
  Window* w = message.window;
  if (!Window::isWindow(w)) return 0;
  if (message.message >= kWmMouseMove && message.message <= kWmRButtonDblClk && Window::capture() == nullptr) {
    // The cursor shape follows the window under the pointer.
    w->send(kWmSetCursor, reinterpret_cast<uintptr_t>(w), makePointParam(1, static_cast<int32_t>(message.message)));
    if (!Window::isWindow(w)) return 0;
  }
  return w->send(message.message, message.wParam, message.lParam);
}

bool translateMessage(const Message& message) {
  if (message.message != kWmKeyDown && message.message != kWmSysKeyDown) return false;
  const uint32_t key = static_cast<uint32_t>(message.wParam);
  const bool shift = keyState(kVkShift) != 0;
  const bool ctrl = keyState(kVkControl) != 0;
  uint32_t ch = 0;
  if (key >= 'A' && key <= 'Z') {
    ch = ctrl ? key - 'A' + 1 : (shift ? key : key + ('a' - 'A'));
  } else if (key >= '0' && key <= '9') {
    static const char shifted[] = ")!@#$%^&*(";
    ch = shift ? static_cast<uint32_t>(shifted[key - '0']) : key;
  } else if (key == kVkSpace || key == kVkReturn || key == kVkBack || key == kVkTab || key == kVkEscape) {
    ch = key == kVkReturn ? '\r' : key;
  } else if (key == kVkOemPlus) {
    ch = shift ? '+' : '=';
  } else if (key == kVkOemMinus) {
    ch = shift ? '_' : '-';
  } else if (key == kVkOem4) {
    ch = shift ? '{' : '[';
  } else if (key == kVkOem6) {
    ch = shift ? '}' : ']';
  }
  if (ch == 0) return false;
  postMessage(message.window, message.message == kWmKeyDown ? kWmChar : kWmSysChar, ch, message.lParam);
  return true;
}

void postQuitMessage(int exitCode) {
  Queue& queue = threadQueue();
  {
    std::lock_guard lock(queue.mutex);
    queue.quitPending = true;
    queue.quitCode = exitCode;
  }
  queue.arrived.notify_one();
}

void discardMessages() {
  Queue& queue = threadQueue();
  std::lock_guard lock(queue.mutex);
  queue.messages.clear();
  queue.quitPending = false;
}

size_t pendingMessageCount() {
  Queue& queue = threadQueue();
  std::lock_guard lock(queue.mutex);
  return queue.messages.size() + (queue.quitPending ? 1 : 0);
}

void WindowSystem::dropMessagesFor(Window* w) {
  const std::thread::id thread = threadOf(w);
  if (thread == std::thread::id()) return;
  const std::shared_ptr<Queue> queue = queueOf(thread);
  std::lock_guard lock(queue->mutex);
  auto& m = queue->messages;
  m.erase(std::remove_if(m.begin(), m.end(), [&](const Message& msg) { return msg.window == w; }), m.end());
}

}  // namespace platform
