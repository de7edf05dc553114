// Bitmaps, framebuffers, menus, resources, threads and input settings.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/Bitmap.h"
#include "platform/DeviceContext.h"
#include "platform/Input.h"
#include "platform/Menu.h"
#include "platform/Resources.h"
#include "platform/Thread.h"
#include "platform/Time.h"
#include "tests/platform/TestWindows.h"
#include "tests/support/AutomatedTest.h"

namespace platform {
namespace {

namespace automation = platform::automation;

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Bitmap, APngWrittenByAFramebufferReadsBackPixelForPixel) {
  Framebuffer fb(7, 5, rgb(10, 20, 30));
  DeviceContext dc(fb);
  dc.setPixel({3, 2}, rgb(250, 1, 128));
  const auto path = std::filesystem::temp_directory_path() / "tessaly-bitmap-roundtrip.png";
  ASSERT_TRUE(fb.savePng(path.string()));
  const std::vector<uint8_t> bytes = readFile(path);
  std::filesystem::remove(path);
  const Bitmap b = Bitmap::fromEncoded(bytes.data(), bytes.size());
  ASSERT_FALSE(b.isNull());
  EXPECT_EQ(b.width(), 7);
  EXPECT_EQ(b.pixel(3, 2), rgb(250, 1, 128));
  EXPECT_EQ(b.pixel(0, 0), rgb(10, 20, 30));
}

TEST(Bitmap, BytesThatAreNoImageGiveANullBitmap) {
  const uint8_t junk[] = {0x89, 'P', 'N', 'G', 0, 1, 2, 3, 4, 5};
  EXPECT_TRUE(Bitmap::fromEncoded(junk, sizeof junk).isNull());
  EXPECT_TRUE(Bitmap::fromEncoded(nullptr, 10).isNull());
  const uint8_t rows[9] = {};
  EXPECT_TRUE(Bitmap::monochrome(9, 1, rows).isNull()) << "patterns are at most 8 pixels wide";
  EXPECT_FALSE(Bitmap().isMonochrome());
}

TEST(Framebuffer, ResizingKeepsTheOverlapAndFillsTheRest) {
  Framebuffer fb(4, 4, rgb(1, 2, 3));
  fb.resize(6, 3, rgb(9, 9, 9));
  EXPECT_EQ(fb.pixel(3, 2), rgb(1, 2, 3));
  EXPECT_EQ(fb.pixel(5, 0), rgb(9, 9, 9));
  EXPECT_EQ(fb.pixel(0, 3), 0u) << "outside reads as 0";
  EXPECT_EQ(fb.takeDirtyRect(), (Rect{0, 0, 6, 3}));
}

TEST(Menu, DisplayTextDropsMnemonicsAndAccelerators) {
  EXPECT_EQ(Menu::displayText("&Save/Apply...\tCtrl+S"), "Save/Apply...");
  EXPECT_EQ(Menu::displayText("Fish && &Chips"), "Fish & Chips");
  Menu bar;
  Menu& window = bar.appendSubmenu("&Window");
  window.appendItem("&Keep Colors", 0x800D);
  window.appendSeparator();
  EXPECT_EQ(bar.itemId(0), 0u) << "a popup has no command";
  EXPECT_EQ(window.itemId(1), 0u) << "nor has a separator";
  ASSERT_NE(bar.findById(0x800D), nullptr);
  EXPECT_TRUE(bar.setChecked(0x800D, true));
  EXPECT_TRUE(window.item(0).checked);
  EXPECT_FALSE(bar.setEnabled(0x1234, false));
  EXPECT_NE(bar.findByText("&Window"), nullptr);
}

TEST(Resources, RegisteredResourcesLoadByIdAndMissingOnesAreEmpty) {
  resources::registerMenu(4242, {{"&File", 0, {{"E&xit", 0xE141, {}}, {}, {"&Save", 0x8004, {}}}}});
  const auto menu = resources::loadMenu(4242);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->item(0).submenu->itemCount(), 3u);
  EXPECT_TRUE(menu->item(0).submenu->item(1).text.empty()) << "an empty entry is a separator";
  EXPECT_EQ(resources::loadMenu(4243), nullptr);
  EXPECT_FALSE(resources::loadAccelerators(4243));
  EXPECT_TRUE(resources::loadIcon(4243).isNull());
  const uint8_t checker[2] = {0x40, 0x80};
  resources::registerBitmap(135, Bitmap::monochrome(2, 2, checker));
  EXPECT_TRUE(resources::loadBitmap(135).isMonochrome());
}

class ThreadTest : public testing_support::AutomatedTest {};

TEST_F(ThreadTest, AThreadRunsOnceAtATimeAndKnownPrioritiesOnly) {
  std::atomic<bool> release{false};
  Thread t;
  ASSERT_TRUE(t.start([&] {
    while (!release) sleepMilliseconds(10);
  }));
  EXPECT_TRUE(t.running());
  EXPECT_FALSE(t.start([] {})) << "already running";
  EXPECT_TRUE(t.setPriority(kThreadPriorityAboveNormal));
  EXPECT_FALSE(t.setPriority(7));
  EXPECT_EQ(t.priority(), kThreadPriorityAboveNormal);
  release = true;
  t.join();
  EXPECT_FALSE(t.running());
  EXPECT_TRUE(t.start([] {})) << "a finished thread can start again";
  t.join();
}

TEST_F(ThreadTest, AnExceptionEndsOnlyItsThread) {
  Thread t;
  ASSERT_TRUE(t.start([] { throw std::runtime_error("lost"); }));
  t.join();
  EXPECT_FALSE(t.running());
}

TEST(InputSettings, RepeatSpeedStaysInItsRange) {
  const int before = keyboardRepeatSpeed();
  EXPECT_TRUE(setKeyboardRepeatSpeed(16));
  EXPECT_EQ(keyboardRepeatSpeed(), 16);
  EXPECT_FALSE(setKeyboardRepeatSpeed(32));
  EXPECT_FALSE(setKeyboardRepeatSpeed(-1));
  EXPECT_EQ(keyboardRepeatSpeed(), 16);
  setKeyboardRepeatSpeed(before);
  EXPECT_GT(doubleClickTime(), 0u);
}

class ShowStateTest : public testing_support::AutomatedTest {};

TEST_F(ShowStateTest, MinimisedWindowsTakeNoInputAndComeBackToTheirRectangle) {
  testing::RecordingWindow w;
  ASSERT_TRUE(w.create(testing::topLevel({10, 10, 210, 160})));
  EXPECT_TRUE(w.show(kSwShowMinimized)) << "answers that it was visible";
  EXPECT_TRUE(w.isMinimized());
  EXPECT_EQ(w.placement().showCommand, kSwShowMinimized);
  automation::mouseDown(w, {20, 20});
  automation::drainMessages();
  EXPECT_EQ(w.count(kWmLButtonDown), 0);
  w.show(kSwRestore);
  EXPECT_EQ(w.windowRect(), (Rect{10, 10, 210, 160}));
  EXPECT_TRUE(w.show(kSwHide));
  EXPECT_FALSE(w.show(kSwShowNa)) << "it was hidden";
  const auto* size = w.last(kWmSize);
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(size->wParam, kSizeRestored);
}

}  // namespace
}  // namespace platform
