#include "platform/Automation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/Event.h"
#include "platform/Input.h"
#include "platform/MessageQueue.h"
#include "platform/Thread.h"
#include "platform/Time.h"
#include "tests/platform/TestWindows.h"
#include "tests/support/AutomatedTest.h"

namespace platform {
namespace {

using testing::RecordingWindow;

class AutomationTest : public testing_support::AutomatedTest {};

// A pointer sampler as painting tools run it: every 25 ms, on its own
// thread, it records where the pointer is.
std::vector<Point> scriptedDrag() {
  RecordingWindow view;
  CreateParams p = testing::topLevel({0, 0, 200, 200});
  p.style = kWsPopup | kWsVisible;
  EXPECT_TRUE(view.create(p));
  std::mutex mutex;
  std::vector<Point> samples;
  std::atomic<bool> stop{false};
  automation::setInputInterval(25);
  automation::mouseDown(view, {10, 10});
  Thread sampler;
  sampler.start([&] {
    while (!stop) {
      {
        std::lock_guard lock(mutex);
        samples.push_back(view.screenToClient(cursorPosition()));
      }
      sleepMilliseconds(25);
    }
  });
  for (int i = 1; i <= 8; ++i) automation::mouseMove(view, {10 + i * 3, 10 + i});
  automation::mouseUp(view, {40, 20});
  stop = true;
  sampler.join();
  automation::drainMessages();
  return samples;
}

TEST_F(AutomationTest, TheSameScriptedDragGivesTheSameSamples) {
  const std::vector<Point> first = scriptedDrag();
  automation::reset();
  const std::vector<Point> second = scriptedDrag();
  EXPECT_EQ(first, second);
  // One sample at the start, then exactly one per scripted move and one for
  // the release, each taken as the clock reaches the input's time, before
  // the pointer moves.
  ASSERT_EQ(first.size(), 10u);
  EXPECT_EQ(first[1], (Point{10, 10}));
  EXPECT_EQ(first[9], (Point{34, 18}));
}

TEST_F(AutomationTest, WorkerSleepsWaitForTheScriptAndMainThreadSleepsAdvanceIt) {
  std::atomic<int> wakeUps{0};
  std::atomic<bool> stop{false};
  Thread worker;
  ASSERT_TRUE(worker.start([&] {
    while (!stop) {
      sleepMilliseconds(100);
      ++wakeUps;
    }
  }));
  automation::advanceTime(99);
  EXPECT_EQ(wakeUps, 0);
  automation::advanceTime(1);
  EXPECT_EQ(wakeUps, 1);
  sleepMilliseconds(250);  // the main thread moves the clock on
  EXPECT_EQ(wakeUps, 3);
  EXPECT_EQ(tickCount(), 350u);
  stop = true;
  worker.join();
  EXPECT_FALSE(worker.running());
}

// A sampler that waits on an event between samples instead of sleeping:
// setting the event ends it at once, and no virtual time passes for it.
TEST_F(AutomationTest, AnEventWakesAWaitingWorkerAtOnceWithoutMovingTheClock) {
  std::atomic<int> samples{0};
  Event stop;
  Thread sampler;
  ASSERT_TRUE(sampler.start([&] {
    do {
      ++samples;
    } while (!stop.wait(25));
  }));
  EXPECT_EQ(samples, 1) << "start returns once the thread first waits";
  automation::advanceTime(50);
  EXPECT_EQ(samples, 3);
  automation::advanceTime(10);
  stop.set();
  sampler.join();
  EXPECT_FALSE(sampler.running());
  EXPECT_EQ(samples, 3) << "woken by the event, not by the clock";
  EXPECT_EQ(tickCount(), 60u) << "joining it did not move the clock on";
}

TEST_F(AutomationTest, AnEventSetBeforeTheWaitEndsItAtOnceAndStaysSetUntilReset) {
  Event event;
  event.set();
  EXPECT_TRUE(event.wait(1000));
  EXPECT_EQ(tickCount(), 0u);
  event.reset();
  EXPECT_FALSE(event.wait(30)) << "the main thread's wait moves the clock on";
  EXPECT_EQ(tickCount(), 30u);
}

TEST(EventOnTheRealClock, SettingWakesAWaiterLongBeforeItsTimeout) {
  automation::setEnabled(false);
  Event event;
  std::atomic<bool> woken{false};
  std::thread waiter([&] { woken = event.wait(60 * 1000); });
  event.set();
  waiter.join();
  EXPECT_TRUE(woken);
}

TEST_F(AutomationTest, MenuCommandsGoThroughTheMenuUpdate) {
  RecordingWindow frame;
  ASSERT_TRUE(frame.create(testing::topLevel({0, 0, 300, 200})));
  auto menu = std::make_unique<Menu>();
  Menu& file = menu->appendSubmenu("&File");
  file.appendItem("&Save/Apply...\tCtrl+S", 0x8004);
  file.appendSeparator();
  file.appendItem("E&xit\tCtrl+Q", 0xE141);
  frame.setMenu(std::move(menu));
  frame.onMessage = [&](uint32_t m, uintptr_t w, intptr_t) {
    if (m == kWmInitMenuPopup) reinterpret_cast<Menu*>(w)->setEnabled(0xE141, false);
    return RecordingWindow::kPassOn;
  };
  EXPECT_TRUE(automation::chooseMenuItem(frame, {"File", "Save/Apply..."}));
  EXPECT_FALSE(automation::chooseMenuItem(frame, {"File", "Exit"})) << "disabled by the update";
  EXPECT_FALSE(automation::chooseMenuItem(frame, {"Edit", "Undo"}));
  automation::drainMessages();
  ASSERT_EQ(frame.count(kWmCommand), 1);
  EXPECT_EQ(frame.last(kWmCommand)->wParam, 0x8004u);
}

TEST_F(AutomationTest, ScreenshotWritesTheFramebufferAsPng) {
  Window frame;
  ASSERT_TRUE(frame.create(testing::topLevel({0, 0, 120, 90}, "Shot")));
  automation::drainMessages();
  {
    ClientDC dc(frame);
    dc.fillRect({10, 10, 30, 30}, Brush::solid(rgb(0, 128, 0)));
  }
  const auto path = std::filesystem::temp_directory_path() / "tessaly-shot-test.png";
  ASSERT_TRUE(automation::saveScreenshot(frame, path.string()));
  EXPECT_GT(std::filesystem::file_size(path), 100u);
  std::filesystem::remove(path);
  EXPECT_FALSE(automation::saveScreenshot(frame, "/nonexistent-dir/x.png"));
}

}  // namespace
}  // namespace platform
