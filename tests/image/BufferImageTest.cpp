#include "image/BufferImage.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/image/ImageTestSupport.h"
#include "shell/Purgeable.h"

namespace {

using testing_support::StCurrentHost;

constexpr Point kTile{128, 128};
constexpr PixelLayout kGrey{1, kHostModeGrayScale};

TEST(BufferImage, NewImageCostsOnlyItsTileTable) {
  StCurrentHost host;
  BufferImage image(kGrey, Rect{0, 0, 1000, 1000}, kTile, 0);
  EXPECT_EQ(image.tileCount(), 64u);
  EXPECT_EQ(image.memoryUsage(), 280u);
  EXPECT_EQ(host.host().liveBuffers(), 0u);
}

// Bounds whose bottom or right edge lies on a grid line end in the cell
// before it: no row or column of empty cells is counted.
TEST(BufferImage, BoundsEndingOnTheTileGridCountNoCellBeyondThem) {
  StCurrentHost host;
  struct Case {
    Rect bounds;
    uint32_t tiles;
  };
  for (const Case& c : {Case{{0, 0, 256, 384}, 6}, Case{{0, 0, 128, 128}, 1}, Case{{-128, -256, 0, 0}, 2},
                        Case{{128, 0, 256, 1}, 1}, Case{{0, 128, 1, 256}, 1}, Case{{127, 127, 129, 129}, 4}}) {
    BufferImage image(kGrey, c.bounds, kTile, 0);
    EXPECT_EQ(image.tileCount(), c.tiles) << "bounds " << c.bounds.top << "," << c.bounds.left << ","
                                          << c.bounds.bottom << "," << c.bounds.right;
    EXPECT_EQ(image.memoryUsage(), 24u + 4u * c.tiles);
  }
}

TEST(BufferImage, OffsetBoundsTouchOnlyTheirGridCells) {
  StCurrentHost host;
  BufferImage image(kGrey, Rect{100, 100, 300, 300}, kTile, 0);
  EXPECT_EQ(image.tileCount(), 9u);
  Rect rect{150, 150, 160, 160};
  image.lock(rect, LockMode::write);
  image.unlock(rect);
  EXPECT_EQ(rect, (Rect{128, 128, 256, 256}));
  // The corner tile is clipped to the bounds, and its row step with it.
  Rect corner{100, 100, 101, 101};
  const PlaneView view = image.lock(corner, LockMode::write);
  image.unlock(corner);
  EXPECT_EQ(corner, (Rect{100, 100, 128, 128}));
  EXPECT_EQ(view.rowStep, 28);
  EXPECT_EQ(image.memoryUsage(), 24u + 36u + 128u * 128u + 28u * 28u);
}

TEST(BufferImage, UnwrittenTileReadsAsItsFillAndWriteLockStartsFromIt) {
  StCurrentHost host;
  BufferImage image(PixelLayout{3, kHostModeRGB}, Rect{0, 0, 200, 200}, kTile, 7);
  Rect rect{0, 0, 10, 10};
  try {
    image.lock(rect, LockMode::read);
    FAIL() << "a read lock of a tile never written must throw XUnmapped";
  } catch (const XUnmapped& e) {
    EXPECT_EQ(e.fill(), 7);
  }
  EXPECT_EQ(host.host().liveBuffers(), 0u) << "reading must not allocate";

  const PlaneView view = image.lock(rect, LockMode::write);
  const size_t size = static_cast<size_t>(view.rowStep) * 128;
  EXPECT_EQ(view.colStep, 3);
  EXPECT_EQ(view.rowStep, 3 * 128);
  EXPECT_TRUE(std::all_of(view.data, view.data + size, [](uint8_t b) { return b == 7; }));
  view.data[5] = 99;
  image.unlock(rect);

  const PlaneView again = image.lock(rect, LockMode::read);
  EXPECT_EQ(again.data[5], 99) << "the written tile must keep its bytes";
  image.unlock(rect);
}

TEST(BufferImage, DestructionFreesEveryTileBuffer) {
  StCurrentHost host;
  {
    BufferImage image(kGrey, Rect{0, 0, 300, 300}, kTile, 0);
    for (Point p : {Point{0, 0}, Point{200, 200}, Point{299, 0}}) {
      Rect rect{p.v, p.h, p.v, p.h};
      image.lock(rect, LockMode::write);
      image.unlock(rect);
    }
    EXPECT_EQ(host.host().liveBuffers(), 3u);
  }
  EXPECT_EQ(host.host().liveBuffers(), 0u);
}

TEST(BufferImage, LockOutsideTheBoundsThrowsXLock) {
  StCurrentHost host;
  BufferImage image(kGrey, Rect{0, 0, 10, 10}, kTile, 0);
  Rect rect{10, 0, 12, 5};
  EXPECT_THROW(image.lock(rect, LockMode::write), XLock);
}

TEST(BufferImage, IdentifierBelow256IsFreedAndTheTileKeepsItsFill) {
  StCurrentHost host;
  HostBufferProcs& procs = *host.record().bufferProcs;
  const HostAllocateBufferProc realAllocate = procs.allocateProc;
  procs.allocateProc = [](int32_t, HostBufferId* id) -> HostError {
    *id = 200;  // a careless host's identifier, indistinguishable from a fill byte
    return kHostNoError;
  };
  static std::vector<HostBufferId> freed;
  freed.clear();
  procs.freeProc = [](HostBufferId id) { freed.push_back(id); };

  BufferImage image(kGrey, Rect{0, 0, 10, 10}, kTile, 9);
  Rect rect{0, 0, 1, 1};
  EXPECT_THROW(image.lock(rect, LockMode::write), XLock);
  EXPECT_EQ(freed, (std::vector<HostBufferId>{200}));
  procs.allocateProc = realAllocate;
  try {
    image.lock(rect, LockMode::read);
    FAIL() << "the tile must still be unmapped";
  } catch (const XUnmapped& e) {
    EXPECT_EQ(e.fill(), 9);
  }
}

TEST(BufferImage, HostThatCannotLockABufferGivesXLockAndKeepsTheFill) {
  StCurrentHost host;
  HostBufferProcs& procs = *host.record().bufferProcs;
  static int unlocks;
  unlocks = 0;
  procs.lockProc = [](HostBufferId, HostBoolean) -> void* { return nullptr; };
  procs.unlockProc = [](HostBufferId) { ++unlocks; };
  BufferImage image(kGrey, Rect{0, 0, 10, 10}, kTile, 4);
  Rect rect{0, 0, 1, 1};
  EXPECT_THROW(image.lock(rect, LockMode::write), XLock);
  EXPECT_EQ(unlocks, 1) << "a failed lock must be paired with an unlock";
  EXPECT_EQ(host.host().liveBuffers(), 0u) << "an unfillable buffer must be given back";
  EXPECT_THROW(image.lock(rect, LockMode::read), XUnmapped);
}

// Gives host buffer space back when asked, as the command history would.
class SpaceGiver : public Purgeable {
 public:
  SpaceGiver(testing_support::FakeFilterHost& host, int64_t raiseTo) : host_(host), raiseTo_(raiseTo) {}
  uint32_t purge(int level) override {
    ++calls;
    if (level != 1 || given_) return 0;
    given_ = true;
    host_.setBufferLimit(raiseTo_);
    return 4096;
  }
  int calls = 0;

