// A frame with a menu bar, a floating bar, a list box and a dialog, shot
// as the desktop shows it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Dialog.h"
#include "platform/FrameWindow.h"
#include "platform/Resources.h"
#include "platform/SystemMetrics.h"
#include "platform/WindowDC.h"
#include "tests/support/AutomatedTest.h"

namespace platform {
namespace {

namespace automation = platform::automation;

class ColourBar : public ControlBar {
 public:
  ListBox list;
  PushButton add;

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (message == kWmCreate) {
      list.drawRow = [this](DeviceContext& dc, const ListBox::DrawItem& item) {
        const auto c = static_cast<Colour>(list.rowData(item.index));
        dc.fillRect(item.rect, Brush::solid(systemColour(kColourWindow)));
        dc.fillRect({22, item.rect.top + 2, item.rect.right - 4, item.rect.bottom - 2}, Brush::solid(c));
        dc.drawEdge({0, item.rect.top, 22, item.rect.bottom}, item.selected ? kEdgeSunken : kEdgeRaised);
      };
      list.create(controlParams(*this, 1, {3, 3, 87, 100}));
      for (Colour c : {rgb(200, 30, 30), rgb(30, 160, 60), rgb(40, 60, 200), rgb(240, 200, 40)})
        list.addRow(c, list.count() % 2 ? 20 : 19);
      list.setSelected(1, true);
      add.create(controlParams(*this, 119, {3, 104, 45, 121}, "New"));
      return 0;
    }
    return ControlBar::handleMessage(message, wParam, lParam);
  }
};

class ShotFrame : public FrameWindow {
 public:
  ColourBar keep;
  ScrollBar vertical{true};
  SizeBox corner;

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    switch (message) {
      case kWmCreate:
        if (!keep.createBar(*this, "Keep", 0xE801, {90, 124})) return -1;
        keep.floatAt({470, 90});
        showControlBar(keep, true, false);
        vertical.create(controlParams(*this, 2, {0, 0, 17, 10}));
        corner.create(controlParams(*this, 3, {0, 0, 17, 17}));
        return 0;
      case kWmSize: {
        const int32_t w = pointParamX(lParam), h = pointParamY(lParam);
        vertical.move({w - 17, 0, w, h - 17});
        vertical.setInfo({kSifAll | kSifDisableNoScroll, 0, 999, 250, 300, 0});
        corner.move({w - 17, h - 17, w, h});
        return 0;
      }
      case kWmPaint: {
        PaintDC dc(*this);
        dc.fillRect(clientRect(), Brush::solid(systemColour(kColourAppWorkspace)));
        dc.setPen({kPenSolid, rgb(0, 0, 0)});
        dc.setBrush(Brush::solid(rgb(255, 255, 255)));
        dc.rectangle({20, 20, 300, 220});
        dc.setRop2(kR2Not);
        dc.setBrush(Brush::null());
        dc.ellipse({60, 60, 200, 160});
        return 0;
      }
      default:
        return FrameWindow::handleMessage(message, wParam, lParam);
    }
  }
};

TEST(Screenshot, FrameWithMenuFloatingBarListAndDialog) {
  automation::setEnabled(true);
  automation::reset();
  resources::registerMenu(7001, {{"&File", 0, {{"E&xit", 0xE141, {}}}},
                                 {"&Edit", 0, {{"&Undo", 0xE12B, {}}}},
                                 {"&Window", 0, {{"&Toolbox", 0x800F, {}}}}});
  ShotFrame frame;
  ASSERT_TRUE(frame.loadFrame(7001, kWsOverlappedWindow | kWsVisible, nullptr, "Tessaly", {40, 40, 600, 420}));
  automation::drainMessages();

  DialogTemplate t;
  t.title = "Make Work Path";
  t.size = {220, 110};
  t.controls = {{ControlKind::kGroupBox, "Source", 100, {8, 4, 120, 70}, true},
                {ControlKind::kRadioButton, "Channel", 101, {16, 22, 110, 40}, true},
                {ControlKind::kRadioButton, "Selection", 102, {16, 44, 110, 62}, false},
                {ControlKind::kStaticText, "Choke:", 103, {8, 80, 60, 100}, false},
                {ControlKind::kNumberField, "2", 104, {64, 78, 120, 100}, false},
                {ControlKind::kDefaultPushButton, "OK", kIdOk, {136, 10, 212, 32}, false},
                {ControlKind::kPushButton, "Cancel", kIdCancel, {136, 40, 212, 62}, false}};
  Dialog dialog(t);
  const char* dir = std::getenv("TESSALY_SCREENSHOT_DIR");
  const std::filesystem::path path =
      std::filesystem::path(dir ? dir : std::filesystem::temp_directory_path().string()) / "platform-frame.png";
  bool saved = false;
  automation::queueStep([&] {
    automation::drainMessages();
    static_cast<RadioButton*>(dialog.control(101))->check();
    automation::drainMessages();
    saved = automation::saveDesktopScreenshot({0, 0, 640, 460}, path.string());
    // Queued before the dialog, the answer would close it at once.
    automation::queueDialogAnswer({"Cancel", {}});
  });
  EXPECT_EQ(dialog.doModal(&frame), kIdCancel);
  ASSERT_TRUE(saved);
  EXPECT_GT(std::filesystem::file_size(path), 1000u);
  if (!dir) std::filesystem::remove(path);
  frame.destroy();
  automation::reset();
}

}  // namespace
}  // namespace platform
