#include "platform/Thread.h"

#include <atomic>
#include <thread>

#include "platform/Automation.h"
#include "platform/internal/AutomationState.h"

namespace platform {

struct Thread::Shared {
  std::thread thread;
  automation::WorkerState* worker = nullptr;
  std::atomic<bool> done{false};
};

Thread::Thread() = default;

Thread::~Thread() { join(); }

bool Thread::start(std::function<void()> body, int priority) {
  if (running()) return false;
  join();
  auto shared = std::make_shared<Shared>();
  shared->worker = automation::registerWorker();
  try {
    shared->thread = std::thread([shared, body = std::move(body)] {
      automation::setCurrentWorker(shared->worker);
      try {
        body();
      } catch (...) {
        // A thread body has nobody to report to; it just ends.
      }
      shared->done = true;
      automation::workerExited(shared->worker);
      automation::setCurrentWorker(nullptr);
    });
  } catch (const std::system_error&) {
    automation::workerExited(shared->worker);
    automation::stepWorker(shared->worker);
    return false;
  }
  // Under automation the new thread's first steps (up to its first sleep)
  // happen before the starter goes on, so a script sees them at the same
  // point every time.
  if (automation::enabled() && !automation::isWorkerThread()) automation::waitForWorker(shared->worker);
  shared_ = std::move(shared);
  setPriority(priority);
  return true;
}

void Thread::join() {
  if (!shared_) return;
  if (automation::enabled()) {
    while (automation::stepWorker(shared_->worker)) {
    }
  } else {
    shared_->thread.join();
    automation::stepWorker(shared_->worker);
  }
  if (shared_->thread.joinable()) shared_->thread.join();
  shared_.reset();
}

bool Thread::running() const { return shared_ && !shared_->done; }

bool Thread::setPriority(int priority) {
  switch (priority) {
    case kThreadPriorityLowest:
    case kThreadPriorityBelowNormal:
    case kThreadPriorityNormal:
    case kThreadPriorityAboveNormal:
    case kThreadPriorityHighest:
    case kThreadPriorityTimeCritical:
      break;
    default:
      return false;
  }
  priority_ = priority;
  // Ordinary processes may not raise priorities on this system; the value
  // is kept as a hint and the scheduler left to its defaults.
  return true;
}

}  // namespace platform
