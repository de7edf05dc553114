// What the rest of the windowing layer asks of automation while it is on.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/Message.h"

namespace platform::automation {

// Records a box and returns its scripted answer; throws when the script
// asked the box to fail.
int answerBox(std::string_view text, std::string_view caption, unsigned flags);
void recordBeep(unsigned icon);

// Threads started by the platform sleep on the virtual clock.
struct WorkerState;
WorkerState* registerWorker();
void workerExited(WorkerState* worker);
void setCurrentWorker(WorkerState* worker);
bool isWorkerThread();
void workerSleep(uint32_t milliseconds);
// Sleeps like workerSleep, but wakes as soon as `signal` is set (see
// wakeWorkersWaitingOn); true when it was set.
bool workerWait(uint32_t milliseconds, const std::atomic<bool>& signal);
// Called after `signal` was set: the workers waiting on it count as awake
// from now on, so the script waits for them to sleep again or end.
void wakeWorkersWaitingOn(const std::atomic<bool>& signal);
// Waits until a worker sleeps or has ended (a thread just started has
// taken its first steps).
void waitForWorker(WorkerState* worker);
// Moves the clock to the worker's next wake-up (or waits for it to end).
// False once it has ended.
bool stepWorker(WorkerState* worker);

// The application framework's pre-translation of messages (accelerators,
// its own hooks), used when a script drains the queue; true: handled.
using MessageFilter = std::function<bool(const Message&)>;
void setMessageFilter(MessageFilter filter);

}  // namespace platform::automation
