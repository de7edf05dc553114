// Windows for the platform tests: they record the messages they get.
#pragma once

#include <functional>
#include <vector>

#include "platform/Window.h"
#include "platform/WindowDC.h"

namespace platform::testing {

class RecordingWindow : public Window {
 public:
  struct Received {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
  };
  std::vector<Received> received;
  std::function<intptr_t(uint32_t, uintptr_t, intptr_t)> onMessage;

  int count(uint32_t message) const {
    int n = 0;
    for (const Received& r : received) n += r.message == message;
    return n;
  }
  const Received* last(uint32_t message) const {
    for (auto it = received.rbegin(); it != received.rend(); ++it)
      if (it->message == message) return &*it;
    return nullptr;
  }

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    received.push_back({message, wParam, lParam});
    if (onMessage) {
      const intptr_t answer = onMessage(message, wParam, lParam);
      if (answer != kPassOn) return answer;
    }
    return defaultHandler(message, wParam, lParam);
  }

 public:
  static constexpr intptr_t kPassOn = -12345;
};

inline CreateParams topLevel(Rect rect, const char* title = "Test") {
  CreateParams p;
  p.title = title;
  p.style = kWsOverlappedWindow | kWsVisible;
  p.rect = rect;
  return p;
}

inline CreateParams child(Window& parent, Rect rect, int id) {
  CreateParams p;
  p.style = kWsChild | kWsVisible;
  p.parent = &parent;
  p.rect = rect;
  p.id = id;
  return p;
}

}  // namespace platform::testing
