// The work window's keys that act on the mask tools and their values, after
// the tool keys: keep mode (D, E, X), brush size ([, ], {, }, Left, Right),
// threshold (Up, Down), the temporary eyedroppers on Alt and Ctrl, and Esc.
// Keys go by virtual key; the modifier word is the key handlers' (Shift 4,
// Ctrl 8, Alt 0x40), taken from the key state as the key arrives.
#pragma once

#include <cstdint>

class SliderPair;

// True when the key was one of these (then nothing else is to happen).
bool WorkKeyDown(uint32_t virtualKey, unsigned modifiers, bool repeated);
bool WorkKeyUp(uint32_t virtualKey, unsigned modifiers);

// Moves a pair's lower value towards `requested` by no more than its upper
// value can follow without passing 255; the upper value moves with it.
void StepLowerValue(SliderPair& pair, int requested);
