#include "platform/DragDrop.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/Controls.h"
#include "platform/Cursor.h"
#include "platform/MessageQueue.h"
#include "tests/platform/TestWindows.h"
#include "tests/support/AutomatedTest.h"

namespace platform {
namespace {

namespace automation = platform::automation;

class ListTarget : public DropTarget {
 public:
  uint32_t format;
  std::vector<std::string> events;
  std::vector<uint8_t> dropped;

  explicit ListTarget(uint32_t f) : format(f) {}

  uint32_t effectFor(const DataObject& data, uint32_t keyState) const {
    if (!data.has(format)) return kDropEffectNone;
    return (keyState & kMkControl) ? kDropEffectCopy : kDropEffectMove;
  }
  uint32_t dragEnter(Window&, const DataObject& data, uint32_t keyState, Point, uint32_t) override {
    events.push_back("enter");
    return effectFor(data, keyState);
  }
  uint32_t dragOver(Window&, const DataObject& data, uint32_t keyState, Point, uint32_t) override {
    events.push_back("over");
    return effectFor(data, keyState);
  }
  void dragLeave(Window&) override { events.push_back("leave"); }
  uint32_t drop(Window&, const DataObject& data, uint32_t keyState, Point, uint32_t) override {
    events.push_back("drop");
    dropped = *data.data(format);
    return effectFor(data, keyState);
  }
};

class DragDropTest : public testing_support::AutomatedTest {
 protected:
  void SetUp() override {
    AutomatedTest::SetUp();
    CreateParams p = testing::topLevel({0, 0, 400, 200});
    p.style = kWsPopup | kWsVisible;
    ASSERT_TRUE(frame.create(p));
    ASSERT_TRUE(source.create(testing::child(frame, {0, 0, 150, 200}, 1)));
    ASSERT_TRUE(target.create(testing::child(frame, {250, 0, 400, 200}, 2)));
    automation::drainMessages();
  }
  testing::RecordingWindow frame, source, target;
  const uint32_t colour = registerClipboardFormat("Corvane Tessaly Colour");
  const uint32_t colourSet = registerClipboardFormat("Corvane Tessaly ColourSet");
};

TEST_F(DragDropTest, FormatsAreNumberedByName) {
  EXPECT_GE(colour, 0xC000u);
  EXPECT_NE(colour, colourSet);
  EXPECT_EQ(registerClipboardFormat("Corvane Tessaly Colour"), colour);
  EXPECT_EQ(clipboardFormatName(colourSet), "Corvane Tessaly ColourSet");
  EXPECT_EQ(registerClipboardFormat(""), 0u);
}

TEST_F(DragDropTest, DraggingBetweenTwoWindowsMovesOrWithCtrlCopies) {
  ListTarget drop(colour);
  ASSERT_TRUE(registerDropTarget(target, drop));
  DataObject data;
  data.set(colour, {1, 2, 3, 4, 5, 6, 7, 8});
  for (const bool withCtrl : {false, true}) {
    drop.events.clear();
    automation::mouseDown(source, {20, 20});
    automation::drainMessages();
    if (withCtrl) automation::keyDown(kVkControl);
    automation::mouseMove(source, {60, 20});   // leaves the start square: the drag begins
    automation::mouseMove(target, {10, 20});   // over the target
    automation::mouseMove(target, {12, 30});
    automation::mouseUp(target, {12, 30});
    const uint32_t effect = doDragDrop(data, kDropEffectCopy | kDropEffectMove);
    if (withCtrl) automation::keyUp(kVkControl);
    EXPECT_EQ(effect, withCtrl ? kDropEffectCopy : kDropEffectMove);
    EXPECT_EQ(drop.events, (std::vector<std::string>{"enter", "over", "over", "drop"}));
    EXPECT_EQ(drop.dropped, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  }
}

TEST_F(DragDropTest, ReleasingInsideTheStartRectangleIsNoDrag) {
  ListTarget drop(colour);
  registerDropTarget(target, drop);
  DataObject data;
  data.set(colour, {1});
  automation::mouseDown(source, {20, 20});
  automation::mouseMove(source, {21, 21});
  automation::mouseUp(source, {21, 21});
  automation::drainMessages();
  const Rect start = source.clientRectToScreen({0, 0, 50, 50});
  EXPECT_EQ(doDragDrop(data, kDropEffectMove, &start, 100000), kDropEffectNone);
  EXPECT_TRUE(drop.events.empty());
}

TEST_F(DragDropTest, ForeignDataGetsNoEffectAndEscapeCancels) {
  ListTarget drop(colourSet);  // accepts only sets
  registerDropTarget(target, drop);
  DataObject data;
  data.set(colour, {1});
  automation::mouseDown(source, {20, 20});
  automation::drainMessages();
  automation::mouseMove(target, {10, 10});
  automation::mouseUp(target, {10, 10});
  EXPECT_EQ(doDragDrop(data, kDropEffectMove), kDropEffectNone);
  EXPECT_EQ(drop.events, (std::vector<std::string>{"enter", "over", "leave"})) << "no drop without an effect";

  drop.events.clear();
  ListTarget accepting(colour);
  registerDropTarget(target, accepting);
  automation::mouseDown(source, {20, 20});
  automation::drainMessages();
  automation::mouseMove(target, {10, 10});
  automation::keyDown(kVkEscape);
  EXPECT_EQ(doDragDrop(data, kDropEffectMove), kDropEffectNone);
  EXPECT_EQ(accepting.events, (std::vector<std::string>{"enter", "leave"}));
  revokeDropTarget(target);
}

// The pointer shows what a drop would do where it is: move, copy with Ctrl,
// refused outside any target; and the shape from before comes back.
TEST_F(DragDropTest, TheCursorShowsWhatADropWouldDo) {
  ListTarget drop(colour);
  registerDropTarget(target, drop);
  DataObject data;
  data.set(colour, {1});
  setCursor(loadSystemCursor(kIdcCross));
  std::vector<int> shapes;
  const auto record = [&shapes](std::function<void()> next) {
    automation::queueStep([&shapes, next] {
      shapes.push_back(currentCursor().id);
      next();
    });
  };
  automation::mouseDown(source, {20, 20});
  automation::drainMessages();
  automation::mouseMove(target, {10, 20});
  record([this] {
    automation::keyDown(kVkControl);
    automation::mouseMove(target, {12, 20});
  });
  record([this] {
    automation::keyUp(kVkControl);
    automation::mouseMove(source, {20, 60});
  });
  record([this] { automation::mouseUp(source, {20, 60}); });
  EXPECT_EQ(doDragDrop(data, kDropEffectCopy | kDropEffectMove), kDropEffectNone);
  EXPECT_EQ(shapes, (std::vector<int>{kIdcDragMove, kIdcDragCopy, kIdcNo}));
  EXPECT_EQ(currentCursor().id, kIdcCross);
  revokeDropTarget(target);
}

}  // namespace
}  // namespace platform
