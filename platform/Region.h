// Regions: sets of pixels held as unions of rectangles. Operations answer
// with the kind of region they produced, or kRegionError when they failed;
// the region is then left as it was, so a caller can report the failure
// (the image layer turns it into XGeometry) without losing its state.
#pragma once

#include <memory>
#include <vector>

#include "platform/Geometry.h"

namespace platform {

enum RegionKind : int {
  kRegionError = 0,
  kRegionNull = 1,     // empty
  kRegionSimple = 2,   // one rectangle
  kRegionComplex = 3,  // more than one rectangle
};

// Coordinates beyond this magnitude cannot be held; operations that would
// produce them fail.
inline constexpr int32_t kRegionCoordinateLimit = 1 << 27;

class Region {
 public:
  Region();
  explicit Region(const Rect& rect);
  Region(const Region& other);
  Region& operator=(const Region& other);  // copies share storage until written
  ~Region();

  RegionKind setEmpty();
  RegionKind setRect(const Rect& rect);
  RegionKind copyFrom(const Region& other);

  RegionKind kind() const;
  bool isEmpty() const;
  Rect boundingBox() const;  // empty Rect for an empty region
  bool contains(Point p) const;
  bool intersects(const Rect& rect) const;
  // The rectangles that make up the region, top to bottom, left to right,
  // none overlapping.
  std::vector<Rect> rects() const;

  RegionKind offset(int32_t dx, int32_t dy);
  RegionKind unite(const Region& other);
  RegionKind unite(const Rect& rect);
  RegionKind intersect(const Region& other);
  RegionKind intersect(const Rect& rect);
  RegionKind subtract(const Region& other);
  RegionKind subtract(const Rect& rect);

  bool operator==(const Region& other) const;

  struct Impl;
  const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
