// Time as the windowing layer sees it. Under automation the clock is
// virtual: it moves only when a script advances it, so a scripted run does
// the same thing every time.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start; wraps like the system's counter.
uint32_t tickCount();

// Sleeps the calling thread (on the virtual clock under automation).
void sleepMilliseconds(uint32_t milliseconds);

}  // namespace platform
