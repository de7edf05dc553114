#pragma once

#include <QImage>

#include <array>

#include "platform/Bitmap.h"

namespace platform {

struct Bitmap::Impl {
  QImage image;  // ARGB32 premultiplied for colour bitmaps
  bool monochrome = false;
  std::array<uint8_t, 8> rows{};  // monochrome bits, leftmost pixel in the high bit
  int32_t monoWidth = 0, monoHeight = 0;
};

}  // namespace platform
