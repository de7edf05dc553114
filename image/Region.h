// A set of pixels: a union of rectangles, held in the windowing layer's
// region object. Every failure of that layer throws XGeometry.
#pragma once

#include "image/Geometry.h"
#include "platform/Region.h"

class Region {
 public:
  Region();  // empty
  explicit Region(const Rect& rect);
  Region(const Region& other) = default;
  Region& operator=(const Region& other);

  void makeEmpty();
  void set(const Rect& rect);
  Rect bounds() const;  // empty rectangle for an empty region
  bool empty() const;
  void offset(Point by);

  void unite(const Region& other);
  void intersect(const Region& other);
  void subtract(const Region& other);

  // The windowing layer's object, for code that draws with it.
  const platform::Region& platformRegion() const { return region_; }

 private:
  platform::Region region_;
};
