#include "platform/Automation.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <limits>
#include <list>
#include <mutex>
#include <stdexcept>
#include <utility>

#include <QPainter>

#include "platform/Input.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/SystemMetrics.h"
#include "platform/Window.h"
#include "platform/internal/AutomationState.h"
#include "platform/internal/Backend.h"
#include "platform/internal/FramebufferImpl.h"
#include "platform/internal/InputState.h"
#include "platform/internal/WindowSystem.h"

namespace platform::automation {

struct WorkerState {
  bool sleeping = false;
  bool exited = false;
  uint64_t wakeAt = 0;
  const std::atomic<bool>* signal = nullptr;  // what may end the sleep early
};

namespace {

std::atomic<bool> gEnabled{false};
std::atomic<uint32_t> gInputInterval{0};

// The virtual clock counts in 64 bits so that deadlines never wrap; the
// tick count shows its low 32 bits as the system's counter would.
struct Clock {
  std::mutex mutex;
  std::condition_variable changed;
  uint64_t now = 0;
  std::list<WorkerState> workers;
};

Clock& clock() {
  static Clock c;
  return c;
}

thread_local WorkerState* tCurrentWorker = nullptr;

struct Records {
  std::deque<int> answers;  // 0 stands for "fail to show"
  std::vector<ShownBox> shown;
  std::vector<unsigned> beeps;
  std::deque<DialogAnswer> dialogAnswers;
  std::vector<ShownDialog> dialogs;
  std::deque<std::string> fileAnswers;
  std::deque<std::function<void()>> steps;
  // Where the outer-loop steps stand in `steps`: their addresses are not
  // kept, so each carries a mark.
  std::deque<bool> outerOnly;
  std::string problem;  // the first thing a script left unanswered
};

Records& records() {
  static Records state;
  return state;
}

MessageFilter& messageFilter() {
  static MessageFilter filter;
  return filter;
}

constexpr int kFailToShow = 0;

int firstButton(unsigned buttons) {
  switch (buttons) {
    case kMbYesNoCancel:
    case kMbYesNo:
      return kIdYes;
    default:
      return kIdOk;
  }
}

bool busy(const WorkerState& w) { return !w.sleeping && !w.exited; }

// Waits, on the real clock but briefly, until every worker sleeps or has
// ended; a worker that computes for longer is a fault of the script.
void waitForWorkers(std::unique_lock<std::mutex>& lock) {
  Clock& c = clock();
  c.changed.wait_for(lock, std::chrono::seconds(5), [&] {
    return std::none_of(c.workers.begin(), c.workers.end(), busy);
  });
}

void advanceLocked(std::unique_lock<std::mutex>& lock, uint64_t target) {
  Clock& c = clock();
  waitForWorkers(lock);
  for (;;) {
    uint64_t next = std::numeric_limits<uint64_t>::max();
    for (const WorkerState& w : c.workers)
      if (w.sleeping && !w.exited) next = std::min(next, w.wakeAt);
    if (next > target) break;
    c.now = std::max(c.now, next);
    c.changed.notify_all();
    // Wait until each woken worker is asleep again or has ended.
    c.changed.wait_for(lock, std::chrono::seconds(5), [&] {
      return std::none_of(c.workers.begin(), c.workers.end(),
                          [&](const WorkerState& w) { return busy(w) || (w.sleeping && !w.exited && w.wakeAt <= c.now); });
    });
  }
  c.now = std::max(c.now, target);
}

void scriptedPause() {
  if (const uint32_t interval = gInputInterval) advanceTime(interval);
  std::unique_lock lock(clock().mutex);
  waitForWorkers(lock);
}

void postMouse(Window& window, Point client, uint32_t message) {
  scriptedPause();
  WindowSystem::mouseInput(message, window.clientToScreen(client), 0);
}

}  // namespace

void setEnabled(bool enabled) {
  {
    std::lock_guard lock(clock().mutex);
    gEnabled = enabled;
  }
  // Sleeps on the virtual clock end with it.
  clock().changed.notify_all();
}
bool enabled() { return gEnabled; }

// ---- Boxes ----

void queueBoxAnswer(int id) { records().answers.push_back(id); }
void queueBoxFailure() { records().answers.push_back(kFailToShow); }
const std::vector<ShownBox>& shownBoxes() { return records().shown; }
void clearShownBoxes() { records().shown.clear(); }

int answerBox(std::string_view text, std::string_view caption, unsigned flags) {
  auto& state = records();
  const unsigned buttons = flags & kMbButtonMask;
  int answer = firstButton(buttons);
  if (!state.answers.empty()) {
    answer = state.answers.front();
    state.answers.pop_front();
    if (answer == kFailToShow) throw std::runtime_error("message box could not be shown");
  }
  state.shown.push_back({std::string(text), std::string(caption), flags & kMbIconMask, buttons, answer});
  return answer;
}

const std::vector<unsigned>& beeps() { return records().beeps; }
void clearBeeps() { records().beeps.clear(); }
void recordBeep(unsigned icon) { records().beeps.push_back(icon); }

// ---- Dialogs ----

void queueDialogAnswer(DialogAnswer answer) { records().dialogAnswers.push_back(std::move(answer)); }

bool takeDialogAnswer(DialogAnswer& out) {
  auto& q = records().dialogAnswers;
  if (q.empty()) return false;
  out = std::move(q.front());
  q.pop_front();
  return true;
}

const std::vector<ShownDialog>& shownDialogs() { return records().dialogs; }
void recordDialog(ShownDialog dialog) { records().dialogs.push_back(std::move(dialog)); }

void reportScriptProblem(std::string problem) {
  if (records().problem.empty()) records().problem = std::move(problem);
}

std::string takeScriptProblem() { return std::exchange(records().problem, std::string()); }

void queueFileAnswer(std::string path) { records().fileAnswers.push_back(std::move(path)); }

bool takeFileAnswer(std::string& out) {
  auto& q = records().fileAnswers;
  if (q.empty()) return false;
  out = std::move(q.front());
  q.pop_front();
  return true;
}

// ---- Scripted input ----

void setInputInterval(uint32_t milliseconds) { gInputInterval = milliseconds; }

void keyDown(uint32_t virtualKey) {
  scriptedPause();
  WindowSystem::keyInput(virtualKey, true);
}

void keyUp(uint32_t virtualKey) {
  scriptedPause();
  WindowSystem::keyInput(virtualKey, false);
}

void keyPress(uint32_t virtualKey, unsigned modifiers) {
  if (modifiers & kModShift) keyDown(kVkShift);
  if (modifiers & kModControl) keyDown(kVkControl);
  if (modifiers & kModAlt) keyDown(kVkMenu);
  keyDown(virtualKey);
  keyUp(virtualKey);
  if (modifiers & kModAlt) keyUp(kVkMenu);
  if (modifiers & kModControl) keyUp(kVkControl);
  if (modifiers & kModShift) keyUp(kVkShift);
}

void mouseDown(Window& window, Point client, Button button) {
  postMouse(window, client, button == Button::kLeft ? kWmLButtonDown : kWmRButtonDown);
}

void mouseMove(Window& window, Point client) { postMouse(window, client, kWmMouseMove); }

void mouseUp(Window& window, Point client, Button button) {
  postMouse(window, client, button == Button::kLeft ? kWmLButtonUp : kWmRButtonUp);
}

bool chooseMenuItem(Window& frame, const std::vector<std::string>& path) {
  Menu* menu = frame.menu();
  if (menu == nullptr || path.empty()) return false;
  frame.send(kWmInitMenu, reinterpret_cast<uintptr_t>(menu));
  for (size_t level = 0; level < path.size(); ++level) {
    Menu::Item* found = nullptr;
    size_t index = 0;
    for (size_t i = 0; i < menu->itemCount(); ++i) {
      Menu::Item& item = menu->item(i);
      if (!item.text.empty() && (item.text == path[level] || Menu::displayText(item.text) == path[level])) {
        found = &item;
        index = i;
        break;
      }
    }
    if (found == nullptr || !found->enabled) return false;
    if (level + 1 == path.size()) {
      if (found->submenu) return false;
      frame.post(kWmCommand, found->id, 0);
      return true;
    }
    if (!found->submenu) return false;
    menu = found->submenu.get();
    frame.send(kWmInitMenuPopup, reinterpret_cast<uintptr_t>(menu), static_cast<intptr_t>(index));
  }
  return false;
}

bool queryEndSession() {
  for (Window* w : Window::topLevelWindows())
    if (Window::isWindow(w) && w->send(kWmQueryEndSession) == 0) return false;
  return true;
}

Window* findWindow(std::string_view title) {
  for (Window* w : Window::topLevelWindows())
    if (w->title() == title) return w;
  return nullptr;
}

// ---- Steps ----

void queueStep(std::function<void()> step) {
  records().steps.push_back(std::move(step));
  records().outerOnly.push_back(false);
}

void queueOuterLoopStep(std::function<void()> step) {
  records().steps.push_back(std::move(step));
  records().outerOnly.push_back(true);
}

void queueStepsFirst(std::vector<std::function<void()>> steps) {
  auto& queue = records().steps;
  records().outerOnly.insert(records().outerOnly.begin(), steps.size(), false);
  queue.insert(queue.begin(), std::make_move_iterator(steps.begin()), std::make_move_iterator(steps.end()));
}

bool runNextStep() {
  auto& steps = records().steps;
  if (steps.empty()) return false;
  auto step = std::move(steps.front());
  steps.pop_front();
  records().outerOnly.pop_front();
  step();
  return true;
}

bool runNextNestedStep() {
  if (!records().outerOnly.empty() && records().outerOnly.front()) return false;
  return runNextStep();
}

size_t pendingSteps() { return records().steps.size(); }

void setMessageFilter(MessageFilter filter) { messageFilter() = std::move(filter); }

void drainMessages() {
  Message m;
  while (peekMessage(m, nullptr, 0, 0, kPeekRemove)) {
    if (m.message == kWmQuit) {
      postQuitMessage(static_cast<int>(m.wParam));
      return;
    }
    if (messageFilter() && messageFilter()(m)) continue;
    translateMessage(m);
    dispatchMessage(m);
  }
}

// ---- Virtual time ----

uint32_t virtualTime() {
  std::lock_guard lock(clock().mutex);
  return static_cast<uint32_t>(clock().now);
}

void advanceTime(uint32_t milliseconds) {
  std::unique_lock lock(clock().mutex);
  advanceLocked(lock, clock().now + milliseconds);
}

void sleepVirtual(uint32_t milliseconds) {
  if (isWorkerThread()) {
    workerSleep(milliseconds);
  } else {
    advanceTime(milliseconds);
  }
}

WorkerState* registerWorker() {
  std::lock_guard lock(clock().mutex);
  return &clock().workers.emplace_back();
}

void workerExited(WorkerState* worker) {
  {
    std::lock_guard lock(clock().mutex);
    worker->exited = true;
    worker->sleeping = false;
  }
  clock().changed.notify_all();
}

void setCurrentWorker(WorkerState* worker) { tCurrentWorker = worker; }
bool isWorkerThread() { return tCurrentWorker != nullptr; }

void workerSleep(uint32_t milliseconds) {
  static const std::atomic<bool> kNever{false};
  workerWait(milliseconds, kNever);
}

bool workerWait(uint32_t milliseconds, const std::atomic<bool>& signal) {
  Clock& c = clock();
  std::unique_lock lock(c.mutex);
  WorkerState& w = *tCurrentWorker;
  if (signal) return true;
  w.wakeAt = c.now + milliseconds;
  w.signal = &signal;
  w.sleeping = true;
  c.changed.notify_all();
  c.changed.wait(lock, [&] { return c.now >= w.wakeAt || !gEnabled || signal; });
  w.sleeping = false;
  w.signal = nullptr;
  return signal;
}

void wakeWorkersWaitingOn(const std::atomic<bool>& signal) {
  Clock& c = clock();
  {
    std::lock_guard lock(c.mutex);
    // Awake from now on: whoever steps the clock or waits for the workers
    // waits for these to sleep again or end.
    for (WorkerState& w : c.workers)
      if (w.sleeping && w.signal == &signal) w.sleeping = false;
  }
  c.changed.notify_all();
}

void waitForWorker(WorkerState* worker) {
  Clock& c = clock();
  std::unique_lock lock(c.mutex);
  c.changed.wait_for(lock, std::chrono::seconds(5), [&] { return !busy(*worker); });
}

bool stepWorker(WorkerState* worker) {
  Clock& c = clock();
  std::unique_lock lock(c.mutex);
  c.changed.wait_for(lock, std::chrono::seconds(5), [&] { return !busy(*worker); });
  if (worker->exited) {
    c.workers.remove_if([&](const WorkerState& w) { return &w == worker; });
    return false;
  }
  if (worker->sleeping) advanceLocked(lock, std::max(c.now, worker->wakeAt));
  return true;
}

void reset() {
  records() = Records{};
  gInputInterval = 0;
  {
    std::lock_guard lock(clock().mutex);
    clock().now = 0;
  }
  input::reset();
}

}  // namespace platform::automation

namespace platform::automation {

bool saveScreenshot(Window& window, const std::string& path) {
  if (!window.exists()) return false;
  return window.composite().savePng(path);
}

bool saveDesktopScreenshot(const Rect& area, const std::string& path) {
  if (area.isEmpty()) return false;
  // On a real screen the display server's own pixels, stacked as it (and
  // a window manager) stacks the windows.
  if (backend::hasScreen()) {
    Framebuffer shown;
    return backend::grabScreen(area, shown) && shown.savePng(path);
  }
  Framebuffer desktop(area.width(), area.height(), systemColour(kColourAppWorkspace));
  QPainter painter(&desktop.impl().image);
  const std::vector<Window*> windows = Window::topLevelWindows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    Window* w = *it;
    if (!w->isVisible() || w->isMinimized()) continue;
    const Rect r = w->windowRect();
    painter.drawImage(r.left - area.left, r.top - area.top, w->composite().impl().image);
  }
  painter.end();
  return desktop.savePng(path);
}

}  // namespace platform::automation
