// Threads. Under automation a thread started here sleeps on the virtual
// clock: it wakes only when the script's time reaches its deadline, and
// the script waits until such threads have gone back to sleep before it
// goes on, so a scripted run does the same work every time. For the same
// reason start returns, under automation, once the new thread first
// sleeps or has ended.
#pragma once

#include <functional>
#include <memory>

namespace platform {

enum : int {
  kThreadPriorityLowest = -2,
  kThreadPriorityBelowNormal = -1,
  kThreadPriorityNormal = 0,
  kThreadPriorityAboveNormal = 1,
  kThreadPriorityHighest = 2,
  kThreadPriorityTimeCritical = 15,
};

class Thread {
 public:
  Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  ~Thread();  // joins

  // False when a thread is already running or none can be started.
  bool start(std::function<void()> body, int priority = kThreadPriorityNormal);
  // Waits for the end of the thread. Under automation the virtual clock
  // moves on to each of its wake-up times until it ends.
  void join();
  bool running() const;
  // Scheduling hint; answers false for values outside the known ones.
  bool setPriority(int priority);
  int priority() const { return priority_; }

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  int priority_ = kThreadPriorityNormal;
};

}  // namespace platform
