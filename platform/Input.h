// Input state readable from any thread: the asynchronous key state (what
// the keyboard and mouse buttons are doing now, not what the queue has
// delivered so far) and the pointer position; plus the user's settings
// for double clicks and key repeat.
#pragma once

#include <cstdint>

#include "platform/Geometry.h"

namespace platform {

// 0x8000 set while the key or button (kVkLButton, kVkRButton, kVkShift,
// kVkControl, kVkMenu, ...) is down.
int16_t asyncKeyState(uint32_t virtualKey);
bool isKeyDown(uint32_t virtualKey);

// The key state as of the input message last taken from the queue, which
// is what the handling of that message should see.
int16_t keyState(uint32_t virtualKey);

// The pointer in screen coordinates.
Point cursorPosition();
// Moves the pointer; the window under it gets a mouse move, as when the
// user moves the mouse.
void setCursorPosition(Point screen);
// Synthesised relative pointer movement (the mouse nudge of the tools).
void moveMouseRelative(int32_t dx, int32_t dy);

// Two clicks within this many milliseconds are a double click.
uint32_t doubleClickTime();

// Keyboard repeat speed, 0 (slowest) to 31 (fastest). Setting answers
// false for values outside that range.
int keyboardRepeatSpeed();
bool setKeyboardRepeatSpeed(int speed);

}  // namespace platform
