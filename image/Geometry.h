// Points and rectangles in image coordinates. Every coordinate of the image
// code is 16-bit, vertical before horizontal; rectangles are half-open.
#pragma once

#include <cstdint>

struct Point {
  int16_t v = 0;  // row
  int16_t h = 0;  // column

  friend bool operator==(const Point&, const Point&) = default;
};

// bottom and right are exclusive: (0, 0, 2, 3) holds 2 rows of 3 pixels.
struct Rect {
  int16_t top = 0;
  int16_t left = 0;
  int16_t bottom = 0;
  int16_t right = 0;

  friend bool operator==(const Rect&, const Rect&) = default;

  bool empty() const { return top >= bottom || left >= right; }
  // Sizes of an empty rectangle may be zero or negative; callers test empty().
  int32_t height() const { return int32_t{bottom} - top; }
  int32_t width() const { return int32_t{right} - left; }
  Point topLeft() const { return {top, left}; }

  bool contains(Point p) const { return p.v >= top && p.v < bottom && p.h >= left && p.h < right; }
  // True also when `inner` is empty.
  bool contains(const Rect& inner) const;
  bool meets(const Rect& other) const { return !intersection(other).empty(); }

  // The common part; empty rectangles stay empty (their coordinates then
  // mean nothing).
  Rect intersection(const Rect& other) const;
  // The smallest rectangle holding both; an empty operand is ignored.
  Rect boundingUnion(const Rect& other) const;
  Rect offsetBy(int16_t dv, int16_t dh) const;
};

// Division rounding towards minus infinity: grid lines on multiples of a
// cell size continue left of and above the origin.
constexpr int32_t floorDiv(int32_t a, int32_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
