#include "platform/Region.h"

#include <cstdlib>
#include <new>

#include "platform/internal/RegionImpl.h"

namespace platform {
namespace {

bool withinLimit(int64_t v) { return v >= -kRegionCoordinateLimit && v <= kRegionCoordinateLimit; }

bool holdable(const Rect& r) {
  return withinLimit(r.left) && withinLimit(r.top) && withinLimit(r.right) && withinLimit(r.bottom);
}

RegionKind kindOf(const QRegion& region) {
  if (region.isEmpty()) return kRegionNull;
  return region.rectCount() == 1 ? kRegionSimple : kRegionComplex;
}

// Runs an operation that builds a new region; the old one stays when it
// cannot be built.
template <typename Build>
RegionKind replaceWith(QRegion& target, Build build) {
  try {
    QRegion result = build();
    target.swap(result);
    return kindOf(target);
  } catch (const std::bad_alloc&) {
    return kRegionError;
  }
}

QRegion regionOf(const Rect& rect) { return rect.isEmpty() ? QRegion() : QRegion(toQRect(rect)); }

}  // namespace

Region::Region() : impl_(std::make_unique<Impl>()) {}

Region::Region(const Rect& rect) : Region() { setRect(rect); }

Region::Region(const Region& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}

Region& Region::operator=(const Region& other) {
  impl_->region = other.impl_->region;
  return *this;
}

Region::~Region() = default;

RegionKind Region::setEmpty() {
  impl_->region = QRegion();
  return kRegionNull;
}

RegionKind Region::setRect(const Rect& rect) {
  if (!holdable(rect)) return kRegionError;
  return replaceWith(impl_->region, [&] { return regionOf(rect); });
}

RegionKind Region::copyFrom(const Region& other) {
  impl_->region = other.impl_->region;
  return kind();
}

RegionKind Region::kind() const { return kindOf(impl_->region); }

bool Region::isEmpty() const { return impl_->region.isEmpty(); }

Rect Region::boundingBox() const {
  if (impl_->region.isEmpty()) return {};
  return fromQRect(impl_->region.boundingRect());
}

bool Region::contains(Point p) const { return impl_->region.contains(QPoint(p.x, p.y)); }

bool Region::intersects(const Rect& rect) const {
  return !rect.isEmpty() && impl_->region.intersects(toQRect(rect));
}

std::vector<Rect> Region::rects() const {
  std::vector<Rect> out;
  out.reserve(static_cast<size_t>(impl_->region.rectCount()));
  for (const QRect& r : impl_->region) out.push_back(fromQRect(r));
  return out;
}

RegionKind Region::offset(int32_t dx, int32_t dy) {
  if (impl_->region.isEmpty()) return kRegionNull;
  const Rect box = boundingBox();
  const int64_t ddx = dx, ddy = dy;
  if (!withinLimit(box.left + ddx) || !withinLimit(box.right + ddx) || !withinLimit(box.top + ddy) ||
      !withinLimit(box.bottom + ddy))
    return kRegionError;
  return replaceWith(impl_->region, [&] { return impl_->region.translated(dx, dy); });
}

RegionKind Region::unite(const Region& other) {
  return replaceWith(impl_->region, [&] { return impl_->region.united(other.impl_->region); });
}

RegionKind Region::unite(const Rect& rect) {
  if (!holdable(rect)) return kRegionError;
  return replaceWith(impl_->region, [&] { return impl_->region.united(regionOf(rect)); });
}

RegionKind Region::intersect(const Region& other) {
  return replaceWith(impl_->region, [&] { return impl_->region.intersected(other.impl_->region); });
}

RegionKind Region::intersect(const Rect& rect) {
  if (!holdable(rect)) return kRegionError;
  return replaceWith(impl_->region, [&] { return impl_->region.intersected(regionOf(rect)); });
}

RegionKind Region::subtract(const Region& other) {
  return replaceWith(impl_->region, [&] { return impl_->region.subtracted(other.impl_->region); });
}

RegionKind Region::subtract(const Rect& rect) {
  if (!holdable(rect)) return kRegionError;
  return replaceWith(impl_->region, [&] { return impl_->region.subtracted(regionOf(rect)); });
}

bool Region::operator==(const Region& other) const { return impl_->region == other.impl_->region; }

}  // namespace platform
