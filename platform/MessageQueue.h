// Message queues: one per thread. Messages posted to a window go to the
// queue of the thread that created it. Paint messages are never queued:
// a window with an invalid area gets one when nothing else is waiting.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Message.h"

namespace platform {

enum PeekFlags : unsigned {
  kPeekNoRemove = 0x0000,
  kPeekRemove = 0x0001,
};

// Appends a message to the queue of the window's thread (null: the calling
// thread's own queue, a thread message).
void postMessage(Window* window, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);

// Looks for the first queued message for `window` (null: any) whose number
// lies in [first, last] (both 0: any number). Copies it to `out` and, with
// kPeekRemove, takes it off the queue. False when there is none.
bool peekMessage(Message& out, Window* window, uint32_t first, uint32_t last, unsigned flags);

// Waits for the next message and removes it. False when it is kWmQuit (its
// wParam is the exit code). Under automation a wait runs the script's next
// step; with no step left the run cannot go on, and getMessage answers a
// quit with kStarvedExitCode.
bool getMessage(Message& out, Window* window = nullptr, uint32_t first = 0, uint32_t last = 0);
inline constexpr int kStarvedExitCode = -2;

// Hands a message to its window's handler; answers the handler's result.
intptr_t dispatchMessage(const Message& message);

// Posts kWmChar for a key-down that produces a character. True when it did.
bool translateMessage(const Message& message);

// Asks the loop to end with the exit code: the next message after those
// already posted is kWmQuit. Asking again before then changes only the code.
void postQuitMessage(int exitCode);

// Drops every queued message of the calling thread.
void discardMessages();

// Number of messages waiting in the calling thread's queue.
size_t pendingMessageCount();

}  // namespace platform
