// An event a thread can wait on, set by another: the manual-reset event of
// the desktop system. A thread that loops "work, then wait a while" waits
// on one instead of sleeping, so that whoever wants it to end can wake it
// at once instead of waiting out its sleep.
//
// Under automation a platform::Thread waits on the virtual clock, as its
// sleeps do, but wakes as soon as the event is set; the script then sees
// it busy until it sleeps again or ends.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

class Event {
 public:
  Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Sets the event and wakes every thread waiting on it; it stays set
  // until reset.
  void set();
  void reset();
  bool isSet() const { return set_.load(std::memory_order_acquire); }

  // Waits until the event is set or the time has passed; true when set.
  bool wait(uint32_t milliseconds);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<bool> set_{false};
};

}  // namespace platform
