// The mask view in a frame, as the screen shows it: the whole image fitted,
// 1:1, 3:1, one channel and grey-mask mode. The shots are written to the
// build tree for looking at; two of them are kept in the source tree and
// compared with a small tolerance, so that a change in what the user sees
// is noticed. Set TESSALY_UPDATE_SCREENSHOTS=1 to write the kept ones anew.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/Automation.h"
#include "platform/Controls.h"
#include "platform/Cursor.h"
#include "platform/DeviceContext.h"
#include "platform/FrameWindow.h"
#include "platform/SystemMetrics.h"
#include "platform/Time.h"
#include "tests/display/ViewTestSupport.h"
#include "tools/CZoomTool.h"

using display_testing::ViewFixture;

namespace {

// A frame whose client area holds the view and its two scroll bars, which
// it passes the bars' messages to.
class ViewFrame : public platform::FrameWindow {
 public:
  CMaskView view;
  platform::ScrollBar vertical{true}, horizontal{false};

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    switch (message) {
      case platform::kWmCreate:
        if (!view.CreateView(*this, {0, 0, 10, 10}, 1)) return -1;
        vertical.create(platform::controlParams(*this, 2, {0, 0, 10, 10}));
        horizontal.create(platform::controlParams(*this, 3, {0, 0, 10, 10}));
        view.SetScrollBars(&vertical, &horizontal);
        return 0;
      case platform::kWmSize: {
        const int32_t c = platform::systemMetric(platform::kSmCxVScroll);
        const int32_t d = platform::systemMetric(platform::kSmCyHScroll);
        const platform::Rect client = clientRect();
        view.move({0, 0, client.right - c, client.bottom - d});
        vertical.move({client.right - c, 0, client.right, client.bottom - d});
        horizontal.move({0, client.bottom - d, client.right - c, client.bottom});
        return 0;
      }
      case platform::kWmHScroll:
      case platform::kWmVScroll:
        return view.send(message, wParam, lParam);
      default:
        return platform::FrameWindow::handleMessage(message, wParam, lParam);
    }
  }
};

std::string outputPath(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(TESSALY_DISPLAY_TEST_OUTPUT) / "screenshots";
  std::filesystem::create_directories(dir);
  return (dir / (name + ".png")).string();
}

std::string keptPath(const std::string& name) {
  return (std::filesystem::path(TESSALY_DISPLAY_TEST_SOURCE) / "screenshots" / (name + ".png")).string();
}

