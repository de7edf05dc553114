#include "path/PointQueue.h"

#include <gtest/gtest.h>

namespace {

std::vector<int32_t> values(const PointQueue& queue) {
  std::vector<int32_t> out;
  queue.forEach([&](PathPoint p) { out.push_back(p.v); });
  return out;
}

std::vector<int32_t> range(int32_t from, int32_t to) {
  std::vector<int32_t> out;
  for (int32_t i = from; i < to; ++i) out.push_back(i);
  return out;
}

TEST(PointQueue, BlocksHold512PointsIn4096Bytes) {
  EXPECT_EQ(sizeof(PointBlock::points), 4096u);
  EXPECT_EQ(PointBlock::kCapacity, 512);
}

TEST(PointQueue, GrowsAtBothEndsAcrossBlocksInOrder) {
  PointBlockPool pool;
  PointQueue queue;
  for (int32_t i = 1000; i < 2300; ++i) queue.pushBack({i, 0}, pool);
  for (int32_t i = 999; i >= 0; --i) queue.pushFront({i, 0}, pool);
  EXPECT_EQ(queue.size(), 2300u);
  EXPECT_EQ(values(queue), range(0, 2300));
  queue.release(pool);
  EXPECT_TRUE(queue.empty());
}

TEST(PointQueue, JoiningMovesEveryPointAndEmptiesTheOther) {
  PointBlockPool pool;
  PointQueue left, right;
  for (int32_t i = 0; i < 600; ++i) left.pushBack({i, 0}, pool);
  for (int32_t i = 700; i >= 600; --i) right.pushFront({i, 0}, pool);
  left.appendAll(right);
  EXPECT_TRUE(right.empty());
  EXPECT_EQ(values(left), range(0, 701));
  left.pushBack({701, 0}, pool);

  PointQueue front;
  for (int32_t i = -3; i < 0; ++i) front.pushBack({i, 0}, pool);
  left.prependAll(front);
  EXPECT_TRUE(front.empty());
  EXPECT_EQ(values(left), range(-3, 702));
  left.release(pool);
}

TEST(PointQueue, BothEndsShareTheFirstBlock) {
  PointBlockPool pool;
  PointQueue queue;
  for (int32_t i = 0; i < 256; ++i) {
    queue.pushBack({i, 0}, pool);
    queue.pushFront({-1 - i, 0}, pool);
  }
  EXPECT_EQ(pool.blocksAllocated(), 1u);
  queue.pushFront({-257, 0}, pool);
  EXPECT_EQ(pool.blocksAllocated(), 2u);
  EXPECT_EQ(values(queue), range(-257, 256));
  queue.release(pool);
}

TEST(PointQueue, ReleasedBlocksAreReused) {
  PointBlockPool pool;
  for (int round = 0; round < 10; ++round) {
    PointQueue queue;
    for (int32_t i = 0; i < 1500; ++i) queue.pushFront({i, i}, pool);
    queue.release(pool);
  }
  // 256 points in the first block's front half, then whole blocks.
  EXPECT_EQ(pool.blocksAllocated(), 4u);
}

}  // namespace
