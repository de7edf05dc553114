#include "image/Geometry.h"

#include <algorithm>

bool Rect::contains(const Rect& inner) const {
  if (inner.empty()) return true;
  return inner.top >= top && inner.left >= left && inner.bottom <= bottom && inner.right <= right;
}

Rect Rect::intersection(const Rect& other) const {
  return {std::max(top, other.top), std::max(left, other.left), std::min(bottom, other.bottom),
          std::min(right, other.right)};
}

Rect Rect::boundingUnion(const Rect& other) const {
  if (other.empty()) return *this;
  if (empty()) return other;
  return {std::min(top, other.top), std::min(left, other.left), std::max(bottom, other.bottom),
          std::max(right, other.right)};
}

Rect Rect::offsetBy(int16_t dv, int16_t dh) const {
  return {static_cast<int16_t>(top + dv), static_cast<int16_t>(left + dh),
          static_cast<int16_t>(bottom + dv), static_cast<int16_t>(right + dh)};
}
