#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

#include "platform/Accelerator.h"
#include "platform/Input.h"
#include "tests/platform/TestWindows.h"
#include "tests/support/AutomatedTest.h"

namespace platform {
namespace {

using testing::RecordingWindow;
namespace automation = platform::automation;

class MessageQueueTest : public testing_support::AutomatedTest {};

TEST_F(MessageQueueTest, PeekFindsMessagesInPostingOrderWithinTheRange) {
  postMessage(nullptr, kWmUser + 1, 1);
  postMessage(nullptr, kWmKeyDown, 'A');
  postMessage(nullptr, kWmUser + 2, 2);
  postMessage(nullptr, kWmKeyDown, kVkEscape);
  Message m;
  ASSERT_TRUE(peekMessage(m, nullptr, kWmKeyDown, kWmKeyDown, kPeekNoRemove));
  EXPECT_EQ(m.wParam, 'A') << "only the first pending key-down is seen";
  ASSERT_TRUE(peekMessage(m, nullptr, kWmKeyDown, kWmKeyDown, kPeekNoRemove));
  EXPECT_EQ(m.wParam, 'A') << "peeking without removing leaves it in place";
  ASSERT_TRUE(peekMessage(m, nullptr, kWmKeyDown, kWmKeyDown, kPeekRemove));
  ASSERT_TRUE(peekMessage(m, nullptr, kWmKeyDown, kWmKeyDown, kPeekRemove));
  EXPECT_EQ(m.wParam, kVkEscape);
  ASSERT_TRUE(peekMessage(m, nullptr, 0, 0, kPeekRemove));
  EXPECT_EQ(m.message, kWmUser + 1);
  ASSERT_TRUE(peekMessage(m, nullptr, 0, 0, kPeekRemove));
  EXPECT_EQ(m.message, kWmUser + 2);
  EXPECT_FALSE(peekMessage(m, nullptr, 0, 0, kPeekRemove));
}

TEST_F(MessageQueueTest, GetMessageEndsWithTheQuitCodeAfterThePostedMessages) {
  postQuitMessage(41);
  postMessage(nullptr, kWmUser + 7);
  postQuitMessage(42);
  Message m;
  EXPECT_TRUE(getMessage(m));
  EXPECT_EQ(m.message, kWmUser + 7) << "what was posted comes before the quit";
  EXPECT_FALSE(getMessage(m));
  EXPECT_EQ(m.message, kWmQuit);
  EXPECT_EQ(static_cast<int>(m.wParam), 42);
  // Asked for twice, the quit ends one loop: the next one is not cut short.
  postMessage(nullptr, kWmUser + 8);
  EXPECT_TRUE(getMessage(m));
  EXPECT_EQ(m.message, kWmUser + 8);
}

TEST_F(MessageQueueTest, AStarvedScriptEndsTheLoopInsteadOfHanging) {
  Message m;
  EXPECT_FALSE(getMessage(m));
  EXPECT_EQ(static_cast<int>(static_cast<intptr_t>(m.wParam)), kStarvedExitCode);
}

TEST_F(MessageQueueTest, ScriptStepsRunWhenTheLoopWaits) {
  std::vector<int> order;
  automation::queueStep([&] {
    order.push_back(1);
    postMessage(nullptr, kWmUser + 1);
  });
  automation::queueStep([&] {
    order.push_back(2);
    postQuitMessage(0);
  });
  Message m;
  while (getMessage(m)) order.push_back(static_cast<int>(m.message - kWmUser) * 10);
  EXPECT_EQ(order, (std::vector<int>{1, 10, 2}));
  EXPECT_EQ(m.wParam, 0u);
}

TEST_F(MessageQueueTest, PaintComesOnlyWhenNothingElseWaitsAndValidates) {
  RecordingWindow w;
  ASSERT_TRUE(w.create(testing::topLevel({0, 0, 200, 100})));
  automation::drainMessages();
  w.received.clear();
  w.invalidateRect({0, 0, 10, 10}, false);
  postMessage(&w, kWmUser);
  Message m;
  ASSERT_TRUE(peekMessage(m, nullptr, 0, 0, kPeekRemove));
  EXPECT_EQ(m.message, kWmUser) << "posted messages come before paint";
  ASSERT_TRUE(peekMessage(m, nullptr, 0, 0, kPeekRemove));
  EXPECT_EQ(m.message, kWmPaint);
  dispatchMessage(m);
  EXPECT_FALSE(w.needsPaint()) << "painting leaves the window valid";
  EXPECT_EQ(w.count(kWmEraseBkgnd), 0) << "invalidated without erase";
  w.invalidate(true);
  automation::drainMessages();
  EXPECT_EQ(w.count(kWmEraseBkgnd), 1);
  EXPECT_FALSE(peekMessage(m, nullptr, 0, 0, kPeekNoRemove));
}

TEST_F(MessageQueueTest, MessagesForADestroyedWindowAreDropped) {
  RecordingWindow w;
  ASSERT_TRUE(w.create(testing::topLevel({0, 0, 50, 50})));
  w.post(kWmUser);
  w.destroy();
  Message m;
  EXPECT_FALSE(peekMessage(m, nullptr, kWmUser, kWmUser, kPeekNoRemove));
  EXPECT_EQ(w.count(kWmDestroy), 1);
  EXPECT_EQ(w.count(kWmNcDestroy), 1);
}

TEST_F(MessageQueueTest, ScriptedKeysUpdateAsyncStateAndCarryThePreviousStateBit) {
  RecordingWindow w;
  ASSERT_TRUE(w.create(testing::topLevel({0, 0, 50, 50})));
  w.setFocus();
  automation::drainMessages();
  w.received.clear();
  automation::keyDown(kVkShift);
  EXPECT_TRUE(isKeyDown(kVkShift));
  automation::keyDown('K');
  automation::keyDown('K');  // auto-repeat
  automation::keyUp('K');
  automation::keyUp(kVkShift);
  EXPECT_FALSE(isKeyDown(kVkShift));
  automation::drainMessages();
  std::vector<intptr_t> keyDownBits;
  for (const auto& r : w.received)
    if (r.message == kWmKeyDown && r.wParam == 'K') keyDownBits.push_back(r.lParam & kKeyPreviouslyDown);
  EXPECT_EQ(keyDownBits, (std::vector<intptr_t>{0, kKeyPreviouslyDown}));
  ASSERT_NE(w.last(kWmChar), nullptr) << "translation makes characters";
  EXPECT_EQ(w.last(kWmChar)->wParam, 'K') << "Shift was down: a capital";
  automation::keyDown(kVkMenu);
  automation::keyPress('F');
  automation::keyUp(kVkMenu);
  automation::drainMessages();
  ASSERT_NE(w.last(kWmSysKeyDown), nullptr) << "keys with Alt are system keys";
  EXPECT_EQ(w.last(kWmSysKeyDown)->wParam, 'F');
}

TEST_F(MessageQueueTest, AcceleratorsTurnKeysIntoCommands) {
  RecordingWindow w;
  ASSERT_TRUE(w.create(testing::topLevel({0, 0, 50, 50})));
  w.setFocus();
  const AcceleratorTable table{{kFVirtKey | kFControl, 'S', 0x8004}, {kFVirtKey | kFControl, 'W', 0x8012}};
  automation::keyPress('S', automation::kModControl);
  automation::keyPress('S');
  Message m;
  int commands = 0, plainS = 0;
  while (peekMessage(m, nullptr, 0, 0, kPeekRemove)) {
    if (translateAccelerator(&w, table, m)) continue;
    plainS += m.message == kWmKeyDown && m.wParam == 'S';
    dispatchMessage(m);
  }
  for (const auto& r : w.received)
    if (r.message == kWmCommand) {
      ++commands;
      EXPECT_EQ(lowWord(r.wParam), 0x8004u);
      EXPECT_EQ(highWord(r.wParam), 1u) << "marked as coming from an accelerator";
    }
  EXPECT_EQ(commands, 1);
  EXPECT_EQ(plainS, 1) << "S without Ctrl stays a key";
}

}  // namespace
}  // namespace platform
