#include "path/PointQueue.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>

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

TEST(PointQueue, BlocksRangeFrom64To4096BytesWithTheirHeader) {
  EXPECT_EQ(PointBlock::bytes(0), 64u);
  EXPECT_EQ(PointBlock::capacityOf(0), 6);
  EXPECT_EQ(PointBlock::bytes(PointBlock::kSizeClasses - 1), 4096u);
  EXPECT_EQ(PointBlock::capacityOf(PointBlock::kSizeClasses - 1), 510);
}

TEST(PointQueue, GrowsAtBothEndsAcrossBlocksInOrder) {
  PointBlockPool pool;
  PointQueue queue;
  for (int32_t i = 1000; i < 2300; ++i) queue.pushBack({i, 0}, pool);
  for (int32_t i = 999; i >= 0; --i) queue.pushFront({i, 0}, pool);
  EXPECT_EQ(queue.size(), 2300u);
  EXPECT_EQ(values(queue), range(0, 2300));
  std::vector<PathPoint> copied(queue.size());
  queue.copyTo(copied.data());
  for (size_t i = 0; i < copied.size(); ++i) ASSERT_EQ(copied[i].v, int32_t(i));
  queue.release(pool);
  EXPECT_TRUE(queue.empty());
}

// Queues are grown, joined both ways round and released at random, and
// compared with a plain double-ended queue after every step.
TEST(PointQueue, RandomGrowingAndJoiningKeepsEveryPointInOrder) {
  std::mt19937 random(18);
  PointBlockPool pool;
  std::vector<PointQueue> queues(6);
  std::vector<std::deque<int32_t>> expected(6);
  int32_t next = 0;
  for (int step = 0; step < 20000; ++step) {
    const size_t a = random() % 6, b = random() % 6;
    switch (random() % 8) {
      case 0:
      case 1:
      case 2:
        for (int n = int(random() % 40); n > 0; --n) {
          queues[a].pushBack({next, 0}, pool);
          expected[a].push_back(next++);
        }
        break;
      case 3:
      case 4:
      case 5:
        for (int n = int(random() % 40); n > 0; --n) {
          queues[a].pushFront({next, 0}, pool);
          expected[a].push_front(next++);
        }
        break;
      case 6:
        if (a == b) break;
        if (random() % 2) {
          queues[a].appendAll(queues[b], pool);
          expected[a].insert(expected[a].end(), expected[b].begin(), expected[b].end());
        } else {
          queues[a].prependAll(queues[b], pool);
          expected[a].insert(expected[a].begin(), expected[b].begin(), expected[b].end());
        }
        expected[b].clear();
        ASSERT_TRUE(queues[b].empty());
        break;
      default:
        queues[a].release(pool);
        expected[a].clear();
        break;
    }
    ASSERT_EQ(queues[a].size(), expected[a].size()) << "step " << step;
    ASSERT_EQ(values(queues[a]), std::vector<int32_t>(expected[a].begin(), expected[a].end()))
        << "step " << step;
  }
  for (PointQueue& queue : queues) queue.release(pool);
}

// Many short outlines joined onto one, alternately at its back and its
// front: the points move, the small blocks go back to the pool for the
// next outline, and the memory follows the points held.
TEST(PointQueue, MemoryFollowsThePointsHeldNotTheJoins) {
  PointBlockPool pool;
  PointQueue joined;
  int32_t low = 0, high = 0;
  joined.pushBack({high++, 0}, pool);
  for (int outline = 0; outline < 20000; ++outline) {
    PointQueue piece;
    const int points = 1 + outline % 3;
    if (outline % 2 == 0) {
      for (int i = 0; i < points; ++i) piece.pushBack({high++, 0}, pool);
      joined.appendAll(piece, pool);
    } else {
      low -= points;
      for (int i = 0; i < points; ++i) piece.pushBack({low + i, 0}, pool);
      joined.prependAll(piece, pool);
    }
  }
  EXPECT_EQ(values(joined), range(low, high));
  EXPECT_LE(pool.bytesAllocated(), 24 * joined.size() + 16384)
      << "a 4096-byte block kept per join would take " << 20000 * 4096;

  // Reused once given back: the same work again takes nothing new.
  const size_t before = pool.bytesAllocated();
  joined.release(pool);
  for (int32_t i = 0; i < 40000; ++i) joined.pushFront({i, i}, pool);
  EXPECT_EQ(pool.bytesAllocated(), before);
  joined.release(pool);
}

}  // namespace
