#include "shell/StProgressIndicator.h"

#include "shell/Exceptions.h"
#include "tests/support/AutomatedTest.h"

namespace {

using testing_support::AutomatedTest;
using StProgressIndicatorTest = AutomatedTest;

TEST_F(StProgressIndicatorTest, PendingEscapeCancelsAndStaysQueued) {
  StProgressIndicator progress(0, 100);
  EXPECT_NO_THROW(progress.step(0));
  platform::postMessage(nullptr, platform::kWmKeyDown, platform::kVkEscape);
  EXPECT_THROW(progress.step(1), XCancel);
  platform::Message m;
  ASSERT_TRUE(platform::peekMessage(m, nullptr, 0, 0, platform::kPeekRemove));
  EXPECT_EQ(m.wParam, platform::kVkEscape);
}

TEST_F(StProgressIndicatorTest, OnlyTheFirstPendingKeyDownIsExamined) {
  StProgressIndicator progress(0, 100);
  platform::postMessage(nullptr, platform::kWmMouseMove);
  platform::postMessage(nullptr, platform::kWmKeyDown, 'A');
  platform::postMessage(nullptr, platform::kWmKeyDown, platform::kVkEscape);
  EXPECT_NO_THROW(progress.step(50));
  platform::Message m;
  ASSERT_TRUE(platform::peekMessage(m, nullptr, platform::kWmKeyDown, platform::kWmKeyDown,
                                    platform::kPeekRemove));
  EXPECT_THROW(progress.step(51), XCancel);
}

TEST_F(StProgressIndicatorTest, PositionOutsideTheRangeChangesNothing) {
  StProgressIndicator progress(10, 20);
  EXPECT_NO_THROW(progress.step(-5));
  EXPECT_NO_THROW(progress.step(1000));
  platform::postMessage(nullptr, platform::kWmKeyUp, platform::kVkEscape);
  EXPECT_NO_THROW(progress.step(1000));
}

}  // namespace
