#include "image/Region.h"

#include "shell/Exceptions.h"

namespace {

platform::Rect toPlatform(const Rect& r) {
  if (r.empty()) return {};
  return {r.left, r.top, r.right, r.bottom};
}

void check(platform::RegionKind kind) {
  if (kind == platform::kRegionError) throw XGeometry(TESSALY_HERE);
}

}  // namespace

Region::Region() = default;

Region::Region(const Rect& rect) : region_(toPlatform(rect)) {}

Region& Region::operator=(const Region& other) {
  if (this != &other) check(region_.copyFrom(other.region_));
  return *this;
}

void Region::makeEmpty() { check(region_.setEmpty()); }

void Region::set(const Rect& rect) { check(region_.setRect(toPlatform(rect))); }

Rect Region::bounds() const {
  const platform::Rect box = region_.boundingBox();
  if (box.isEmpty()) return {};
  // A region built from 16-bit rectangles stays within 16 bits; anything
  // else came from an offset that should have failed.
  if (box.top < INT16_MIN || box.left < INT16_MIN || box.bottom > INT16_MAX ||
      box.right > INT16_MAX)
    throw XGeometry(TESSALY_HERE);
  return {static_cast<int16_t>(box.top), static_cast<int16_t>(box.left),
          static_cast<int16_t>(box.bottom), static_cast<int16_t>(box.right)};
}

bool Region::empty() const { return region_.isEmpty(); }

void Region::offset(Point by) { check(region_.offset(by.h, by.v)); }

void Region::unite(const Region& other) { check(region_.unite(other.region_)); }

void Region::intersect(const Region& other) { check(region_.intersect(other.region_)); }

void Region::subtract(const Region& other) { check(region_.subtract(other.region_)); }
