#include "shell/Purgeable.h"

#include <gtest/gtest.h>

#include <vector>

#include "shell/ErrorRecord.h"
#include "tests/support/FailingAllocator.h"

namespace {

// Frees what it is told to, once per level, and records the calls.
class Holder : public Purgeable {
 public:
  Holder(std::vector<int>& log, int name, uint32_t level0, uint32_t level1)
      : log_(log), name_(name), level0_(level0), level1_(level1) {}

  uint32_t purge(int level) override {
    log_.push_back(name_ * 10 + level);
    uint32_t& left = level == 0 ? level0_ : level1_;
    const uint32_t freed = left;
    left = 0;
    return freed;
  }

 private:
  std::vector<int>& log_;
  int name_;
  uint32_t level0_, level1_;
};

TEST(Purgeable, Level1StopsAtTheHolderThatReachesTheTarget) {
  std::vector<int> log;
  // Registration puts each new holder at the front: the walk meets 3, 2, 1.
  Holder one(log, 1, 0, 200000), two(log, 2, 0, 200000), three(log, 3, 0, 200000);
  EXPECT_TRUE(purgeForMemory());
  // Level 0 frees nothing in a whole pass; level 1 goes on from the holder
  // after the one purged last and stops once 524288 bytes are reached.
  EXPECT_EQ(log, (std::vector<int>{30, 20, 10, 31, 21, 11}));
  log.clear();
  EXPECT_FALSE(purgeForMemory());
}

TEST(Purgeable, Level1StopsEarlyWhenTheFirstPassFreesEnough) {
  std::vector<int> log;
  Holder one(log, 1, 0, 300000), two(log, 2, 0, 300000), three(log, 3, 0, 300000);
  EXPECT_TRUE(purgeForMemory());
  EXPECT_EQ(log, (std::vector<int>{30, 20, 10, 31, 21}));
}

TEST(Purgeable, Level0FreeingAnythingEndsThePurge) {
  std::vector<int> log;
  Holder one(log, 1, 0, 0), two(log, 2, 100, 0);
  EXPECT_TRUE(purgeForMemory());
  // A second pass frees nothing more; level 1 is not needed.
  EXPECT_EQ(log, (std::vector<int>{20, 10, 20, 10}));
}

TEST(Purgeable, NextPurgeStartsAfterTheHolderPurgedLast) {
  std::vector<int> log;
  Holder one(log, 1, 0, 600000), two(log, 2, 0, 600000), three(log, 3, 0, 600000);
  EXPECT_TRUE(purgeForMemory());  // level 1 ends at holder 3
  log.clear();
  EXPECT_TRUE(purgeForMemory());
  EXPECT_EQ(log, (std::vector<int>{20, 10, 30, 21}));
}

TEST(Purgeable, HandlerThrowsXMemoryWithTheSpareWhenNothingCanBeFreed) {
  StAllocationFailureHandler handler;
  bool caughtAsBadAlloc = false;
  try {
    testing_support::StFailingAllocations failing;
    (void)new int(1);
  } catch (const std::bad_alloc& e) {
    caughtAsBadAlloc = true;
    EXPECT_STREQ(e.what(), "bad allocation");
    EXPECT_NE(dynamic_cast<const XError*>(&e), nullptr);
  }
  EXPECT_TRUE(caughtAsBadAlloc);
  EXPECT_EQ(pendingErrorCode(), -108);
  EXPECT_EQ(pendingErrorGroup(), kGroupHost);
  clearErrors();
}

TEST(Purgeable, HandlerIsInstalledOnlyForItsScope) {
  std::new_handler before = std::get_new_handler();
  {
    StAllocationFailureHandler handler;
    EXPECT_EQ(std::get_new_handler(), &allocationFailureHandler);
  }
  EXPECT_EQ(std::get_new_handler(), before);
}

}  // namespace
