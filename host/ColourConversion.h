// Colour conversions between the interface's colour spaces, through
// LittleCMS: sRGB for RGB, Lab D50, a gamma 2.2 grey, the system's default
// CMYK profile when one is installed; HSB and HSL are derived from RGB.
#pragma once

#include <cstdint>
#include <string>

namespace host {

// The interface's colour-space numbers (RGB 0, HSB 1, CMYK 2, Lab 3, Gray 4,
// HSL 5). Components hold one byte each as the document stores them (Lab a
// and b offset by 128, CMYK as ink amounts), except hue, which is in degrees
// (0 to 359).
bool isKnownColourSpace(int16_t space);
// Converts in place; returns false for an unknown space.
bool convertColour(int16_t from, int16_t to, int16_t components[4]);

// The interface's colour space of a document mode (RGB 3 -> 0, ...), -1 if none.
int16_t colourSpaceOfMode(int16_t mode);

// Converts `count` interleaved document pixels of a mode (with `step` bytes
// between pixels) to packed 8-bit sRGB.
void toRgb(int16_t mode, const uint8_t* pixels, size_t count, size_t step, uint8_t* rgb);

// Which CMYK profile is in use (a file, or the built-in approximation).
std::string cmykProfileDescription();

}  // namespace host