 private:
  testing_support::FakeFilterHost& host_;
  int64_t raiseTo_;
  bool given_ = false;
};

TEST(BufferImage, RefusedAllocationPurgesAndRetries) {
  StCurrentHost host;
  host.host().setBufferLimit(100);
  SpaceGiver giver(host.host(), -1);
  BufferImage image(kGrey, Rect{0, 0, 128, 128}, kTile, 0);
  Rect rect{0, 0, 1, 1};
  image.lock(rect, LockMode::write);
  image.unlock(rect);
  EXPECT_GT(giver.calls, 0);
  EXPECT_EQ(host.host().liveBuffers(), 1u);
  EXPECT_FALSE(errorPending());
}

TEST(BufferImage, RefusedAllocationWithNothingToPurgeThrowsXMemory) {
  StCurrentHost host;
  host.host().setBufferLimit(128 * 128);
  BufferImage image(kGrey, Rect{0, 0, 256, 128}, kTile, 0);
  Rect first{0, 0, 1, 1}, second{128, 0, 1, 1};
  image.lock(first, LockMode::write);
  image.unlock(first);
  EXPECT_THROW(image.lock(second, LockMode::write), XMemory);
  EXPECT_EQ(pendingErrorCode(), kHostOutOfMemory);
  EXPECT_THROW(image.lock(second, LockMode::read), XUnmapped) << "the failed tile stays unmapped";
}

}  // namespace

namespace {

TEST(BufferImageOutsideACall, ConstructionWithoutAHostThrowsXLock) {
  ASSERT_EQ(gFilterRecord, nullptr);
  ASSERT_EQ(gSelectionParams, nullptr);
  EXPECT_THROW(BufferImage(kGrey, Rect{0, 0, 10, 10}, kTile, 0), XLock);
}

}  // namespace
