#include "platform/Controls.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/MessageQueue.h"
#include "platform/SystemMetrics.h"
#include "tests/platform/TestWindows.h"
#include "tests/support/AutomatedTest.h"

namespace platform {
namespace {

namespace automation = platform::automation;
using testing::RecordingWindow;

class ControlsTest : public testing_support::AutomatedTest {
 protected:
  void SetUp() override {
    AutomatedTest::SetUp();
    CreateParams p = testing::topLevel({0, 0, 300, 300});
    p.style = kWsPopup | kWsVisible;
    ASSERT_TRUE(parent.create(p));
  }
  RecordingWindow parent;
};

TEST_F(ControlsTest, ScrollBarSetsEverythingAtOnceAndDisablesWhenNothingScrolls) {
  ScrollBar bar(false);
  ASSERT_TRUE(bar.create(controlParams(parent, 5, {0, 280, 300, 297})));
  EXPECT_EQ(bar.setInfo({kSifAll | kSifDisableNoScroll, 0, 40000 >> 1, 300, 25000, 0}), 20000 - 299)
      << "the position stays where a full page still fits";
  EXPECT_TRUE(bar.isEnabled());
  bar.setInfo({kSifAll | kSifDisableNoScroll, 0, 100, 300, 0, 0});
  EXPECT_FALSE(bar.isEnabled()) << "a page larger than the range leaves nothing to scroll";
  bar.setInfo({kSifAll | kSifDisableNoScroll, 0, 1000, 100, 10, 0});
  ASSERT_TRUE(bar.isEnabled());
  automation::drainMessages();
  parent.received.clear();
  automation::mouseDown(bar, {5, 8});    // left arrow
  automation::mouseUp(bar, {5, 8});
  automation::mouseDown(bar, {200, 8});  // right part of the track
  automation::mouseUp(bar, {200, 8});
  automation::drainMessages();
  std::vector<uint32_t> codes;
  for (const auto& r : parent.received)
    if (r.message == kWmHScroll) {
      codes.push_back(lowWord(r.wParam));
      EXPECT_EQ(r.lParam, reinterpret_cast<intptr_t>(&bar));
    }
  EXPECT_EQ(codes, (std::vector<uint32_t>{kSbLineUp, kSbEndScroll, kSbPageDown, kSbEndScroll}));
}

TEST_F(ControlsTest, ScrollBarThumbDragReportsTrackingAndFinalPositions) {
  ScrollBar bar(true);
  ASSERT_TRUE(bar.create(controlParams(parent, 6, {280, 0, 297, 217})));
  bar.setInfo({kSifAll, 0, 99, 10, 0, 0});
  automation::drainMessages();
  parent.received.clear();
  automation::mouseDown(bar, {8, 20});
  automation::mouseMove(bar, {8, 210});
  automation::mouseUp(bar, {8, 210});
  automation::drainMessages();
  ASSERT_NE(parent.last(kWmVScroll), nullptr);
  std::vector<uint32_t> codes;
  uint32_t finalPos = 0;
  for (const auto& r : parent.received)
    if (r.message == kWmVScroll) {
      codes.push_back(lowWord(r.wParam));
      if (lowWord(r.wParam) == kSbThumbPosition) finalPos = highWord(r.wParam);
    }
  EXPECT_EQ(codes, (std::vector<uint32_t>{kSbThumbTrack, kSbThumbPosition, kSbEndScroll}));
  EXPECT_EQ(finalPos, 90u) << "dragged to the end: the last position where a page fits";
}

TEST_F(ControlsTest, ListBoxKeepsDataSelectionAndCaretThroughInsertsAndDeletes) {
  ListBox list;
  ASSERT_TRUE(list.create(controlParams(parent, 7, {0, 0, 100, 100})));
  list.addRow(10, 19);
  list.addRow(20, 20);
  list.addRow(30, 19);
  list.setSelected(2, true);
  list.setCaretIndex(2);
  EXPECT_EQ(list.insertRow(0, 5, 19), 0);
  EXPECT_EQ(list.caretIndex(), 3) << "the caret follows its row";
  EXPECT_TRUE(list.isSelected(3));
  EXPECT_EQ(list.rowData(3), 30u);
  EXPECT_EQ(list.rowRect(2), (Rect{0, 38, 100, 58})) << "rows have their own heights";
  bool outside = false;
  EXPECT_EQ(list.rowFromPoint({50, 40}, outside), 2);
  EXPECT_FALSE(outside);
  EXPECT_EQ(list.rowFromPoint({50, 95}, outside), 4);
  EXPECT_TRUE(outside) << "below the last row";
  EXPECT_TRUE(list.deleteRow(3));
  EXPECT_EQ(list.caretIndex(), -1) << "deleting the caret row leaves no caret";
  EXPECT_FALSE(list.deleteRow(9));
  EXPECT_EQ(list.insertRow(9, 1, 19), -1);

  int drawn = 0;
  list.drawRow = [&](DeviceContext&, const ListBox::DrawItem&) { ++drawn; };
  list.setRedraw(false);
  list.addRow(40, 19);
  automation::drainMessages();
  EXPECT_EQ(drawn, 0) << "nothing is drawn while redrawing is off";
  list.setRedraw(true);
  automation::drainMessages();
  EXPECT_EQ(drawn, list.count());
}

TEST_F(ControlsTest, ListBoxWithAScrollBarScrollsByRows) {
  ListBox list;
  CreateParams p = controlParams(parent, 8, {0, 0, 100, 100});
  p.style |= kWsVScroll;
  ASSERT_TRUE(list.create(p));
  for (int i = 0; i < 10; ++i) list.addRow(static_cast<uintptr_t>(i), 19);
  EXPECT_EQ(list.rowWidth(), 100 - systemMetric(kSmCxVScroll));
  automation::drainMessages();
  Window* bar = list.children().front();
  automation::mouseDown(*bar, {5, 98});  // the down arrow
  automation::mouseUp(*bar, {5, 98});
  automation::drainMessages();
  EXPECT_EQ(list.topIndex(), 1);
  EXPECT_EQ(list.rowRect(1).top, 0);
  list.ensureVisible(9);
  EXPECT_LE(list.rowRect(9).bottom, 100);
  EXPECT_EQ(list.topIndex(), 5) << "as little scrolling as shows the row";
  list.ensureVisible(0);
  EXPECT_EQ(list.topIndex(), 0);
}

TEST_F(ControlsTest, RadioGroupsEndAtTheNextGroupStart) {
  RadioButton a, b, c, d;
  CreateParams pa = controlParams(parent, 1, {0, 0, 80, 16}, "A");
  pa.style |= kWsGroup;
  ASSERT_TRUE(a.create(pa));
  ASSERT_TRUE(b.create(controlParams(parent, 2, {0, 20, 80, 36}, "B")));
  CreateParams pc = controlParams(parent, 3, {0, 40, 80, 56}, "C");
  pc.style |= kWsGroup;
  ASSERT_TRUE(c.create(pc));
  ASSERT_TRUE(d.create(controlParams(parent, 4, {0, 60, 80, 76}, "D")));
  c.check();
  automation::mouseDown(b, {2, 2});
  automation::mouseUp(b, {2, 2});
  automation::drainMessages();
  EXPECT_TRUE(b.isChecked());
  EXPECT_FALSE(a.isChecked());
  EXPECT_TRUE(c.isChecked()) << "another group is left alone";
  ASSERT_NE(parent.last(kWmCommand), nullptr);
  EXPECT_EQ(lowWord(parent.last(kWmCommand)->wParam), 2u);
}

TEST_F(ControlsTest, ButtonsClickOnlyWhenReleasedOverThemAndNumberFieldsTakeDigits) {
  PushButton button;
  ASSERT_TRUE(button.create(controlParams(parent, 119, {10, 10, 33, 27})));
  automation::mouseDown(button, {5, 5});
  automation::mouseMove(button, {50, 50});
  automation::mouseUp(button, {50, 50});
  automation::drainMessages();
  EXPECT_EQ(parent.count(kWmCommand), 0) << "released elsewhere: no click";
  automation::mouseDown(button, {5, 5});
  automation::mouseUp(button, {6, 6});
  automation::drainMessages();
  EXPECT_EQ(parent.count(kWmCommand), 1);

  NumberField field;
  ASSERT_TRUE(field.create(controlParams(parent, 9, {0, 100, 60, 120})));
  field.setFocus();
  for (uint32_t key : {uint32_t{'1'}, uint32_t{'A'}, uint32_t{'2'}, uint32_t{kVkBack}, uint32_t{'5'}}) automation::keyPress(key);
  automation::drainMessages();
  long value = 0;
  ASSERT_TRUE(field.integer(value)) << field.text();
  EXPECT_EQ(value, 15);
  field.setText("99999999999999999999");
  EXPECT_FALSE(field.integer(value)) << "too large to hold";
}

// Black pixels per row of a framebuffer (text drawn in black on white).
std::vector<int> inkRows(const Framebuffer& fb) {
  std::vector<int> rows(static_cast<size_t>(fb.height()));
  for (int32_t y = 0; y < fb.height(); ++y)
    for (int32_t x = 0; x < fb.width(); ++x) rows[static_cast<size_t>(y)] += fb.pixel(x, y) == rgb(0, 0, 0) ? 1 : 0;
  return rows;
}

TEST(ControlText, AMarkedLetterIsUnderlinedAndTheMarkNotDrawn) {
  auto draw = [](const char* text, unsigned extra) {
    Framebuffer fb(80, 24);
    DeviceContext dc(fb);
    dc.setTextColour(rgb(0, 0, 0));
    dc.setBkMode(kBkTransparent);
    dc.drawText({2, 2, 78, 22}, text, kDtLeft | kDtSingleLine | extra);
    return fb;
  };
  const std::vector<int> plain = inkRows(draw("Path", 0));
  const std::vector<int> marked = inkRows(draw("&Path", 0));
  const std::vector<int> literal = inkRows(draw("&Path", kDtNoPrefix));
  int underlined = 0;
  for (size_t y = 0; y < plain.size(); ++y) {
    // Only the underline's row may differ, and it has more ink.
    if (marked[y] != plain[y]) {
      EXPECT_GT(marked[y], plain[y] + 2) << "row " << y;
      ++underlined;
    }
  }
  EXPECT_GE(underlined, 1) << "the P is underlined";
  EXPECT_LE(underlined, 2);
  int plainInk = 0, literalInk = 0;
  for (size_t y = 0; y < plain.size(); ++y) plainInk += plain[y], literalInk += literal[y];
  EXPECT_GT(literalInk, plainInk + 10) << "without prefix processing the & is drawn";
}

TEST_F(ControlsTest, ScrollBarArrowsShowTheirGlyphsGreyedWhenDisabled) {
  ScrollBar bar(true);
  ASSERT_TRUE(bar.create(controlParams(parent, 5, {0, 0, 17, 200})));
  bar.setInfo({kSifAll, 0, 100, 10, 0, 0});
  automation::drainMessages();
  auto count = [&](Colour c, int32_t top, int32_t bottom) {
    int n = 0;
    for (int32_t y = top; y < bottom; ++y)
      for (int32_t x = 0; x < 17; ++x) n += bar.framebuffer().pixel(x, y) == c ? 1 : 0;
    return n;
  };
  EXPECT_GE(count(systemColour(kColourBtnText), 2, 15), 6) << "the up arrow";
  EXPECT_GE(count(systemColour(kColourBtnText), 185, 198), 6) << "the down arrow";
  bar.setInfo({kSifAll | kSifDisableNoScroll, 0, 5, 10, 0, 0});
  EXPECT_FALSE(bar.isEnabled());
  automation::drainMessages();
  EXPECT_EQ(count(systemColour(kColourBtnText), 2, 15), 0);
  EXPECT_GE(count(systemColour(kColourGrayText), 2, 15), 6) << "a disabled arrow is grey";
  EXPECT_EQ(count(systemColour(kColour3dLight), 17, 183), 0) << "a disabled track is plain";
}

}  // namespace
}  // namespace platform
