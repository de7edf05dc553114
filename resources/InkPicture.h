// Small pictures drawn in code: rows of characters, each the key of an ink
// of a palette; any other character is transparent.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

struct Ink {
  char key;
  uint8_t r, g, b;
};

// The picture as RGBA pixels, as wide as its first row.
platform::Bitmap bitmapOfInkPicture(const std::vector<std::string>& rows, std::span<const Ink> palette);
