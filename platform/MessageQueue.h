// The calling thread's message queue.
#pragma once

#include <cstdint>

#include "platform/Message.h"

namespace platform {

enum PeekFlags : unsigned {
  kPeekNoRemove = 0x0000,
  kPeekRemove = 0x0001,
};

// Appends a message to the calling thread's queue.
void postMessage(Window* window, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);

// Looks for the first queued message for `window` (null: any) whose number
// lies in [first, last] (both 0: any number). Copies it to `out` and, with
// kPeekRemove, takes it off the queue. False when there is none.
bool peekMessage(Message& out, Window* window, uint32_t first, uint32_t last, unsigned flags);

// Posts kWmQuit with the exit code.
void postQuitMessage(int exitCode);

// Drops every queued message of the calling thread.
void discardMessages();

}  // namespace platform
