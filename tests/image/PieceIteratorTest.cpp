#include "image/PieceIterator.h"

#include <gtest/gtest.h>

#include <vector>

#include "image/Region.h"
#include "shell/Exceptions.h"

namespace {

std::vector<Rect> allPieces(PieceIterator& it) {
  std::vector<Rect> pieces;
  while (!it.next()) pieces.push_back(it.piece());
  return pieces;
}

Region regionOf(std::initializer_list<Rect> rects) {
  Region region;
  for (const Rect& r : rects) region.unite(Region(r));
  return region;
}

TEST(BandIterator, FirstPieceIsTheWholeRectangle) {
  auto it = newBandIterator(Rect{10, 20, 15, 40});
  ASSERT_FALSE(it->next());
  EXPECT_EQ(it->piece(), (Rect{10, 20, 15, 40}));
  EXPECT_TRUE(it->next()) << "nothing is left below a whole-rectangle piece";
}

TEST(BandIterator, ReduceHalvesRoundingUpUntilOneRowAndThenFails) {
  auto it = newBandIterator(Rect{0, 0, 5, 8});
  ASSERT_FALSE(it->next());
  std::vector<int32_t> heights;
  while (!it->reduce()) heights.push_back(it->piece().height());
  EXPECT_EQ(heights, (std::vector<int32_t>{3, 2, 1}));
  EXPECT_EQ(it->piece().height(), 1) << "a failed reduce must leave the piece as it was";
}

TEST(BandIterator, AfterAReducedPieceTheWholeRestFollows) {
  auto it = newBandIterator(Rect{0, 0, 10, 4});
  ASSERT_FALSE(it->next());
  ASSERT_FALSE(it->reduce());
  EXPECT_EQ(it->piece(), (Rect{0, 0, 5, 4}));
  ASSERT_FALSE(it->next());
  EXPECT_EQ(it->piece(), (Rect{5, 0, 10, 4}));
  EXPECT_TRUE(it->next());
}

TEST(BandIterator, EmptyRectangleHasNoPieces) {
  auto it = newBandIterator(Rect{5, 5, 5, 9});
  EXPECT_TRUE(it->next());
}

TEST(GridIterator, CutsOnCellMultiplesRowByRow) {
  auto it = newGridIterator(Rect{0, 0, 300, 200}, Point{128, 128});
  EXPECT_EQ(allPieces(*it), (std::vector<Rect>{{0, 0, 128, 128},
                                               {0, 128, 128, 200},
                                               {128, 0, 256, 128},
                                               {128, 128, 256, 200},
                                               {256, 0, 300, 128},
                                               {256, 128, 300, 200}}));
}

TEST(GridIterator, GridLinesStayOnMultiplesForOffsetAndNegativeRectangles) {
  auto it = newGridIterator(Rect{-5, 100, 3, 140}, Point{4, 32});
  EXPECT_EQ(allPieces(*it), (std::vector<Rect>{{-5, 100, -4, 128},
                                               {-5, 128, -4, 140},
                                               {-4, 100, 0, 128},
                                               {-4, 128, 0, 140},
                                               {0, 100, 3, 128},
                                               {0, 128, 3, 140}}));
}

TEST(GridIterator, NeverReduces) {
  auto it = newGridIterator(Rect{0, 0, 300, 200}, Point{128, 128});
  ASSERT_FALSE(it->next());
  EXPECT_TRUE(it->reduce());
  EXPECT_EQ(it->piece(), (Rect{0, 0, 128, 128}));
}

TEST(RegionBandIterator, PiecesShrinkToTheRegionInsideTheBand) {
  const Region region = regionOf({{0, 10, 4, 20}, {8, 30, 12, 40}});
  auto it = newBandIterator(region);
  ASSERT_FALSE(it->next());
  EXPECT_EQ(it->piece(), (Rect{0, 10, 12, 40}));
  // Halving the 12-row band leaves rows 0..5, which hold only the first part.
  ASSERT_FALSE(it->reduce());
  EXPECT_EQ(it->piece(), (Rect{0, 10, 4, 20}));
  ASSERT_FALSE(it->next());
  EXPECT_EQ(it->piece(), (Rect{8, 30, 12, 40})) << "the rest band shrinks to the second part";
  EXPECT_TRUE(it->next());
}

TEST(RegionBandIterator, ReduceFailsOnceTheBandIsOneRow) {
  auto it = newBandIterator(Region(Rect{0, 0, 2, 5}));
  ASSERT_FALSE(it->next());
  ASSERT_FALSE(it->reduce());
  EXPECT_EQ(it->piece(), (Rect{0, 0, 1, 5}));
  EXPECT_TRUE(it->reduce());
}

TEST(RegionBandIterator, EmptyRegionHasNoPieces) {
  auto it = newBandIterator(Region());
  EXPECT_TRUE(it->next());
}

TEST(RegionGridIterator, SkipsCellsOutsideAndShrinksTheOthers) {
  // An L: a column down the left and a row along the bottom of 0..20 x 0..20.
  const Region region = regionOf({{0, 0, 20, 3}, {17, 0, 20, 20}});
  auto it = newGridIterator(region, Point{10, 10});
  EXPECT_EQ(allPieces(*it), (std::vector<Rect>{{0, 0, 10, 3},
                                               {10, 0, 20, 10},
                                               {17, 10, 20, 20}}));
  EXPECT_TRUE(it->reduce());
}

TEST(Region, SetOperationsAndBounds) {
  Region a(Rect{0, 0, 10, 10});
  a.subtract(Region(Rect{0, 0, 10, 5}));
  EXPECT_EQ(a.bounds(), (Rect{0, 5, 10, 10}));
  a.intersect(Region(Rect{2, 0, 4, 100}));
  EXPECT_EQ(a.bounds(), (Rect{2, 5, 4, 10}));
  a.offset(Point{1, -5});
  EXPECT_EQ(a.bounds(), (Rect{3, 0, 5, 5}));
  Region copy = a;
  a.makeEmpty();
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(a.bounds(), Rect{});
  EXPECT_EQ(copy.bounds(), (Rect{3, 0, 5, 5})) << "a copy must not share later changes";
  copy.set(Rect{4, 4, 4, 9});
  EXPECT_TRUE(copy.empty());
}

TEST(Region, OffsetBeyondTheWindowingLayersRangeThrowsXGeometry) {
  Region a(Rect{0, 0, 10, 10});
  EXPECT_THROW(
      {
        for (int i = 0; i < 5000; ++i) a.offset(Point{30000, 30000});
      },
      XGeometry);
}

}  // namespace
