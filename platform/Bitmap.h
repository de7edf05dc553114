// Bitmaps and icons: small images drawn into device contexts, decoded from
// resource bytes (PNG, BMP, ICO) or built from pixels. A monochrome bitmap
// keeps its bits: drawn as a pattern, clear bits take the text colour and
// set bits the background colour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/Geometry.h"

namespace platform {

class Bitmap {
 public:
  Bitmap();
  Bitmap(const Bitmap& other);
  Bitmap& operator=(const Bitmap& other);
  ~Bitmap();

  // Null when the bytes are not an image the system can read.
  static Bitmap fromEncoded(const uint8_t* data, size_t size);
  // Rows top-down, three bytes R, G, B per pixel.
  static Bitmap fromRgb24(int32_t width, int32_t height, const uint8_t* rgb, ptrdiff_t rowBytes);
  // Rows top-down, four bytes R, G, B and alpha (not premultiplied).
  static Bitmap fromRgba32(int32_t width, int32_t height, const uint8_t* rgba, ptrdiff_t rowBytes);
  // Up to 8 × 8 pixels; one byte per row, the leftmost pixel in the high bit.
  static Bitmap monochrome(int32_t width, int32_t height, const uint8_t* rows);

  bool isNull() const;
  bool isMonochrome() const;
  int32_t width() const;
  int32_t height() const;
  Colour pixel(int32_t x, int32_t y) const;
  bool monochromeBit(int32_t x, int32_t y) const;  // monochrome bitmaps only

  struct Impl;
  const Impl& impl() const { return *impl_; }

 private:
  std::shared_ptr<Impl> impl_;
};

// Icons are bitmaps whose alpha decides which pixels are drawn.
using Icon = Bitmap;

}  // namespace platform
