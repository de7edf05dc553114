#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Geometry.h"

namespace platform::input {

void setKeyDown(uint32_t virtualKey, bool down);
void setCursor(Point screen);
// The mouse-message flags for the current key and button state.
uint32_t mouseFlags();
// Keeps the queued key state in step with the messages taken.
void messageTaken(uint32_t message, uintptr_t wParam, Point screen);
// Where the pointer was when the input message last taken was made.
Point lastMessagePoint();
void reset();

}  // namespace platform::input
