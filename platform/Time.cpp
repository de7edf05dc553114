#include "platform/Time.h"

#include <chrono>
#include <thread>

#include "platform/Automation.h"

namespace platform {

uint32_t tickCount() {
  if (automation::enabled()) return automation::virtualTime();
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void sleepMilliseconds(uint32_t milliseconds) {
  if (automation::enabled()) {
    automation::sleepVirtual(milliseconds);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform
