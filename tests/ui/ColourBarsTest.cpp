// The keep and drop bars driven by scripted pointer input as a user would:
// clicks on swatches and set columns, colours and sets dragged within and
// between the lists and onto the delete button, and the inverted insertion
// mark that shows where a drop would go.
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "display/CTool.h"
#include "hostapi/HostTypes.h"
#include "platform/Automation.h"
#include "platform/Cursor.h"
#include "platform/FrameWindow.h"
#include "platform/Message.h"
#include "platform/SystemMetrics.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "tests/support/AutomatedTest.h"
#include "tools/CEyedropperTool.h"
#include "tools/ColourList.h"
#include "ui/CKeepDropBar.h"

namespace {

using platform::Point;
using platform::Rect;
namespace automation = platform::automation;

ColourEntry grey(uint8_t value) { return ColourEntry::Picked({1, kHostModeGrayScale}, &value); }

// The first channel of every row, 0 for an empty entry.
std::vector<int> values(const ColourList& list) {
  std::vector<int> v;
  for (const ColourList::Row& row : list.rows()) v.push_back(row.entry.IsColour() ? row.entry.channels[0] : 0);
  return v;
}

// How many rows each set has, in order.
std::vector<int> setSizes(const ColourList& list) {
  std::vector<int> sizes;
  for (int row = 0; row < list.RowCount(); row = list.SetLastRow(row) + 1)
    sizes.push_back(list.SetLastRow(row) - row + 1);
  return sizes;
}

std::vector<bool> setSelection(const ColourList& list) {
  std::vector<bool> selected;
  for (int row = 0; row < list.RowCount(); row = list.SetLastRow(row) + 1) selected.push_back(list.RowAt(row).selected);
  return selected;
}

Point centre(const Rect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

class ColourBarsTest : public testing_support::AutomatedTest {
 protected:
  void SetUp() override {
    AutomatedTest::SetUp();
    ResetToolStack();
    ASSERT_TRUE(frame_.loadFrame(0, platform::kWsOverlappedWindow, nullptr, "frame", {0, 0, 800, 600}));
    frame_.show(platform::kSwShowNormal);  // what is dropped on it goes nowhere
    ASSERT_TRUE(keepBar_.CreateKeepDropBar(frame_, kCmdKeepColours));
    ASSERT_TRUE(dropBar_.CreateKeepDropBar(frame_, kCmdDropColours));
    // Clear of the frame, which pointer input would hit first, and tall
    // enough to show every row.
    for (CKeepDropBar* bar : {&keepBar_, &dropBar_}) {
      frame_.showControlBar(*bar, true, false);
      bar->setBarSize({CKeepDropBar::Width(), 300});
    }
    keepBar_.floatAt({900, 100});
    dropBar_.floatAt({1100, 100});
    automation::drainMessages();
  }
  void TearDown() override {
    frame_.destroy();
    ResetToolStack();
    AutomatedTest::TearDown();
  }

  CColourListBox& keepBox() { return keepBar_.ColourListBox(); }
  CColourListBox& dropBox() { return dropBar_.ColourListBox(); }

  // Replaces the list's rows by sets of grey values, each selected or not.
  static void fill(ColourList& list, const std::vector<std::vector<uint8_t>>& sets,
                   const std::vector<bool>& selected = {}) {
    list.BeginLoad();
    list.EndLoad();
    const int32_t emptySet = list.RowAt(0).key;
    for (size_t s = 0; s < sets.size(); ++s) {
      ColourSetBlock block{s < selected.size() ? selected[s] : true, {}};
      for (uint8_t v : sets[s]) block.entries.push_back(grey(v));
      list.InsertSet(-1, block, true);
    }
    list.DeleteSet(emptySet);
    list.MakeCurrent(0);
    automation::drainMessages();
  }

  // A pointer position over `box` at which a drop goes to `index`.
  static Point pointerFor(const CColourListBox& box, int index) {
    const int count = box.List().RowCount();
    Point p{40, index == 0 ? 0 : index < count ? box.rowRect(index).top + 2 - CColourListBox::kDropLookBelow
                                               : box.rowRect(count - 1).bottom - 3};
    EXPECT_EQ(box.DropIndexAt(p), index);
    return p;
  }

  static Point setColumn(const CColourListBox& box, int row) { return {10, box.rowRect(row).top + 9}; }
  static Point swatch(const CColourListBox& box, int row) { return centre(box.SwatchCell(row)); }

  // Presses at `from`, moves along `path` (each point in its window's
  // client pixels) and releases at the last point; with Ctrl held
  // throughout when asked.
  static void drag(platform::Window& source, Point from, const std::vector<std::pair<platform::Window*, Point>>& path,
                   bool ctrl = false) {
    if (ctrl) automation::keyDown(platform::kVkControl);
    automation::mouseDown(source, from);
    for (const auto& [window, point] : path) automation::mouseMove(*window, point);
    automation::mouseUp(*path.back().first, path.back().second);
    automation::drainMessages();
    if (ctrl) automation::keyUp(platform::kVkControl);
    automation::drainMessages();
  }
  static void click(platform::Window& window, Point at, bool shift = false) {
    if (shift) automation::keyDown(platform::kVkShift);
    automation::mouseDown(window, at);
    automation::mouseUp(window, at);
    automation::drainMessages();
    if (shift) automation::keyUp(platform::kVkShift);
    automation::drainMessages();
  }

  ColourList keep_{true, WorkspaceParticipant::Registration::kStandalone};
  ColourList drop_{false, WorkspaceParticipant::Registration::kStandalone};
  platform::FrameWindow frame_;
  CKeepDropBar keepBar_{keep_, kStrKeep, {173, 185}};
  CKeepDropBar dropBar_{drop_, kStrDrop, {182, 184}};
};

// ---- Layout ----

TEST_F(ColourBarsTest, TheBarIsAsWideAsItsRowsAndAtLeast80High) {
  const int32_t width = platform::systemMetric(platform::kSmCxVScroll) + 73;
  EXPECT_EQ(CKeepDropBar::Width(), width);
  EXPECT_EQ(keepBar_.calcDynamicSize(400, platform::kLmHorz).cx, width) << "the width is not the user's";
  EXPECT_EQ(keepBar_.calcDynamicSize(30, platform::kLmLengthIsHeight).cy, 80);
  EXPECT_EQ(keepBar_.calcDynamicSize(500, platform::kLmLengthIsHeight).cy, 500);
  EXPECT_EQ(keepBar_.calcDynamicSize(500, platform::kLmLengthIsHeight | platform::kLmVertDock).cy, 240);

  keepBar_.setBarSize({width, 92});
  automation::drainMessages();
  EXPECT_EQ(keepBox().windowRect(), keepBar_.clientRectToScreen({3, 3, width - 3, 73}));
  const int ids[] = {CKeepDropBar::kNewSetButton, CKeepDropBar::kNewColourButton, CKeepDropBar::kDeleteButton};
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(keepBar_.Button(ids[i]).windowRect(), keepBar_.clientRectToScreen({3 + 22 * i, 72, 26 + 22 * i, 89}));
  EXPECT_EQ(keepBar_.title(), "Keep");
  EXPECT_EQ(keepBox().title(), "Keep") << "scripts aim at the list by the bar's name";

  // Rows are 19 high, a set's last row 20.
  fill(keep_, {{1, 2}, {3}});
  EXPECT_EQ(keepBox().rowHeight(0), 19);
  EXPECT_EQ(keepBox().rowHeight(1), 20);
  EXPECT_EQ(keepBox().rowHeight(2), 20);
}

// ---- Clicking ----

TEST_F(ColourBarsTest, AClickOnASwatchMakesItCurrentForTheListsEyedropper) {
  fill(drop_, {{10, 20}, {30}});
  click(dropBox(), swatch(dropBox(), 2));
  EXPECT_EQ(drop_.currentRow(), 2);
  EXPECT_EQ(ActiveTool(), &TheDropEyedropper());

  // Pressed, dragged off to nowhere and released there: nothing happens.
  drag(dropBox(), swatch(dropBox(), 1), {{&dropBox(), {40, 250}}, {&frame_, {400, 300}}});
  EXPECT_EQ(drop_.currentRow(), 2);
  EXPECT_EQ(values(drop_), (std::vector<int>{10, 20, 30}));
}

TEST_F(ColourBarsTest, SetColumnClicksSelectOneSetOrWithShiftToggleIt) {
  // Sets of rows 0-1, 2 and 3-4.
  fill(keep_, {{1, 2}, {3}, {4, 5}}, {true, false, true});
  // Held down, the set is drawn sunken.
  bool sunkenWhileHeld = false;
  automation::mouseDown(keepBox(), setColumn(keepBox(), 2));
  automation::queueStep([&] {
    sunkenWhileHeld = keepBox().PressedSetRow() == 2;
    automation::mouseUp(keepBox(), setColumn(keepBox(), 2));
  });
  automation::drainMessages();
  EXPECT_TRUE(sunkenWhileHeld);
  EXPECT_EQ(keepBox().PressedSetRow(), -1);
  EXPECT_EQ(setSelection(keep_), (std::vector<bool>{false, true, false})) << "an unselected set becomes the only one";

  click(keepBox(), setColumn(keepBox(), 2));
  EXPECT_EQ(setSelection(keep_), (std::vector<bool>{false, false, false})) << "clicked again, it is deselected";

  click(keepBox(), setColumn(keepBox(), 3), true);
  click(keepBox(), setColumn(keepBox(), 0), true);
  EXPECT_EQ(setSelection(keep_), (std::vector<bool>{true, false, true})) << "Shift toggles one set alone";
  click(keepBox(), setColumn(keepBox(), 4), true);
  EXPECT_EQ(setSelection(keep_), (std::vector<bool>{true, false, false})) << "any row of a set stands for it";

  // Only the set columns are drawn again for a selection change.
  click(keepBox(), setColumn(keepBox(), 2), true);
  keepBox().updateNow();
  (void)keepBox().framebuffer().takeDirtyRect();
  click(keepBox(), setColumn(keepBox(), 2), true);
  keepBox().updateNow();
  EXPECT_EQ(setSelection(keep_), (std::vector<bool>{true, false, false}));
  const Rect drawn = keepBox().framebuffer().takeDirtyRect();
  EXPECT_FALSE(drawn.isEmpty());
  EXPECT_LE(drawn.right, CColourListBox::kSwatchLeft);
}

TEST_F(ColourBarsTest, TheButtonsAddASetGoToAnEmptySlotAndDeleteTheCurrentRow) {
  fill(keep_, {{1, 2}, {3}}, {true, true});
  click(keepBar_.Button(CKeepDropBar::kNewSetButton), {5, 5});
  EXPECT_EQ(setSizes(keep_), (std::vector<int>{2, 1, 1}));
  EXPECT_EQ(setSelection(keep_), (std::vector<bool>{false, false, true})) << "a new set is selected, alone";
  EXPECT_EQ(keep_.currentRow(), 3);
  EXPECT_EQ(ActiveTool(), &TheKeepEyedropper());

  keep_.MakeCurrent(1);
  click(keepBar_.Button(CKeepDropBar::kNewColourButton), {5, 5});
  EXPECT_EQ(values(keep_), (std::vector<int>{1, 2, 0, 3, 0}));
  EXPECT_EQ(keep_.currentRow(), 2) << "the new empty slot ends the current set";

  click(keepBar_.Button(CKeepDropBar::kDeleteButton), {5, 5});
  EXPECT_EQ(values(keep_), (std::vector<int>{1, 2, 3, 0}));
  keep_.MakeCurrent(-1);
  click(keepBar_.Button(CKeepDropBar::kDeleteButton), {5, 5});
  EXPECT_EQ(values(keep_), (std::vector<int>{1, 2, 3, 0})) << "without a current row nothing is deleted";
  EXPECT_EQ(keep_.currentRow(), 0);
}

// Deleting rows of a list scrolled to its end brings rows above back into
// view rather than leaving the space under the last row empty.
TEST_F(ColourBarsTest, AScrolledListShowsAsManyRowsAsFit) {
  std::vector<std::vector<uint8_t>> sets;
  for (uint8_t v = 1; v <= 20; ++v) sets.push_back({v});
  fill(keep_, sets);
  keep_.MakeCurrent(19);
  const int32_t height = keepBox().clientRect().height();
  EXPECT_GT(keepBox().topIndex(), 0);
  EXPECT_LE(keepBox().rowRect(19).bottom, height) << "the current row is shown";
  for (int i = 0; i < 12; ++i) click(keepBar_.Button(CKeepDropBar::kDeleteButton), {5, 5});
  ASSERT_EQ(keep_.RowCount(), 8);
  EXPECT_EQ(keepBox().topIndex(), 0);
}

// ---- Dragging colours ----

// Every colour moved to every place within its list ends up there, once,
// in the set it was dropped into; the others keep their order and sets.
TEST_F(ColourBarsTest, AColourMovedWithinItsListIsThereExactlyOnce) {
  const std::vector<std::vector<uint8_t>> sets{{1, 2}, {3, 4, 5}};
  for (int source = 0; source < 5; ++source) {
    for (int index = 0; index <= 5; ++index) {
      fill(keep_, sets);
      // The expected list: each row's value and its set (by the value of
      // the set's first row).
      std::vector<std::pair<int, int>> rows{{1, 1}, {2, 1}, {3, 3}, {4, 3}, {5, 3}};
      const int setAt = index < 5 ? rows[static_cast<size_t>(index)].second : 3;
      rows.insert(rows.begin() + index, {rows[static_cast<size_t>(source)].first, setAt});
      rows.erase(rows.begin() + (index <= source ? source + 1 : source));

      drag(keepBox(), swatch(keepBox(), source), {{&keepBox(), {40, 250}}, {&keepBox(), pointerFor(keepBox(), index)}});
      std::vector<int> expectedValues, expectedSets;
      for (const auto& r : rows) expectedValues.push_back(r.first);
      for (const auto& r : rows) expectedSets.push_back(r.second);
      ASSERT_EQ(values(keep_), expectedValues) << "row " << source << " to " << index;
      // Each row is in the set of the row before it exactly when expected.
      for (int row = 0; row < 5; ++row)
        ASSERT_EQ(keep_.RowAt(row).key == keep_.RowAt(row == 0 ? 0 : row - 1).key,
                  row == 0 || expectedSets[static_cast<size_t>(row)] == expectedSets[static_cast<size_t>(row - 1)])
            << "row " << source << " to " << index << ": sets at row " << row;
    }
  }
}

TEST_F(ColourBarsTest, CtrlCopiesAColourToTheOtherListButASetIsAlwaysMoved) {
  fill(keep_, {{1, 2}});
  fill(drop_, {{7}});
  drag(keepBox(), swatch(keepBox(), 1), {{&keepBox(), {40, 250}}, {&dropBox(), pointerFor(dropBox(), 0)}}, true);
  EXPECT_EQ(values(keep_), (std::vector<int>{1, 2})) << "copied, not moved";
  EXPECT_EQ(values(drop_), (std::vector<int>{2, 7}));
  EXPECT_EQ(setSizes(drop_), (std::vector<int>{2}));

  // Below the last row a colour makes a set of its own, selected.
  fill(drop_, {{7}}, {false});
  const Point below{40, dropBox().rowRect(0).bottom + 30};
  drag(keepBox(), swatch(keepBox(), 0), {{&keepBox(), {40, 250}}, {&dropBox(), below}});
  EXPECT_EQ(values(keep_), (std::vector<int>{2}));
  EXPECT_EQ(values(drop_), (std::vector<int>{7, 1}));
  EXPECT_EQ(setSelection(drop_), (std::vector<bool>{false, true}));

  fill(keep_, {{1, 2}, {3}});
  drag(keepBox(), setColumn(keepBox(), 0), {{&keepBox(), {40, 250}}, {&dropBox(), pointerFor(dropBox(), 2)}}, true);
  EXPECT_EQ(values(keep_), (std::vector<int>{3})) << "Ctrl or not, a set moves";
  EXPECT_EQ(values(drop_), (std::vector<int>{7, 1, 1, 2}));
  EXPECT_EQ(setSizes(drop_), (std::vector<int>{1, 1, 2}));
}

// ---- Dragging sets ----

TEST_F(ColourBarsTest, ASetGoesOnlyWhereASetBeginsOrEnds) {
  fill(keep_, {{1, 2, 3}, {4, 5}});
  fill(drop_, {{8}}, {false});
  std::vector<int> marks;
  uint32_t cursorMidSet = 0, cursorAtSetStart = 0;
  automation::mouseDown(dropBox(), setColumn(dropBox(), 0));
  automation::mouseMove(dropBox(), {40, 250});
  automation::mouseMove(keepBox(), pointerFor(keepBox(), 1));  // inside the first set
  automation::queueStep([&] {
    marks.push_back(keepBox().MarkedIndex());
    cursorMidSet = static_cast<uint32_t>(platform::currentCursor().id);
    automation::mouseMove(keepBox(), pointerFor(keepBox(), 3));  // where the second set begins
  });
  automation::queueStep([&] {
    marks.push_back(keepBox().MarkedIndex());
    cursorAtSetStart = static_cast<uint32_t>(platform::currentCursor().id);
    automation::mouseMove(keepBox(), pointerFor(keepBox(), 4));
  });
  automation::queueStep([&] {
    marks.push_back(keepBox().MarkedIndex());
    automation::mouseUp(keepBox(), pointerFor(keepBox(), 4));
  });
  automation::drainMessages();
  EXPECT_EQ(marks, (std::vector<int>{-1, 3, -1}));
  EXPECT_EQ(cursorMidSet, static_cast<uint32_t>(platform::kIdcNo));
  EXPECT_EQ(cursorAtSetStart, static_cast<uint32_t>(platform::kIdcDragMove));
  EXPECT_EQ(values(keep_), (std::vector<int>{1, 2, 3, 4, 5})) << "refused in the middle of a set";
  EXPECT_EQ(values(drop_), (std::vector<int>{8}));

  drag(dropBox(), setColumn(dropBox(), 0), {{&dropBox(), {40, 250}}, {&keepBox(), pointerFor(keepBox(), 3)}});
  EXPECT_EQ(values(keep_), (std::vector<int>{1, 2, 3, 8, 4, 5}));
  EXPECT_EQ(setSizes(keep_), (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(setSelection(keep_), (std::vector<bool>{true, false, true})) << "an unselected set comes as it was";
  EXPECT_EQ(values(drop_), (std::vector<int>{0})) << "the emptied list gets an empty set";
}

// A press on a set held until the drag starts, then released on the set's
// own place, moves nothing: it is a click.
TEST_F(ColourBarsTest, ASetReleasedWhereItCameFromIsAClick) {
  fill(keep_, {{1, 2}, {3}}, {false, true});
  const int32_t key = keep_.RowAt(0).key;
  // Each input comes 100 ms after the one before: the drag starts while
  // the pointer is still over the set.
  automation::setInputInterval(100);
  automation::mouseDown(keepBox(), setColumn(keepBox(), 0));
  for (int i = 0; i < 3; ++i) automation::queueStep([&] { automation::mouseMove(keepBox(), setColumn(keepBox(), 0)); });
  automation::queueStep([&] { automation::mouseUp(keepBox(), {12, keepBox().rowRect(0).top + 4}); });
  automation::drainMessages();
  automation::setInputInterval(0);
  EXPECT_EQ(keep_.RowAt(0).key, key) << "the set stayed as it was";
  EXPECT_EQ(setSelection(keep_), (std::vector<bool>{true, false}));
}

// ---- The delete button ----

TEST_F(ColourBarsTest, WhatIsDroppedOnTheDeleteButtonIsDeleted) {
  fill(keep_, {{1, 2}, {3, 4}});
  platform::PushButton& bin = dropBar_.Button(CKeepDropBar::kDeleteButton);
  bool pressedOver = false;
  automation::mouseDown(keepBox(), swatch(keepBox(), 1));
  automation::mouseMove(keepBox(), {40, 250});
  automation::mouseMove(bin, {10, 8});
  automation::queueStep([&] {
    pressedOver = bin.isPressed();
    automation::mouseUp(bin, {11, 8});
  });
  automation::drainMessages();
  EXPECT_TRUE(pressedOver);
  EXPECT_FALSE(bin.isPressed());
  EXPECT_EQ(values(keep_), (std::vector<int>{1, 3, 4}));

  drag(keepBox(), setColumn(keepBox(), 2), {{&keepBox(), {40, 250}}, {&keepBar_.Button(CKeepDropBar::kDeleteButton), {10, 8}}});
  EXPECT_EQ(values(keep_), (std::vector<int>{1}));

  // Data of neither format is refused.
  platform::DataObject foreign;
  foreign.set(platform::registerClipboardFormat("Something Else"), {1, 2, 3});
  automation::mouseDown(keepBox(), {40, 250});
  automation::drainMessages();
  automation::mouseMove(bin, {10, 8});
  automation::mouseUp(bin, {10, 8});
  EXPECT_EQ(platform::doDragDrop(foreign, platform::kDropEffectMove | platform::kDropEffectCopy),
            platform::kDropEffectNone);
  EXPECT_FALSE(bin.isPressed());
}

// ---- The insertion mark ----

// While a drag is over the list, its pixels differ from the list's by
// exactly the inverted mark; repainting under the mark keeps it; leaving
// the list gives back every pixel.
TEST_F(ColourBarsTest, TheInsertionMarkIsExactlyInvertedAndLeavesNoTrace) {
  fill(keep_, {{1, 2}, {3}});
  fill(drop_, {{9}, {8}});
  keepBox().updateNow();
  const platform::Framebuffer clean = keepBox().framebuffer();
  const Rect all = clean.bounds();

  // Pixels inverted against the clean list, counted; -1 when some pixel is
  // neither the same nor inverted.
  const auto inverted = [&](const CColourListBox::InsertionMark& mark) {
    const platform::Framebuffer now = keepBox().framebuffer();
    int count = 0;
    for (int32_t y = all.top; y < all.bottom; ++y)
      for (int32_t x = all.left; x < all.right; ++x) {
        const uint32_t a = clean.pixel(x, y), b = now.pixel(x, y);
        const bool flipped = (a ^ b) == 0x00FFFFFFu;
        if (!flipped && a != b) return -1;
        const Point p{x, y};
        if (flipped != (mark.bar.contains(p) || mark.leftTick.contains(p) || mark.rightTick.contains(p))) return -2;
        count += flipped ? 1 : 0;
      }
    return count;
  };
  std::vector<int> counts;
  std::vector<Rect> bars;
  const auto check = [&](int index, CColourListBox::DragKind kind) {
    const CColourListBox::InsertionMark mark = keepBox().InsertionMarkAt(index, kind);
    bars.push_back(mark.bar);
    counts.push_back(keepBox().MarkedIndex() == index ? inverted(mark) : -3);
  };

  automation::mouseDown(dropBox(), swatch(dropBox(), 0));
  automation::mouseMove(dropBox(), {40, 250});
  automation::mouseMove(keepBox(), pointerFor(keepBox(), 1));
  automation::queueStep([&] {
    check(1, CColourListBox::DragKind::kColour);
    keepBox().invalidate();
    keepBox().updateNow();
    check(1, CColourListBox::DragKind::kColour);
    automation::mouseMove(keepBox(), pointerFor(keepBox(), 3));
  });
  automation::queueStep([&] {
    check(3, CColourListBox::DragKind::kColour);
    automation::mouseMove(frame_, {400, 300});
  });
  automation::queueStep([&] {
    counts.push_back(keepBox().framebuffer().samePixels(clean) ? 0 : -4);
    automation::mouseUp(frame_, {400, 300});
  });
  automation::drainMessages();

  const int32_t width = keepBox().rowWidth() - CColourListBox::kSwatchLeft;
  // The bar 3 pixels high and the two ticks of 2 under its ends.
  const int markPixels = 3 * width + 2 * 2;
  EXPECT_EQ(counts, (std::vector<int>{markPixels, markPixels, markPixels, 0}));
  ASSERT_EQ(bars.size(), 3u);
  EXPECT_EQ(bars[0].top, keepBox().rowRect(1).top - 2) << "from 2 pixels above the row's top";
  EXPECT_EQ(bars[2].top, keepBox().rowRect(2).bottom - 2) << "at the end, around the last row's bottom";
  EXPECT_EQ(keepBox().InsertionMarkAt(1, CColourListBox::DragKind::kColourSet).bar.left, 0) << "a set's spans the list";
  EXPECT_EQ(values(keep_), (std::vector<int>{1, 2, 3})) << "nothing dropped outside the list";
}

}  // namespace
