// Window-system geometry: points, sizes and rectangles in pixels, with the
// right and bottom edges exclusive, and colours as 0x00BBGGRR values.
#pragma once

#include <algorithm>
#include <cstdint>

namespace platform {

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int32_t cx = 0;
  int32_t cy = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  int32_t width() const { return right - left; }
  int32_t height() const { return bottom - top; }
  bool isEmpty() const { return right <= left || bottom <= top; }
  bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  Rect offsetBy(int32_t dx, int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  Rect intersected(const Rect& o) const {
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
    return r.isEmpty() ? Rect{} : r;
  }
  Point topLeft() const { return {left, top}; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A colour as the drawing calls take it: red in the low byte.
using Colour = uint32_t;

constexpr Colour rgb(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<Colour>(r) | (static_cast<Colour>(g) << 8) | (static_cast<Colour>(b) << 16);
}
constexpr uint8_t redOf(Colour c) { return static_cast<uint8_t>(c); }
constexpr uint8_t greenOf(Colour c) { return static_cast<uint8_t>(c >> 8); }
constexpr uint8_t blueOf(Colour c) { return static_cast<uint8_t>(c >> 16); }

}  // namespace platform
