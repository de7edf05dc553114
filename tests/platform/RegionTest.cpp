#include "platform/Region.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

int area(const Region& r) {
  int total = 0;
  for (const Rect& rect : r.rects()) total += rect.width() * rect.height();
  return total;
}

TEST(Region, KindsFollowTheShapeOfTheResult) {
  Region r;
  EXPECT_EQ(r.kind(), kRegionNull);
  EXPECT_TRUE(r.isEmpty());
  EXPECT_EQ(r.setRect({0, 0, 10, 10}), kRegionSimple);
  EXPECT_EQ(r.unite(Rect{20, 0, 30, 10}), kRegionComplex);
  EXPECT_EQ(r.intersect(Rect{0, 0, 5, 5}), kRegionSimple);
  EXPECT_EQ(r.subtract(Rect{0, 0, 5, 5}), kRegionNull);
  EXPECT_EQ(r.setRect({5, 5, 5, 9}), kRegionNull) << "a rectangle without width holds no pixels";
}

TEST(Region, AlgebraCountsEveryPixelOnce) {
  Region a(Rect{0, 0, 10, 10});
  Region b(Rect{5, 5, 15, 15});
  Region u = a;
  u.unite(b);
  EXPECT_EQ(area(u), 100 + 100 - 25);
  EXPECT_EQ(u.boundingBox(), (Rect{0, 0, 15, 15}));

  Region i = a;
  i.intersect(b);
  EXPECT_EQ(i.boundingBox(), (Rect{5, 5, 10, 10}));

  Region d = a;
  d.subtract(b);
  EXPECT_EQ(area(d), 75);
  EXPECT_TRUE(d.contains({4, 9}));
  EXPECT_FALSE(d.contains({5, 5}));
  EXPECT_FALSE(d.contains({10, 0})) << "right edge is exclusive";

  // (a − b) ∪ (a ∩ b) = a
  d.unite(i);
  EXPECT_EQ(d, a);
}

TEST(Region, CopiesAreIndependent) {
  Region a(Rect{0, 0, 4, 4});
  Region b;
  b.copyFrom(a);
  b.offset(10, 20);
  EXPECT_EQ(a.boundingBox(), (Rect{0, 0, 4, 4}));
  EXPECT_EQ(b.boundingBox(), (Rect{10, 20, 14, 24}));
  Region c(a);
  c.setEmpty();
  EXPECT_FALSE(a.isEmpty());
}

TEST(Region, RectsDoNotOverlapAndCoverTheRegion) {
  Region r(Rect{0, 0, 8, 8});
  r.subtract(Rect{2, 2, 6, 6});
  const auto rects = r.rects();
  for (size_t i = 0; i < rects.size(); ++i)
    for (size_t j = i + 1; j < rects.size(); ++j)
      EXPECT_TRUE(rects[i].intersected(rects[j]).isEmpty()) << "pieces " << i << " and " << j << " overlap";
  EXPECT_EQ(area(r), 64 - 16);
  EXPECT_TRUE(r.intersects({1, 1, 3, 3}));
  EXPECT_FALSE(r.intersects({2, 2, 6, 6}));
}

TEST(Region, FailedOperationsLeaveTheRegionAsItWas) {
  Region r(Rect{0, 0, 10, 10});
  EXPECT_EQ(r.setRect({0, 0, kRegionCoordinateLimit + 1, 4}), kRegionError);
  EXPECT_EQ(r.unite(Rect{-kRegionCoordinateLimit - 5, 0, 0, 1}), kRegionError);
  EXPECT_EQ(r.offset(kRegionCoordinateLimit, 0), kRegionError);
  EXPECT_EQ(r.boundingBox(), (Rect{0, 0, 10, 10}));
  EXPECT_EQ(r.offset(-3, 2), kRegionSimple);
  EXPECT_EQ(r.boundingBox(), (Rect{-3, 2, 7, 12}));
}

}  // namespace
}  // namespace platform
