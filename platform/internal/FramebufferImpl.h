#pragma once

#include <QImage>
#include <QRect>

#include "platform/Framebuffer.h"

namespace platform {

// Pixels are 0xffRRGGBB words, rows top-down.
struct Framebuffer::Impl {
  QImage image;
  QRect dirty;

  void markDirty(const QRect& r) { dirty = dirty.united(r.intersected(image.rect())); }
};

inline uint32_t toPixel(Colour c) {
  return 0xff000000u | (static_cast<uint32_t>(redOf(c)) << 16) | (static_cast<uint32_t>(greenOf(c)) << 8) |
         blueOf(c);
}
inline Colour fromPixel(uint32_t p) { return rgb(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)); }

}  // namespace platform
