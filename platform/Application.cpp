#include "platform/Application.h"

#include <new>

#include "platform/FrameWindow.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "platform/Automation.h"
#include "platform/internal/AutomationState.h"
#include "platform/internal/BackendWindows.h"

namespace platform {
namespace {

Application*& currentApp() {
  static Application* app = nullptr;
  return app;
}

FrameWindow* frameOf(Window* w) {
  for (Window* p = w; p; p = p->parent() ? p->parent() : p->owner())
    if (auto* frame = dynamic_cast<FrameWindow*>(p)) return frame;
  return nullptr;
}

}  // namespace

Application::Application() {
  currentApp() = this;
  automation::setMessageFilter([this](const Message& m) { return preTranslateMessage(m); });
}

Application::~Application() {
  if (currentApp() == this) {
    currentApp() = nullptr;
    automation::setMessageFilter(nullptr);
  }
}

Application* Application::current() { return currentApp(); }

bool Application::isIdleMessage(const Message& m) {
  return m.message != kWmPaint && m.message != kWmIdleUpdateCmdUi;
}

bool Application::preTranslateMessage(const Message& message) {
  if (message.message < kWmKeyDown || message.message > kWmSysKeyUp) return false;
  FrameWindow* frame = frameOf(message.window);
  // Keys in an owned mini frame still reach the main frame's accelerators.
  if (frame == nullptr) frame = mainWindow_;
  if (frame == nullptr || !frame->exists() || !frame->isEnabled()) return false;
  return frame->accelerators() && translateAccelerator(frame, *frame->accelerators(), message);
}

bool Application::onIdle(long count) {
  if (count == 0) {
    for (Window* w : Window::topLevelWindows())
      if (w->isVisible()) w->send(kWmIdleUpdateCmdUi, 1);
  }
  return false;
}

intptr_t Application::processMessageException(std::exception_ptr error, const Message&) {
  try {
    std::rethrow_exception(error);
  } catch (const UserException&) {
  } catch (const MemoryException&) {
    messageBox(mainWindow_, "Out of memory.", "Tessaly", kMbOk | kMbIconStop);
  } catch (const std::bad_alloc&) {
    messageBox(mainWindow_, "Out of memory.", "Tessaly", kMbOk | kMbIconStop);
  } catch (const ResourceException&) {
    messageBox(mainWindow_, "A required resource was unavailable.", "Tessaly", kMbOk | kMbIconStop);
  } catch (const std::exception& e) {
    messageBox(mainWindow_, e.what(), "Tessaly", kMbOk | kMbIconStop);
  } catch (...) {
    messageBox(mainWindow_, "An unexpected error occurred.", "Tessaly", kMbOk | kMbIconStop);
  }
  return 0;
}

bool Application::pumpMessage() {
  Message m;
  if (!getMessage(m)) {
    exitCode_ = static_cast<int>(static_cast<intptr_t>(m.wParam));
    return false;
  }
  if (m.message >= kWmMouseMove && m.message <= kWmRButtonDblClk) {
    lastMousePoint_ = {m.x, m.y};
    lastMouseMessage_ = m.message;
  }
  try {
    if (!preTranslateMessage(m)) {
      translateMessage(m);
      dispatchMessage(m);
    }
  } catch (...) {
    processMessageException(std::current_exception(), m);
  }
  return true;
}

bool Application::idleUntilMessage(long& idleCount) {
  Message peeked;
  while (!peekMessage(peeked, nullptr, 0, 0, kPeekNoRemove)) {
    bool more = false;
    try {
      more = onIdle(idleCount++);
    } catch (...) {
      processMessageException(std::current_exception(), peeked);
    }
    if (!more) return false;
  }
  return true;
}

int Application::run() {
  long idleCount = 0;
  for (;;) {
    idleUntilMessage(idleCount);
    Message next;
    const bool idleNeutral = peekMessage(next, nullptr, 0, 0, kPeekNoRemove) && !isIdleMessage(next);
    if (!pumpMessage()) break;
    if (!idleNeutral) idleCount = 0;
  }
  return exitInstance();
}

bool Application::runModalLoop(const bool& done, const std::function<bool()>& onStarved,
                               const std::function<bool()>& beforeStep) {
  long idleCount = 0;
  while (!done) {
    idleUntilMessage(idleCount);
    if (done) break;
    Message waiting;
    if (automation::enabled() && !peekMessage(waiting, nullptr, 0, 0, kPeekNoRemove)) {
      if (beforeStep && beforeStep()) continue;
      if (automation::runNextNestedStep()) continue;
      if (onStarved && onStarved()) continue;
      return false;
    }
    Message next;
    const bool idleNeutral = peekMessage(next, nullptr, 0, 0, kPeekNoRemove) && !isIdleMessage(next);
    if (!pumpMessage()) {
      // The outer loop must see the quit as well.
      postQuitMessage(exitCode_);
      return false;
    }
    if (!idleNeutral) idleCount = 0;
  }
  return true;
}

bool runModalLoop(const bool& done, const std::function<bool()>& onStarved,
                  const std::function<bool()>& beforeStep) {
  if (Application* app = Application::current()) return app->runModalLoop(done, onStarved, beforeStep);
  // Without an application object: the same loop, without idle work.
  while (!done) {
    Message m;
    if (automation::enabled() && !peekMessage(m, nullptr, 0, 0, kPeekNoRemove)) {
      if (beforeStep && beforeStep()) continue;
      if (automation::runNextNestedStep()) continue;
      if (onStarved && onStarved()) continue;
      return false;
    }
    if (!getMessage(m)) {
      postQuitMessage(static_cast<int>(static_cast<intptr_t>(m.wParam)));
      return false;
    }
    translateMessage(m);
    dispatchMessage(m);
  }
  return true;
}

}  // namespace platform
