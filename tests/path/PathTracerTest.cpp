#include "path/PathTracer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "image/BufferImage.h"
#include "platform/MessageQueue.h"
#include "shell/ErrorRecord.h"
#include "shell/PlugIn.h"
#include "shell/Exceptions.h"
#include "tests/path/TraceTestSupport.h"
#include "tests/support/AutomatedTest.h"
#include "tests/support/FakeHost.h"

namespace {

using path_testing::MaskImage;
using path_testing::subpathPoints;
using testing_support::AutomatedTest;

constexpr int32_t S = 256;

struct Box {
  int32_t top = INT32_MAX, left = INT32_MAX, bottom = INT32_MIN, right = INT32_MIN;
};

Box boxOf(const std::vector<PathPoint>& points) {
  Box box;
  for (const PathPoint& p : points) {
    box.top = std::min(box.top, p.v);
    box.bottom = std::max(box.bottom, p.v);
    box.left = std::min(box.left, p.h);
    box.right = std::max(box.right, p.h);
  }
  return box;
}

TEST(CrossingOffset, HardEdgeAtMidThresholdLiesJustPastHalfway) {
  EXPECT_EQ(crossingOffset(255, 0, 127, S), 129);
  EXPECT_EQ(crossingOffset(0, 255, 127, S), 127) << "the same crossing seen from the other pixel";
  EXPECT_EQ(crossingOffset(200, 100, 150, S), 128);
  EXPECT_EQ(crossingOffset(100, 200, 150, S), 128);
  EXPECT_EQ(crossingOffset(255, 0, 2, S), 254) << "a low threshold pushes the line out";
  EXPECT_EQ(crossingOffset(255, 0, 252, S), 3) << "a high threshold pulls it in";
}

TEST(TraceBands, HalvedUntilTheyHoldAtMost200000Pixels) {
  EXPECT_EQ(traceBandHeight(1000, 1000), 125);
  EXPECT_EQ(traceBandHeight(875, 1000), 110);
  EXPECT_EQ(traceBandHeight(40, 1000), 40);
  EXPECT_EQ(traceBandHeight(7, 300000), 1) << "a row wider than a band is still swept";
  EXPECT_EQ(traceBandHeight(1, 10), 1);
}

class TraceTest : public AutomatedTest {};

TEST_F(TraceTest, ImageSweptInBandsOf125Then110Rows) {
  MaskImage image(1000, 1000);
  trace(image, 127, 0.3, S);
  ASSERT_GE(image.locks.size(), 2u);
  EXPECT_EQ(image.locks[0], (Rect{0, 0, 125, 1000}));
  EXPECT_EQ(image.locks[1], (Rect{125, 0, 235, 1000}));
  EXPECT_EQ(image.lockedPieces, 0) << "every band lock was released";
}

TEST_F(TraceTest, AllBelowThresholdGivesNoSubpath) {
  MaskImage image(30, 40, 0, 0, 127);
  const TracedPath path = trace(image, 127, 0.3, S);
  EXPECT_TRUE(path.subpaths.empty());
  EXPECT_TRUE(path.points.empty());
}

TEST_F(TraceTest, FullyInsideImageGivesOneOutlineHalfAPixelOutsideTheOuterCentres) {
  for (double tolerance : {0.0, 0.3, 1.0}) {
    MaskImage image(5, 7, 0, 0, 255);
    const TracedPath path = trace(image, 127, tolerance, S);
    ASSERT_EQ(path.subpaths.size(), 1u) << "tolerance " << tolerance;
    // Outer pixel centres are at 128 and (n - 1) * 256 + 128; the line runs
    // 129/256 beyond them, where the image meets the zeros around it.
    for (const PathPoint& p : path.points)
      EXPECT_TRUE(p.v == -1 || p.h == -1 || p.v == 5 * S + 1 || p.h == 7 * S + 1)
          << path_testing::describe(p) << " is off the frame, tolerance " << tolerance;
    if (tolerance == 0.0) {
      const Box box = boxOf(path.points);
      EXPECT_EQ(box.top, -1);
      EXPECT_EQ(box.left, -1);
      EXPECT_EQ(box.bottom, 5 * S + 1);
      EXPECT_EQ(box.right, 7 * S + 1);
    }
  }
}

TEST_F(TraceTest, StraightEdgesKeepOnlyTheirCorners) {
  MaskImage image(5, 7, 0, 0, 255);
  const TracedPath path = trace(image, 127, 0.0, S);
  ASSERT_EQ(path.subpaths.size(), 1u);
  // Each corner of the image is cut diagonally between the last crossing
  // of one edge and the first of the next: an octagon.
  std::vector<PathPoint> points = subpathPoints(path, 0);
  EXPECT_EQ(points.size(), 8u);
  std::sort(points.begin(), points.end(), [](PathPoint a, PathPoint b) {
    return a.v != b.v ? a.v < b.v : a.h < b.h;
  });
  EXPECT_EQ(points.front(), (PathPoint{-1, 128}));
  EXPECT_EQ(points.back(), (PathPoint{5 * S + 1, 6 * S + 128}));
}

TEST_F(TraceTest, SinglePixelIsADiamondAroundItsCentre) {
  MaskImage image(3, 3);
  image.at(1, 1) = 255;
  const TracedPath path = trace(image, 127, 0.0, S);
  ASSERT_EQ(path.subpaths.size(), 1u);
  std::vector<PathPoint> points = subpathPoints(path, 0);
  ASSERT_EQ(points.size(), 4u);
  const int32_t c = S + S / 2;
  for (PathPoint expected : {PathPoint{c - 129, c}, PathPoint{c + 129, c}, PathPoint{c, c - 129},
                             PathPoint{c, c + 129}})
    EXPECT_NE(std::find(points.begin(), points.end(), expected), points.end())
        << "missing " << path_testing::describe(expected);
}

// A polygon of more points than the trace allows ends it at the row where
// the polygon closes: a point below is not traced. The limit itself is
// allowed.
TEST_F(TraceTest, APolygonOverTheLimitEndsTheTraceWhereItCloses) {
  MaskImage image(40, 20);
  for (int32_t r = 2; r < 5; ++r)
    for (int32_t c = 3; c < 10; ++c) image.at(r, c) = 255;
  image.at(30, 10) = 255;
  const TracedPath whole = trace(image, 127, 0.0, S, 0);
  ASSERT_EQ(whole.subpaths.size(), 2u);
  const int32_t blockPoints = whole.subpaths[0].size();
  EXPECT_FALSE(whole.cutShort);

  const TracedPath atLimit = trace(image, 127, 0.0, S, blockPoints);
  EXPECT_FALSE(atLimit.cutShort);
  EXPECT_EQ(atLimit.subpaths.size(), 2u);

  const TracedPath cut = trace(image, 127, 0.0, S, blockPoints - 1);
  EXPECT_TRUE(cut.cutShort);
  ASSERT_EQ(cut.subpaths.size(), 1u) << "the point below the block was traced";
  EXPECT_EQ(cut.subpaths[0].size(), blockPoints);
  EXPECT_EQ(image.lockedPieces, 0) << "the band was released";
}

TEST_F(TraceTest, OutlinesOfTwoPointsOrFewerAreDropped) {
  MaskImage image(9, 9);
  image.at(4, 4) = 255;
  // With a tolerance of several pixels the simplifier keeps at most two of
  // the diamond's four points: the outline vanishes.
  EXPECT_TRUE(trace(image, 127, 4.0, S).subpaths.empty());
  EXPECT_EQ(trace(image, 127, 0.3, S).subpaths.size(), 1u);
}

TEST_F(TraceTest, DiagonalNeighboursAreJoinedOrSplitByTheLeftToRightPairing) {
  // Inside pixels touching only at a corner: whether they share an outline
  // follows from which crossing the sweep meets first, not from a saddle
  // rule. Falling to the right they stay apart, rising to the right they
  // are joined.
  MaskImage falling(2, 2);
  falling.at(0, 0) = falling.at(1, 1) = 255;
  const TracedPath apart = trace(falling, 127, 0.0, S);
  ASSERT_EQ(apart.subpaths.size(), 2u);
  EXPECT_EQ(apart.subpaths[0].size(), 4);
  EXPECT_EQ(apart.subpaths[1].size(), 4);

  MaskImage rising(2, 2);
  rising.at(0, 1) = rising.at(1, 0) = 255;
  const TracedPath joined = trace(rising, 127, 0.0, S);
  ASSERT_EQ(joined.subpaths.size(), 1u);
  const double apartArea = std::abs(path_testing::doubleArea(subpathPoints(apart, 0))) +
                           std::abs(path_testing::doubleArea(subpathPoints(apart, 1)));
  EXPECT_GT(std::abs(path_testing::doubleArea(subpathPoints(joined, 0))), apartArea)
      << "the joined outline also encloses the gap between the pixels";
}

TEST_F(TraceTest, HoleRunsOppositeToItsSurroundingOutline) {
  MaskImage image(9, 9);
  for (int r = 1; r < 8; ++r)
    for (int c = 1; c < 8; ++c) image.at(r, c) = 255;
  for (int r = 3; r < 6; ++r)
    for (int c = 3; c < 6; ++c) image.at(r, c) = 0;
  const TracedPath path = trace(image, 127, 0.3, S);
  ASSERT_EQ(path.subpaths.size(), 2u);
  const double first = path_testing::doubleArea(subpathPoints(path, 0));
  const double second = path_testing::doubleArea(subpathPoints(path, 1));
  EXPECT_LT(first * second, 0) << "outer and hole outlines must have opposite directions";
  EXPECT_GT(std::max(std::abs(first), std::abs(second)), 4 * std::min(std::abs(first), std::abs(second)));
}

TEST_F(TraceTest, HighChokeTracesTighterThanLowChokeOnASoftEdge) {
  MaskImage image(40, 40);
  for (int r = 0; r < 40; ++r)
    for (int c = 0; c < 40; ++c) {
      const double distance = std::hypot(r - 19.5, c - 19.5);
      image.at(r, c) = uint8_t(std::clamp((15.0 - distance) / 8.0 * 255.0 + 127.5, 0.0, 255.0));
    }
  const TracedPath loose = trace(image, 2, 0.3, S);
  const TracedPath tight = trace(image, 252, 0.3, S);
  ASSERT_EQ(loose.subpaths.size(), 1u);
  ASSERT_EQ(tight.subpaths.size(), 1u);
  const double looseArea = std::abs(path_testing::doubleArea(subpathPoints(loose, 0)));
  const double tightArea = std::abs(path_testing::doubleArea(subpathPoints(tight, 0)));
  EXPECT_LT(tightArea, looseArea * 0.6);
  const Box box = boxOf(tight.points);
  EXPECT_GT(box.top, 8 * S) << "the tight outline lies well inside the soft edge";
}

TEST_F(TraceTest, PointsAreInDocumentCoordinates) {
  MaskImage image(3, 3, 10, 20);
  image.at(1, 1) = 255;
  const TracedPath path = trace(image, 127, 0.0, S);
  ASSERT_EQ(path.subpaths.size(), 1u);
  const Box box = boxOf(path.points);
  EXPECT_EQ(box.top, 11 * S + 128 - 129);
  EXPECT_EQ(box.left, 21 * S + 128 - 129);
}

TEST_F(TraceTest, BandsThatAreReducedOrCutIntoPiecesTraceTheSameOutline) {
  MaskImage reference(700, 300);
  for (int r = 0; r < 700; ++r)
    for (int c = 0; c < 300; ++c) reference.at(r, c) = uint8_t((r * 7 + c * 13) % 97 < 40 ? 255 : (r + c) % 256);
  const TracedPath expected = trace(reference, 127, 0.3, S);

  MaskImage reduced(700, 300);
  MaskImage pieces(700, 300);
  for (int r = 0; r < 700; ++r)
    for (int c = 0; c < 300; ++c) reduced.at(r, c) = pieces.at(r, c) = reference.at(r, c);
  reduced.setMaxPieceRows(37);
  pieces.setPieceColumns(64);
  for (MaskImage* image : {&reduced, &pieces}) {
    const TracedPath path = trace(*image, 127, 0.3, S);
    EXPECT_EQ(path.points, expected.points);
    ASSERT_EQ(path.subpaths.size(), expected.subpaths.size());
    EXPECT_EQ(image->lockedPieces, 0);
  }
  ASSERT_FALSE(reduced.locks.empty());
  EXPECT_EQ(reduced.locks.front().height(), 350) << "the first band asked for";
}

TEST_F(TraceTest, TiledImagesWithUnwrittenTilesTraceLikeAPlainOne) {
  testing_support::FakeFilterHost host(300, 250);
  gFilterRecord = &host.record();
  {
    // Tiles of 64 x 64: a solid block spans written tiles and tiles never
    // written (which read as their fill byte), at bounds off the origin.
    const Rect bounds{10, 20, 260, 320};
    BufferImage tiled({1, kHostModeGrayScale}, bounds, Point{64, 64}, 0);
    MaskImage plain(250, 300, 10, 20);
    std::vector<uint8_t> row(300);
    for (int r = 40; r < 200; ++r) {
      for (int c = 0; c < 300; ++c) row[size_t(c)] = c >= 30 && c < 280 ? uint8_t(100 + (r * c) % 156) : 0;
      tiled.WriteRect(Rect{int16_t(10 + r), 20, int16_t(11 + r), 320}, PlaneView{row.data(), 1, 300});
      for (int c = 0; c < 300; ++c) plain.at(r, c) = row[size_t(c)];
    }
    const TracedPath expected = trace(plain, 127, 0.3, S);
    const TracedPath path = trace(tiled, 127, 0.3, S);
    ASSERT_FALSE(expected.subpaths.empty());
    EXPECT_EQ(path.points, expected.points);
    EXPECT_EQ(path.subpaths.size(), expected.subpaths.size());
    BufferImage untouched({1, kHostModeGrayScale}, bounds, Point{64, 64}, 200);
    const TracedPath whole = trace(untouched, 127, 0.0, S);
    ASSERT_EQ(whole.subpaths.size(), 1u) << "a never-written image full of 200 is all inside";
    EXPECT_EQ(whole.subpaths[0].size(), 8);
  }
  gFilterRecord = nullptr;
  clearErrors();
}

TEST_F(TraceTest, EscapeStopsTheTrace) {
  MaskImage image(50, 50, 0, 0, 255);
  platform::postMessage(nullptr, platform::kWmKeyDown, platform::kVkEscape);
  EXPECT_THROW(trace(image, 127, 0.3, S), XCancel);
  EXPECT_EQ(image.lockedPieces, 0) << "the band was released as the cancel passed";
}

TEST_F(TraceTest, OpenChainMemoryFollowsTheOutlinesNotTheImageHeight) {
  // Ten vertical stripes: twenty chain ends stay open from top to bottom.
  PathTracer tracer(100, 0, 127, 0.3, S);
  std::vector<uint8_t> zeros(100, 0), stripes(100, 0);
  for (int c = 0; c < 100; ++c) stripes[size_t(c)] = (c / 5) % 2 ? 255 : 0;
  tracer.processRowPair(zeros.data(), stripes.data(), 0);
  const size_t bytesAfterFirstRow = tracer.pointBytes();
  for (int r = 1; r < 5000; ++r) tracer.processRowPair(stripes.data(), stripes.data(), r);
  EXPECT_EQ(tracer.openEnds(), 20);
  EXPECT_EQ(tracer.pointBytes(), bytesAfterFirstRow) << "straight chains commit nothing new";
  tracer.processRowPair(stripes.data(), zeros.data(), 5000);
  EXPECT_EQ(tracer.openEnds(), 0);
  EXPECT_EQ(tracer.takeResult().subpaths.size(), 10u);
}

}  // namespace
