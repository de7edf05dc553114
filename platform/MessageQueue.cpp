#include "platform/MessageQueue.h"

#include <algorithm>
#include <deque>

#include "platform/Time.h"

namespace platform {
namespace {

std::deque<Message>& threadQueue() {
  thread_local std::deque<Message> queue;
  return queue;
}

bool matches(const Message& m, Window* window, uint32_t first, uint32_t last) {
  if (window != nullptr && m.window != window) return false;
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

}  // namespace

void postMessage(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Message m;
  m.window = window;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = tickCount();
  threadQueue().push_back(m);
}

bool peekMessage(Message& out, Window* window, uint32_t first, uint32_t last, unsigned flags) {
  auto& queue = threadQueue();
  auto it = std::find_if(queue.begin(), queue.end(),
                         [&](const Message& m) { return matches(m, window, first, last); });
  if (it == queue.end()) return false;
  out = *it;
  if (flags & kPeekRemove) queue.erase(it);
  return true;
}

void postQuitMessage(int exitCode) { postMessage(nullptr, kWmQuit, static_cast<uintptr_t>(exitCode)); }

void discardMessages() { threadQueue().clear(); }

}  // namespace platform
