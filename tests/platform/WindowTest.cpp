#include "platform/Window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Cursor.h"
#include "platform/Input.h"
#include "platform/MessageQueue.h"
#include "platform/Registry.h"
#include "platform/SystemMetrics.h"
#include "tests/platform/TestWindows.h"
#include "tests/support/AutomatedTest.h"

namespace platform {
namespace {

using testing::RecordingWindow;
namespace automation = platform::automation;

class WindowTest : public testing_support::AutomatedTest {};

TEST_F(WindowTest, CreationCanBeRefusedByTheCreateHandler) {
  RecordingWindow w;
  w.onMessage = [](uint32_t m, uintptr_t, intptr_t) { return m == kWmCreate ? -1 : RecordingWindow::kPassOn; };
  EXPECT_FALSE(w.create(testing::topLevel({0, 0, 10, 10})));
  EXPECT_FALSE(w.exists());
  EXPECT_FALSE(Window::isWindow(&w));
  EXPECT_EQ(w.count(kWmDestroy), 1);
}

TEST_F(WindowTest, ClientAreaLeavesRoomForCaptionMenuAndFrame) {
  Window frame;
  ASSERT_TRUE(frame.create(testing::topLevel({100, 50, 500, 350})));
  const Rect in = frame.nonClientInsets();
  EXPECT_EQ(frame.clientRect().width(), 400 - in.left - in.right);
  const int heightWithoutMenu = frame.clientRect().height();
  frame.setMenu(std::make_unique<Menu>());
  EXPECT_EQ(frame.clientRect().height(), heightWithoutMenu - systemMetric(kSmCyMenu));
  EXPECT_EQ(frame.clientToScreen({0, 0}), (Point{100 + in.left, 50 + frame.nonClientInsets().top}));
  const Rect client{0, 0, 300, 200};
  const Rect outer = Window::windowRectForClient(client, kWsOverlappedWindow, 0, true);
  EXPECT_EQ(outer.width() - frame.nonClientInsets().left - frame.nonClientInsets().right, 300);

  Window child;
  ASSERT_TRUE(child.create(testing::child(frame, {10, 20, 60, 80}, 7)));
  EXPECT_EQ(child.clientToScreen({1, 2}), frame.clientToScreen({11, 22}));
  EXPECT_EQ(child.screenToClient(frame.clientToScreen({11, 22})), (Point{1, 2}));
  EXPECT_EQ(frame.childById(7), &child);
  EXPECT_EQ(frame.childAtPoint({15, 25}), &child);
  EXPECT_EQ(frame.childAtPoint({5, 5}), &frame);
}

TEST_F(WindowTest, PlacementRemembersTheNormalRectangleWhileMaximised) {
  Window frame;
  ASSERT_TRUE(frame.create(testing::topLevel({10, 10, 300, 200})));
  frame.show(kSwShowMaximized);
  EXPECT_TRUE(frame.isMaximized());
  EXPECT_EQ(frame.windowRect(), workArea());
  WindowPlacement p = frame.placement();
  EXPECT_EQ(p.showCommand, kSwShowMaximized);
  EXPECT_EQ(p.normalPosition, (Rect{10, 10, 300, 200}));
  frame.show(kSwRestore);
  EXPECT_EQ(frame.windowRect(), (Rect{10, 10, 300, 200}));

  p.normalPosition = {40, 40, 240, 140};
  p.showCommand = kSwShowNormal;
  ASSERT_TRUE(frame.setPlacement(p));
  EXPECT_EQ(frame.windowRect(), p.normalPosition);
  EXPECT_TRUE(frame.isVisible());
}

TEST_F(WindowTest, ShowingWithoutActivationKeepsTheActiveWindow) {
  Window a, b;
  ASSERT_TRUE(a.create(testing::topLevel({0, 0, 100, 100}, "A")));
  CreateParams hidden = testing::topLevel({50, 50, 150, 150}, "B");
  hidden.style &= ~kWsVisible;
  ASSERT_TRUE(b.create(hidden));
  EXPECT_EQ(Window::active(), &a);
  b.show(kSwShowNoActivate);
  EXPECT_TRUE(b.isVisible());
  EXPECT_EQ(Window::active(), &a);
  b.show(kSwShow);
  EXPECT_EQ(Window::active(), &b);
  EXPECT_EQ(Window::topLevelWindows().front(), &b);
  b.sendToBottom();
  EXPECT_EQ(Window::topLevelWindows().back(), &b);
  EXPECT_EQ(automation::findWindow("A"), &a);
}

TEST_F(WindowTest, FocusMovesWithKillAndSetMessages) {
  RecordingWindow frame, left, right;
  ASSERT_TRUE(frame.create(testing::topLevel({0, 0, 200, 200})));
  ASSERT_TRUE(left.create(testing::child(frame, {0, 0, 50, 50}, 1)));
  ASSERT_TRUE(right.create(testing::child(frame, {50, 0, 100, 50}, 2)));
  left.setFocus();
  EXPECT_EQ(Window::focus(), &left);
  right.setFocus();
  ASSERT_NE(left.last(kWmKillFocus), nullptr);
  EXPECT_EQ(left.last(kWmKillFocus)->wParam, reinterpret_cast<uintptr_t>(&right));
  EXPECT_EQ(right.count(kWmSetFocus), 1);
  right.show(kSwHide);
  EXPECT_NE(Window::focus(), &right) << "a hidden window cannot keep the focus";
  right.destroy();
  left.enable(false);
  EXPECT_FALSE(left.isEnabled());
}

TEST_F(WindowTest, MouseInputGoesToTheWindowUnderThePointerOrTheCapture) {
  RecordingWindow frame, view;
  ASSERT_TRUE(frame.create(testing::topLevel({0, 0, 300, 300})));
  ASSERT_TRUE(view.create(testing::child(frame, {20, 20, 220, 220}, 1)));
  automation::drainMessages();
  automation::mouseDown(view, {5, 6});
  EXPECT_TRUE(isKeyDown(kVkLButton));
  EXPECT_EQ(cursorPosition(), view.clientToScreen({5, 6}));
  view.setCapture();
  automation::mouseMove(view, {-30, 500});  // outside, still captured
  automation::mouseUp(view, {-30, 500});
  Window::releaseCapture();
  automation::mouseMove(view, {-10, -10});  // over the frame now
  automation::drainMessages();
  ASSERT_NE(view.last(kWmLButtonDown), nullptr);
  EXPECT_EQ(pointParamX(view.last(kWmLButtonDown)->lParam), 5);
  EXPECT_EQ(view.last(kWmLButtonDown)->wParam & kMkLButton, kMkLButton);
  ASSERT_NE(view.last(kWmLButtonUp), nullptr);
  EXPECT_EQ(pointParamY(view.last(kWmLButtonUp)->lParam), 500);
  EXPECT_EQ(frame.count(kWmMouseMove), 1);
  EXPECT_GE(frame.count(kWmSetCursor) + view.count(kWmSetCursor), 1);

  view.enable(false);
  view.received.clear();
  automation::mouseDown(view, {5, 5});
  automation::drainMessages();
  EXPECT_EQ(view.count(kWmLButtonDown), 0) << "a disabled window takes no clicks";
}

TEST_F(WindowTest, SecondPressSoonAfterIsADoubleClickOnlyForWindowsThatWantIt) {
  RecordingWindow frame, button;
  ASSERT_TRUE(frame.create(testing::topLevel({0, 0, 200, 200})));
  ASSERT_TRUE(button.create(testing::child(frame, {10, 10, 50, 50}, 1)));
  automation::mouseDown(frame, {100, 100});
  automation::mouseUp(frame, {100, 100});
  automation::mouseDown(frame, {100, 100});
  button.setAcceptsDoubleClicks(true);
  automation::setInputInterval(100);
  automation::mouseDown(button, {5, 5});
  automation::mouseUp(button, {5, 5});
  automation::mouseDown(button, {5, 5});
  automation::mouseUp(button, {5, 5});
  automation::setInputInterval(doubleClickTime());
  automation::mouseDown(button, {5, 5});
  automation::mouseUp(button, {5, 5});
  automation::drainMessages();
  EXPECT_EQ(frame.count(kWmLButtonDblClk), 0);
  EXPECT_EQ(frame.count(kWmLButtonDown), 2);
  EXPECT_EQ(button.count(kWmLButtonDblClk), 1);
  EXPECT_EQ(button.count(kWmLButtonDown), 2) << "a press after the double-click time is a press again";
}

TEST_F(WindowTest, DestroyingAFrameDestroysChildrenAndOwnedWindows) {
  RecordingWindow frame, child, owned;
  ASSERT_TRUE(frame.create(testing::topLevel({0, 0, 100, 100})));
  ASSERT_TRUE(child.create(testing::child(frame, {0, 0, 10, 10}, 1)));
  CreateParams mini = testing::topLevel({10, 10, 50, 50}, "Mini");
  mini.parent = &frame;
  mini.exStyle = kWsExToolWindow;
  ASSERT_TRUE(owned.create(mini));
  EXPECT_EQ(owned.owner(), &frame);
  EXPECT_EQ(owned.parent(), nullptr);
  child.setCapture();
  frame.destroy();
  EXPECT_FALSE(child.exists());
  EXPECT_FALSE(owned.exists());
  EXPECT_EQ(Window::capture(), nullptr);
  EXPECT_EQ(child.count(kWmDestroy), 1);
}

TEST_F(WindowTest, PropertiesAreKeptPerWindow) {
  Window w;
  ASSERT_TRUE(w.create(testing::topLevel({0, 0, 10, 10})));
  w.setProperty("Tessaly.View", 17);
  EXPECT_EQ(w.property("Tessaly.View"), 17);
  EXPECT_EQ(w.removeProperty("Tessaly.View"), 17);
  EXPECT_EQ(w.property("Tessaly.View"), 0);
}

TEST_F(WindowTest, ScrollingContentsMovesPixelsAndInvalidatesTheUncoveredStrip) {
  Window w;
  CreateParams p = testing::topLevel({0, 0, 100, 100});
  p.style = kWsPopup | kWsVisible;
  ASSERT_TRUE(w.create(p));
  automation::drainMessages();
  {
    ClientDC dc(w);
    dc.setPixel({10, 10}, rgb(255, 0, 0));
  }
  w.scrollContents(5, 0);
  EXPECT_EQ(w.framebuffer().pixel(15, 10), rgb(255, 0, 0));
  EXPECT_EQ(w.updateRegion().boundingBox(), (Rect{0, 0, 5, 100}));
}

TEST_F(WindowTest, SystemAndResourceCursors) {
  EXPECT_TRUE(isSystemCursorId(kIdcWait));
  EXPECT_FALSE(loadSystemCursor(kIdcArrow).isNull());
  EXPECT_TRUE(loadCursor(3250).isNull()) << "not registered yet";
  const uint8_t rows[2] = {0x80, 0x40};
  registerCursor(3250, Bitmap::monochrome(2, 2, rows), {1, 1});
  EXPECT_EQ(loadCursor(3250).id, 3250);
  setCursor(loadCursor(3250));
  {
    WaitCursor wait;
    EXPECT_EQ(currentCursor().id, kIdcWait);
  }
  EXPECT_EQ(currentCursor().id, 3250);
}

TEST_F(WindowTest, HelpRequestsFromF1TravelToTheParent) {
  RecordingWindow frame, view;
  ASSERT_TRUE(frame.create(testing::topLevel({0, 0, 200, 200})));
  ASSERT_TRUE(view.create(testing::child(frame, {0, 0, 50, 50}, 1)));
  view.setFocus();
  automation::keyPress(kVkF1);
  automation::drainMessages();
  EXPECT_EQ(view.count(kWmHelp), 1);
  EXPECT_EQ(frame.count(kWmHelp), 1);
}

TEST_F(WindowTest, AnyWindowCanRefuseTheEndOfTheSession) {
  RecordingWindow a, b;
  ASSERT_TRUE(a.create(testing::topLevel({0, 0, 100, 100}, "A")));
  ASSERT_TRUE(b.create(testing::topLevel({0, 0, 100, 100}, "B")));
  EXPECT_TRUE(automation::queryEndSession());
  b.onMessage = [](uint32_t m, uintptr_t, intptr_t) { return m == kWmQueryEndSession ? 0 : RecordingWindow::kPassOn; };
  EXPECT_FALSE(automation::queryEndSession());
}

TEST_F(WindowTest, FeedbackInvertedOutsidePaintingComesOffWhenDrawnAgain) {
  RecordingWindow view;
  CreateParams p = testing::topLevel({0, 0, 120, 120});
  p.style = kWsPopup | kWsVisible;
  ASSERT_TRUE(view.create(p));
  view.onMessage = [&](uint32_t m, uintptr_t, intptr_t) -> intptr_t {
    if (m != kWmPaint) return RecordingWindow::kPassOn;
    PaintDC dc(view);
    for (int32_t y = 0; y < 120; y += 8) dc.fillRect({0, y, 120, y + 4}, Brush::solid(rgb(0, 90, static_cast<uint8_t>(y * 2))));
    return 0;
  };
  automation::drainMessages();
  const Framebuffer painted = view.framebuffer();
  auto rubberBand = [&] {
    ClientDC dc(view);
    dc.setRop2(kR2Not);
    dc.setBrush(Brush::null());
    dc.setPen({kPenSolid, rgb(128, 128, 128)});
    dc.rectangle({10, 12, 91, 73});
    dc.ellipse({30, 30, 61, 61});
  };
  rubberBand();
  EXPECT_FALSE(view.framebuffer().samePixels(painted));
  rubberBand();
  EXPECT_TRUE(view.framebuffer().samePixels(painted));
  EXPECT_FALSE(view.needsPaint()) << "drawing through a client context invalidates nothing";
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("tessaly-registry-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    unsetenv("XDG_CONFIG_HOME");
  }
  std::filesystem::path dir_;
};

TEST_F(RegistryTest, ValuesLiveInAFileUnderTheConfigHome) {
  using registry::Root;
  const char* key = "Software\\Corvane\\Tessaly 1.0";
  EXPECT_FALSE(registry::readString(Root::kLocalMachine, key, "PrefsLocation"));
  ASSERT_TRUE(registry::writeString(Root::kLocalMachine, key, "PrefsLocation", "/tmp/with\ttab\\and\nline.tsw"));
  EXPECT_EQ(registry::storePath(), (dir_ / "Tessaly" / "registry").string());
  EXPECT_EQ(registry::readString(Root::kLocalMachine, "software\\corvane\\TESSALY 1.0", "PrefsLocation"),
            std::optional<std::string>("/tmp/with\ttab\\and\nline.tsw"))
      << "keys compare without case, values keep every character";
  EXPECT_FALSE(registry::readString(Root::kCurrentUser, key, "PrefsLocation"));
  EXPECT_TRUE(registry::deleteValue(Root::kLocalMachine, key, "PrefsLocation"));
  EXPECT_FALSE(registry::readString(Root::kLocalMachine, key, "PrefsLocation"));
}

}  // namespace
}  // namespace platform
