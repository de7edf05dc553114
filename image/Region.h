// A set of pixels: a union of rectangles, held in the windowing layer's
// region object. Every failure of that layer throws XGeometry.
#pragma once

#include <memory>

#include "image/Geometry.h"

namespace platform {
class Region;
}

class Region {
 public:
  Region();  // empty
  explicit Region(const Rect& rect);
  Region(const Region& other);
  Region& operator=(const Region& other);
  Region(Region&&) noexcept;
  Region& operator=(Region&&) noexcept;
  ~Region();

  void makeEmpty();
  void set(const Rect& rect);
  Rect bounds() const;  // empty rectangle for an empty region
  bool empty() const;
  void offset(Point by);

  void unite(const Region& other);
  void intersect(const Region& other);
  void subtract(const Region& other);

  // The windowing layer's object, for code that draws with it.
  const platform::Region& platformRegion() const { return *region_; }

 private:
  std::unique_ptr<platform::Region> region_;
};