platform::Bitmap readPng(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return platform::Bitmap::fromEncoded(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

class ScreenshotTest : public ViewFixture {
 protected:
  ScreenshotTest() {
    frame_.loadFrame(0, platform::kWsOverlappedWindow | platform::kWsVisible, nullptr, "Tessaly",
                     {40, 40, 40 + 420, 40 + 320});
    platform::automation::drainMessages();
  }
  ~ScreenshotTest() override {
    if (frame_.exists()) frame_.destroy();
  }
  CMaskView& view() { return frame_.view; }

  void shoot(const std::string& name) {
    view().invalidate(true);
    platform::automation::drainMessages();
    view().updateNow();
    ASSERT_FALSE(view().HasPendingWork()) << name << ": everything is drawn";
    ASSERT_TRUE(platform::automation::saveScreenshot(frame_, outputPath(name)));
    ASSERT_TRUE(view().framebuffer().savePng(outputPath(name + "-view")));
  }

  // Compares the view's pixels with the kept image: every channel within
  // 3 levels, except for at most 0.2% of the pixels (anti-aliased text and
  // the like never appear in the view, so this is room for rounding only).
  void compareWithKept(const std::string& name) {
    const std::string kept = keptPath(name);
    const platform::Framebuffer& pixels = view().framebuffer();
    if (std::getenv("TESSALY_UPDATE_SCREENSHOTS") != nullptr) {
      ASSERT_TRUE(pixels.savePng(kept));
      return;
    }
    const platform::Bitmap expected = readPng(kept);
    ASSERT_FALSE(expected.isNull()) << "no kept screenshot " << kept;
    ASSERT_EQ(expected.width(), pixels.width());
    ASSERT_EQ(expected.height(), pixels.height());
    int64_t off = 0;
    for (int32_t y = 0; y < pixels.height(); ++y)
      for (int32_t x = 0; x < pixels.width(); ++x) {
        const platform::Colour a = expected.pixel(x, y), b = pixels.pixel(x, y);
        const int dr = std::abs(platform::redOf(a) - platform::redOf(b));
        const int dg = std::abs(platform::greenOf(a) - platform::greenOf(b));
        const int db = std::abs(platform::blueOf(a) - platform::blueOf(b));
        off += std::max({dr, dg, db}) > 3;
      }
    EXPECT_LE(off * 500, int64_t{pixels.width()} * pixels.height())
        << off << " pixels differ from " << kept << "; see " << outputPath(name + "-view");
  }

  ViewFrame frame_;
};

TEST_F(ScreenshotTest, TheWholeImageFittedInTheView) {
  view().ZoomToRect(view().ImageRect(), 0);
  EXPECT_DOUBLE_EQ(view().Zoom(), 1.0);
  shoot("fit");
  compareWithKept("fit");
}

TEST_F(ScreenshotTest, OneToOneAndThreeToOne) {
  view().ZoomToRect({100, 60, 200, 140}, 1.0);
  shoot("one-to-one");
  view().ZoomToRect({130, 80, 170, 120}, 3.0);
  EXPECT_DOUBLE_EQ(view().Zoom(), 3.0);
  shoot("three-to-one");
  const platform::Rect visible = view().VisibleRect();
  EXPECT_EQ((visible.left + visible.right) / 2, 150 * 3);
}

TEST_F(ScreenshotTest, TheGreenChannelAlone) {
  view().ZoomToRect(view().ImageRect(), 0);
  view().SetShownChannel(2);
  shoot("green-channel");
}

TEST_F(ScreenshotTest, GreyMaskModeAtHalfSize) {
  view().ZoomToRect(view().ImageRect(), 0.5);
  view().SetDisplayMode(1);
  shoot("grey-mask");
  compareWithKept("grey-mask");
}

TEST_F(ScreenshotTest, TheToolCursorsOnOneSheet) {
  platform::Framebuffer sheet(20 * 24, 24, platform::rgb(200, 200, 200));
  platform::DeviceContext dc(sheet);
  int x = 4;
  for (int id : {3220, 3221, 3230, 3231, 3240, 3250, 3260, 3270, 3280, 3290, 3300, 3301, 3302, 3303, 3304, 3310, 3311,
                 3320, 3321, 3322}) {
    const platform::Cursor cursor = platform::loadCursor(id);
    ASSERT_FALSE(cursor.image.isNull()) << id;
    dc.drawIcon({x, 4}, cursor.image);
    x += 24;
  }
  EXPECT_TRUE(sheet.savePng(outputPath("cursors")));
}

// A navigator's view: it outlines the main view's visible area.
class NavigatorView : public CMaskView {
 protected:
  void DrawFeedbackOverlay() override {
    if (CMaskView* main = MainView()) InvertAreaFrame(main->VisibleImageRect());
  }
};

TEST_F(ScreenshotTest, ANavigatorOutlinesTheVisibleAreaWhileARubberBandIsDrawn) {
  view().ZoomToRect({100, 60, 200, 140}, 2.0);
  CMaskView::SetMainView(&view());
  NavigatorView navigator;
  navigator.CreateView(frame_, {240, 170, 240 + 150, 170 + 100}, 5);
  navigator.ZoomToFit();
  platform::automation::drainMessages();
  SelectTool(TheZoomTool());
  ToolMouseDown(view(), view().ClientToWindow({60, 50}), platform::kMkLButton);
  ToolMouseMove(view(), view().ClientToWindow({160, 120}), platform::kMkLButton);
  shoot("navigator-and-band");

  // The box: image (100, 60)-(200, 140) less what the window cuts, at 1/2.
  const platform::Rect box = view().VisibleImageRect();
  platform::Rect frame = box;
  navigator.ImageToWindowRect(frame);
  const platform::Point corner = navigator.WindowToClient({frame.left - 1, frame.top - 1});
  const platform::Colour framed = navigator.framebuffer().pixel(corner.x, corner.y);
  navigator.InvertAreaFrame(box);
  EXPECT_EQ(navigator.framebuffer().pixel(corner.x, corner.y), framed ^ 0xFFFFFFu)
      << "the frame was drawn once: erasing it restores the image";
  const platform::Colour banded = view().framebuffer().pixel(60, 50);
  view().InvalidateWindowRect(view().VisibleWindowRect());
  view().DrawIdle(platform::tickCount() + 1000);
  EXPECT_EQ(view().framebuffer().pixel(60, 50), banded) << "the band is drawn once over repainted pixels";
  ResetToolStack();
  CMaskView::SetMainView(nullptr);
  navigator.destroy();
}

}  // namespace
