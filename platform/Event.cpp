#include "platform/Event.h"

#include <chrono>

#include "platform/Automation.h"
#include "platform/internal/AutomationState.h"

namespace platform {

void Event::set() {
  {
    std::lock_guard lock(mutex_);
    set_.store(true, std::memory_order_release);
  }
  changed_.notify_all();
  if (automation::enabled()) automation::wakeWorkersWaitingOn(set_);
}

void Event::reset() { set_.store(false, std::memory_order_release); }

bool Event::wait(uint32_t milliseconds) {
  if (automation::enabled()) {
    if (automation::isWorkerThread()) return automation::workerWait(milliseconds, set_);
    // Any other thread moves the clock on, as its sleeps do.
    if (!isSet()) automation::advanceTime(milliseconds);
    return isSet();
  }
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return isSet(); });
}

}  // namespace platform
