#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Application.h"
#include "platform/DeviceContext.h"
#include "platform/Dialog.h"
#include "platform/Framebuffer.h"
#include "platform/SystemMetrics.h"
#include "platform/internal/Backend.h"
#include "platform/FileDialog.h"
#include "platform/FrameWindow.h"
#include "platform/MessageQueue.h"
#include "platform/Resources.h"
#include "tests/platform/TestWindows.h"
#include "tests/support/AutomatedTest.h"

namespace platform {
namespace {

namespace automation = platform::automation;

constexpr int kFrameResource = 9001;
constexpr uint32_t kCmdSave = 0x8004;
constexpr uint32_t kCmdNew = 0x800B;
constexpr uint32_t kCmdToggleBar = 0x800F;
constexpr uint32_t kCmdExit = 0xE141;

void registerFrameResources() {
  resources::registerMenu(kFrameResource, {{"&File", 0, {{"&Save/Apply...\tCtrl+S", kCmdSave, {}}, {}, {"E&xit\tCtrl+Q", kCmdExit, {}}}},
                                           {"&Window", 0, {{"&New Navigator\tCtrl+N", kCmdNew, {}}, {"&Toolbox", kCmdToggleBar, {}}}}});
  resources::registerAccelerators(kFrameResource, {{kFVirtKey | kFControl, 'N', kCmdNew},
                                                   {kFVirtKey | kFControl, 'S', kCmdSave},
                                                   {kFVirtKey | kFControl, 'Q', kCmdExit}});
}

class TestBar : public ControlBar {
 public:
  Size calcDynamicSize(int length, unsigned) override { return {60, std::max(80, length)}; }
};

class TestFrame : public FrameWindow {
 public:
  int saves = 0, news = 0;
  bool newEnabled = true;
  TestBar bar;

  bool onCommand(uint32_t id) override {
    if (id == kCmdSave) return ++saves, true;
    if (id == kCmdNew) return ++news, true;
    if (id == kCmdToggleBar) return showControlBar(bar, !bar.isBarVisible(), true), true;
    if (id == kCmdExit) return destroy(), true;
    return false;
  }
  bool onUpdateCommand(CommandUpdate& u) override {
    if (u.id == kCmdNew) return u.enable(newEnabled), true;
    if (u.id == kCmdToggleBar) return u.setCheck(bar.isBarVisible()), true;
    return false;
  }

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (message == kWmCreate) {
      if (FrameWindow::handleMessage(message, wParam, lParam) != 0) return -1;
      if (!bar.createBar(*this, "Tools", 0xE800, {60, 120})) return -1;
      bar.floatAt({10, 45});
      showControlBar(bar, true, false);
      return 0;
    }
    return FrameWindow::handleMessage(message, wParam, lParam);
  }
};

class TestApp : public Application {
 public:
  std::vector<long> idleCounts;
  long idleRounds = 2;
  bool onIdle(long count) override {
    Application::onIdle(count);
    idleCounts.push_back(count);
    return count + 1 < idleRounds;
  }
};

class FrameworkTest : public testing_support::AutomatedTest {
 protected:
  void SetUp() override {
    AutomatedTest::SetUp();
    registerFrameResources();
  }
};

TEST_F(FrameworkTest, RunLoopIdlesWithGrowingCountsAndEndsWhenTheMainFrameGoes) {
  TestApp app;
  TestFrame frame;
  ASSERT_TRUE(frame.loadFrame(kFrameResource, kWsOverlappedWindow | kWsVisible, nullptr, "Work"));
  app.setMainWindow(&frame);
  frame.setFocus();
  automation::queueStep([] { automation::keyPress('S', automation::kModControl); });
  automation::queueStep([&] { EXPECT_TRUE(automation::chooseMenuItem(frame, {"File", "Exit"})); });
  const int code = app.run();
  EXPECT_EQ(code, 0) << "destroying the main frame quits with 0";
  EXPECT_EQ(frame.saves, 1);
  EXPECT_FALSE(frame.exists());
  ASSERT_GE(app.idleCounts.size(), 2u);
  EXPECT_EQ(app.idleCounts[0], 0);
  EXPECT_EQ(app.idleCounts[1], 1) << "idle is called again with a higher count while it asks for more";
}

TEST_F(FrameworkTest, ExceptionsEscapingAHandlerAreReportedUnlessTheUserAborted) {
  TestApp app;
  testing::RecordingWindow w;
  ASSERT_TRUE(w.create(testing::topLevel({0, 0, 100, 100})));
  w.onMessage = [](uint32_t m, uintptr_t wParam, intptr_t) -> intptr_t {
    if (m != kWmUser) return testing::RecordingWindow::kPassOn;
    if (wParam == 1) throw MemoryException();
    if (wParam == 2) throw UserException();
    throw ResourceException();
  };
  for (uintptr_t kind : {1u, 2u, 3u}) w.post(kWmUser, kind);
  postQuitMessage(0);
  while (app.pumpMessage()) {
  }
  ASSERT_EQ(boxes().size(), 2u) << "a user abort is silent";
  EXPECT_EQ(boxText(0), "Out of memory.");
  EXPECT_EQ(boxText(1), "A required resource was unavailable.");
}

TEST_F(FrameworkTest, DisabledCommandsIgnoreTheirAcceleratorsAndMenuItemsShowTheUpdate) {
  TestApp app;
  TestFrame frame;
  ASSERT_TRUE(frame.loadFrame(kFrameResource, kWsOverlappedWindow | kWsVisible, nullptr, "Work"));
  frame.setFocus();
  frame.newEnabled = false;
  automation::keyPress('N', automation::kModControl);
  automation::drainMessages();
  EXPECT_EQ(frame.news, 0) << "Ctrl+N on a disabled command does nothing";
  EXPECT_FALSE(automation::chooseMenuItem(frame, {"Window", "New Navigator"}));
  frame.newEnabled = true;
  automation::keyPress('N', automation::kModControl);
  automation::drainMessages();
  EXPECT_EQ(frame.news, 1);

  EXPECT_TRUE(frame.bar.isBarVisible());
  ASSERT_TRUE(automation::chooseMenuItem(frame, {"Window", "Toolbox"}));
  automation::drainMessages();
  EXPECT_FALSE(frame.bar.isBarVisible());
  frame.send(kWmInitMenuPopup, reinterpret_cast<uintptr_t>(frame.menu()->item(1).submenu.get()), 1);
  EXPECT_FALSE(frame.menu()->findById(kCmdToggleBar)->checked);
}

TEST_F(FrameworkTest, BarLayoutComesBackFromItsBlockAndDamagedBlocksChangeNothing) {
  TestFrame frame;
  ASSERT_TRUE(frame.loadFrame(kFrameResource, kWsOverlappedWindow | kWsVisible, nullptr, "Work"));
  frame.bar.floatAt({300, 200});
  frame.bar.setBarSize({60, 150});
  const std::vector<uint8_t> block = frame.saveBarState();
  frame.bar.floatAt({0, 0});
  frame.showControlBar(frame.bar, false, false);
  frame.bar.setBarSize({60, 90});

  std::vector<uint8_t> damaged = block;
  damaged.pop_back();
  EXPECT_FALSE(frame.loadBarState(damaged));
  EXPECT_FALSE(frame.loadBarState({}));
  EXPECT_EQ(frame.bar.floatingPosition(), (Point{0, 0}));

  // Whatever a damaged workspace file holds, loading never takes it.
  uint32_t seed = 12345;
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<uint8_t> noise = block;
    seed = seed * 1103515245u + 12345u;
    noise[seed % noise.size()] ^= static_cast<uint8_t>(1 + (seed >> 16) % 255);
    if (trial % 3 == 0) noise.resize(seed % (noise.size() + 5));
    frame.loadBarState(noise);
  }
  frame.bar.floatAt({0, 0});
  frame.bar.setBarSize({60, 90});

  ASSERT_TRUE(frame.loadBarState(block));
  EXPECT_EQ(frame.bar.floatingPosition(), (Point{300, 200}));
  EXPECT_EQ(frame.bar.barSize(), (Size{60, 150}));
  EXPECT_TRUE(frame.bar.isBarVisible());
  EXPECT_EQ(frame.bar.miniFrame()->owner(), &frame) << "bars float in frames owned by the frame";
}

DialogTemplate rangeDialog() {
  DialogTemplate t;
  t.title = "Make Work Path";
  t.size = {240, 120};
  t.controls = {{ControlKind::kStaticText, "Choke:", 100, {10, 10, 60, 30}, false},
                {ControlKind::kNumberField, "", 101, {70, 10, 130, 30}, false},
                {ControlKind::kRadioButton, "Channel", 110, {10, 40, 100, 56}, true},
                {ControlKind::kRadioButton, "Selection", 111, {10, 60, 100, 76}, false},
                {ControlKind::kDefaultPushButton, "OK", kIdOk, {150, 80, 230, 100}, false},
                {ControlKind::kPushButton, "Cancel", kIdCancel, {150, 50, 230, 70}, false}};
  return t;
}

class RangeDialog : public Dialog {
 public:
  int choke = 2;
  int source = 1;
  RangeDialog() : Dialog(rangeDialog()) {}

 protected:
  void doDataExchange(DataExchange& dx) override {
    dx.integer(101, choke);
    dx.integerRange(101, choke, 0, 64);
    dx.radio(110, source);
  }
};

TEST_F(FrameworkTest, DialogValidatesTheRangeAndStaysOpenUntilTheValueFits) {
  RangeDialog dialog;
  automation::queueDialogAnswer({"OK", {{101, "99"}}});
  automation::queueDialogAnswer({"OK", {{101, "12"}}});
  EXPECT_EQ(dialog.doModal(nullptr), kIdOk);
  EXPECT_EQ(dialog.choke, 12);
  EXPECT_EQ(dialog.source, 1) << "the radio group kept its choice";
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), "Please enter an integer between 0 and 64.");
  ASSERT_EQ(automation::shownDialogs().size(), 1u);
  EXPECT_EQ(automation::shownDialogs()[0].title, "Make Work Path");
}

TEST_F(FrameworkTest, DialogCancelKeepsTheVariablesAndTextIsRejected) {
  RangeDialog dialog;
  automation::queueDialogAnswer({"OK", {{101, "abc"}}});
  automation::queueDialogAnswer({"Cancel", {}});
  EXPECT_EQ(dialog.doModal(nullptr), kIdCancel);
  EXPECT_EQ(dialog.choke, 2);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), "Please enter an integer.");
  EXPECT_EQ(Dialog(12345).doModal(nullptr), -1) << "a missing template is no dialog";
}

// A dialog shown without an owner belongs to the application's main window
// while that is shown: centred over it, the frame disabled meanwhile and
// active again afterwards. Without a shown main window it has no owner.
TEST_F(FrameworkTest, ADialogWithoutAnOwnerBelongsToTheShownMainWindow) {
  TestApp app;
  TestFrame frame;
  ASSERT_TRUE(frame.loadFrame(kFrameResource, kWsOverlappedWindow | kWsVisible, nullptr, "Work", {100, 50, 900, 650}));
  app.setMainWindow(&frame);
  for (const bool shown : {true, false}) {
    frame.show(shown ? kSwShow : kSwHide);
    RangeDialog dialog;
    Window* owner = nullptr;
    bool frameEnabled = true;
    Rect placed;
    automation::queueStep([&] {
      owner = dialog.owner();
      frameEnabled = frame.isEnabled();
      placed = dialog.windowRect();
    });
    EXPECT_EQ(dialog.doModal(nullptr), kIdOk);
    EXPECT_TRUE(frame.isEnabled());
    if (shown) {
      EXPECT_EQ(owner, &frame);
      EXPECT_FALSE(frameEnabled) << "modal to the frame";
      EXPECT_NEAR(placed.left + placed.right, 100 + 900, 1) << "centred over the frame";
      EXPECT_EQ(Window::active(), &frame);
    } else {
      EXPECT_EQ(owner, nullptr);
    }
  }
  app.setMainWindow(nullptr);
}

// With nothing queued, a dialog is answered as Return would answer it; one
// without a default button is cancelled and the script told which it was.
// A step only the outer loop takes (the end of a script) waits meanwhile.
TEST_F(FrameworkTest, AnUnansweredDialogPressesItsDefaultButtonOrTellsTheScript) {
  bool reachedEnd = false;
  automation::queueOuterLoopStep([&] { reachedEnd = true; });
  RangeDialog dialog;
  EXPECT_EQ(dialog.doModal(nullptr), kIdOk);
  EXPECT_FALSE(reachedEnd) << "the nested loop took the outer loop's step";
  EXPECT_EQ(automation::takeScriptProblem(), "");

  DialogTemplate plain = rangeDialog();
  plain.title = "No Default";
  plain.controls[4].kind = ControlKind::kPushButton;
  Dialog withoutDefault(plain);
  EXPECT_EQ(withoutDefault.doModal(nullptr), kIdCancel);
  EXPECT_EQ(automation::takeScriptProblem(), "the dialog \"No Default\" has no default button and no answer was queued");
  EXPECT_FALSE(reachedEnd);
  EXPECT_TRUE(automation::runNextStep());
  EXPECT_TRUE(reachedEnd);
}

// A small caption looks active with its frame and inactive otherwise. A
// bar's has no close box: a click where one would be leaves the bar shown.
TEST_F(FrameworkTest, MiniFrameCaptionsShowActivationAndHaveNoCloseBox) {
  TestFrame frame;
  ASSERT_TRUE(frame.loadFrame(kFrameResource, kWsOverlappedWindow | kWsVisible, nullptr, "Work"));
  MiniFrame& mini = *frame.bar.miniFrame();
  const Rect in = mini.nonClientInsets();
  const Point captionPixel{in.left + 2, in.left + 2};
  frame.activate();
  EXPECT_EQ(mini.composite().pixel(captionPixel.x, captionPixel.y), systemColour(kColourActiveCaption));
  TestFrame other;
  ASSERT_TRUE(other.loadFrame(kFrameResource, kWsOverlappedWindow | kWsVisible, nullptr, "Other"));
  other.activate();
  EXPECT_EQ(mini.composite().pixel(captionPixel.x, captionPixel.y), systemColour(kColourInactiveCaption));
  other.destroy();  // it lies over the bar
  EXPECT_TRUE(mini.closeBoxRect().isEmpty());
  const int32_t caption = systemMetric(kSmCySmCaption);
  const Point boxCentre{mini.windowRect().width() - in.right - 2 - caption / 2, in.left + caption / 2};
  const platform::Colour captionColour = mini.composite().pixel(captionPixel.x, captionPixel.y);
  EXPECT_EQ(mini.composite().pixel(boxCentre.x, boxCentre.y), captionColour) << "the caption runs to its end";
  const Point click{boxCentre.x - in.left, boxCentre.y - in.top};
  automation::mouseDown(mini, click);
  automation::mouseUp(mini, click);
  automation::drainMessages();
  EXPECT_TRUE(frame.bar.isBarVisible());
}

// Dialog units follow the dialog font, so labels fit; the system icons
// are drawn.
TEST_F(FrameworkTest, DialogUnitsFollowTheFontAndSystemIconsAreDrawn) {
  const Size base = dialogBaseUnits();
  ASSERT_GT(base.cx, 0);
  ASSERT_GT(base.cy, 0);
  std::vector<Bitmap> icons;
  for (int id : {32513, 32514, 32515, 32516}) {
    icons.push_back(resources::loadIcon(id));
    ASSERT_FALSE(icons.back().isNull()) << id;
    EXPECT_EQ(icons.back().width(), 32);
    EXPECT_NE(icons.back().pixel(16, 16), icons.back().pixel(0, 0)) << id << " is drawn in the middle";
  }
  EXPECT_NE(icons[0].pixel(8, 16), icons[1].pixel(8, 16)) << "hand and question differ";

  DialogTemplate t;
  t.title = "Units";
  t.dialogUnits = true;
  t.size = {241, 89};
  t.controls = {{ControlKind::kIcon, "32514", 50, {7, 7, 27, 27}, false},
                {ControlKind::kStaticText, "Tolerance (%):", 51, {135, 47, 190, 57}, false},
                {ControlKind::kDefaultPushButton, "OK", kIdOk, {184, 68, 234, 82}, false}};
  Dialog dialog(t);
  bool checked = false;
  automation::queueStep([&] {
    checked = true;
    EXPECT_EQ(dialog.clientRect(), (Rect{0, 0, 241 * base.cx / 4, 89 * base.cy / 8}));
    Window* label = dialog.control(51);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->clientRect().width(), 190 * base.cx / 4 - 135 * base.cx / 4);
    Framebuffer scratch(1, 1);
    DeviceContext dc(scratch);
    EXPECT_GE(label->clientRect().width(), dc.textExtent("Tolerance (%):").cx) << "the label fits";
    Window* icon = dialog.control(50);
    ASSERT_NE(icon, nullptr);
    EXPECT_NE(icon->framebuffer().pixel(16, 16), systemColour(kColourBtnFace)) << "the question icon shows";
  });
  EXPECT_EQ(dialog.doModal(nullptr), kIdOk);
  EXPECT_TRUE(checked);
}

// A box or file dialog of the system's over a window holds that window's
// frame disabled while it runs, and gives it back active.
TEST_F(FrameworkTest, ASystemBoxIsModalToItsOwnersWindow) {
  TestFrame frame;
  ASSERT_TRUE(frame.loadFrame(kFrameResource, kWsOverlappedWindow | kWsVisible, nullptr, "Work"));
  TestFrame other;
  ASSERT_TRUE(other.loadFrame(kFrameResource, kWsOverlappedWindow | kWsVisible, nullptr, "Other"));
  other.activate();
  {
    const backend::ModalOwner modal(&frame.bar);
    EXPECT_FALSE(frame.isEnabled()) << "the owner's top-level window is disabled";
    EXPECT_TRUE(other.isEnabled());
  }
  EXPECT_TRUE(frame.isEnabled());
  EXPECT_EQ(Window::active(), &frame) << "the owner comes back active";
  {
    const backend::ModalOwner none(nullptr);
    EXPECT_EQ(none.widget(), nullptr);
  }
  EXPECT_TRUE(frame.isEnabled());
}

class KeyedDialog : public Dialog {
 public:
  std::vector<uint32_t> commands;
  int choke = 2;
  int source = 0;
  explicit KeyedDialog(DialogTemplate t) : Dialog(std::move(t)) {}

 protected:
  void doDataExchange(DataExchange& dx) override {
    dx.integer(101, choke);
    dx.radio(110, source);
  }
  bool onCommand(uint32_t id) override {
    commands.push_back(id);
    if (id == 120) endDialog(120);
    return true;
  }
};

// The keys of a dialog: the field's caret, selection and editing, Tab and
// Shift+Tab, Alt+letter for a marked control, Return for the default button.
TEST_F(FrameworkTest, DialogKeysEditFieldsMoveFocusAndAnswerMnemonics) {
  DialogTemplate t = rangeDialog();
  t.controls[0].text = "C&hoke:";
  t.controls[3].text = "&Selection";
  t.controls[4] = {ControlKind::kPushButton, "OK", kIdOk, {150, 80, 230, 100}, false};
  t.controls.push_back({ControlKind::kDefaultPushButton, "&Path", 120, {10, 90, 90, 110}, false});
  KeyedDialog dialog(t);
  auto text = [&] { return dialog.controlText(101); };
  const auto press = [](std::vector<std::pair<uint32_t, unsigned>> keys) {
    // One step per key: its character comes before the next key.
    for (auto [key, modifiers] : keys)
      automation::queueStep([key = key, modifiers = modifiers] { automation::keyPress(key, modifiers); });
  };
  press({{'7', 0}});  // the field opens with its text selected: typing replaces it
  automation::queueStep([&] { EXPECT_EQ(text(), "7"); });
  press({{kVkHome, 0}, {'1', 0}, {kVkEnd, 0}, {kVkLeft, automation::kModShift}, {'5', 0}});
  automation::queueStep([&] { EXPECT_EQ(text(), "15"); });
  press({{kVkLeft, 0}, {kVkDelete, 0}, {kVkBack, 0}, {'4', 0}, {'2', 0}, {kVkHome, 0}, {kVkDelete, 0}});
  automation::queueStep([&] { EXPECT_EQ(text(), "2"); });
  press({{kVkEnd, 0}, {kVkHome, automation::kModShift}, {'9', 0}});
  automation::queueStep([&] { EXPECT_EQ(text(), "9"); });
  press({{'S', automation::kModAlt}});
  automation::queueStep([&] {
    auto* selection = dialog.controlAs<RadioButton>(111);
    ASSERT_NE(selection, nullptr);
    EXPECT_TRUE(selection->isChecked()) << "Alt+S checks \"&Selection\"";
    EXPECT_TRUE(selection->hasFocus());
  });
  press({{kVkTab, automation::kModShift}, {'3', 0}});
  automation::queueStep([&] { EXPECT_EQ(text(), "3") << "Shift+Tab went back to the field and selected it"; });
  press({{kVkTab, 0}, {kVkTab, 0}});
  automation::queueStep([&] { EXPECT_TRUE(dialog.control(kIdOk)->hasFocus()) << "Tab: field, radio group, OK"; });
  press({{'H', automation::kModAlt}, {'6', 0}});
  automation::queueStep([&] { EXPECT_EQ(text(), "6") << "Alt+H on the label focuses the field after it"; });
  press({{kVkReturn, 0}});
  bool leftOver = false;
  automation::queueStep([&] { leftOver = true; });
  EXPECT_EQ(dialog.doModal(nullptr), 120) << "Return pressed the default button";
  EXPECT_EQ(dialog.commands.back(), 120u);
  EXPECT_NE(std::find(dialog.commands.begin(), dialog.commands.end(), 111u), dialog.commands.end())
      << "Alt+S told the dialog its radio button was clicked";
  EXPECT_FALSE(leftOver);
  EXPECT_TRUE(automation::runNextStep()) << "Return ended the dialog before the script ran out";
  EXPECT_TRUE(leftOver);
}

TEST_F(FrameworkTest, NestedModalLoopsEndInnerFirstAndReenableTheirOwners) {
  TestFrame frame;
  ASSERT_TRUE(frame.loadFrame(kFrameResource, kWsOverlappedWindow | kWsVisible, nullptr, "Work"));
  std::vector<std::string> order;
  class Outer : public RangeDialog {
   public:
    std::vector<std::string>* order;
    int inner = 0;

   protected:
    bool onInitDialog() override {
      RangeDialog::onInitDialog();
      automation::queueStep([this] {
        RangeDialog innerDialog;
        automation::queueStep([this] {
          EXPECT_FALSE(isEnabled()) << "the outer dialog is disabled while the inner one runs";
          order->push_back("inner running");
        });
        inner = innerDialog.doModal(this);
        order->push_back("inner");
        EXPECT_TRUE(isEnabled());
        pressButton("OK");
      });
      return true;
    }
  } outer;
  outer.order = &order;
  const int result = outer.doModal(&frame);
  order.push_back("outer");
  EXPECT_EQ(result, kIdOk);
  EXPECT_EQ(outer.inner, kIdOk) << "an unanswered dialog closes with OK";
  EXPECT_EQ(order, (std::vector<std::string>{"inner running", "inner", "outer"}));
  EXPECT_TRUE(frame.isEnabled());
}

TEST_F(FrameworkTest, ModalLoopPassesAQuitOnToTheOuterLoop) {
  RangeDialog dialog;
  automation::queueStep([] { postQuitMessage(5); });
  EXPECT_EQ(dialog.doModal(nullptr), kIdCancel);
  Message m;
  ASSERT_FALSE(getMessage(m));
  EXPECT_EQ(m.wParam, 5u);
}

TEST_F(FrameworkTest, FilterStringsParseAndFileAnswersComeFromTheQueue) {
  const auto filters = parseFilterString("Tessaly Workspace (*.tsw)|*.tsw||");
  ASSERT_EQ(filters.size(), 1u);
  EXPECT_EQ(filters[0].name, "Tessaly Workspace (*.tsw)");
  EXPECT_EQ(filters[0].patterns, "*.tsw");
  EXPECT_TRUE(parseFilterString("Broken|*.x").empty());
  EXPECT_TRUE(parseFilterString("").empty());
  EXPECT_EQ(parseFilterString("A (*.a)|*.a|B (*.b)|*.b||").size(), 2u);

  EXPECT_FALSE(openFileDialog(nullptr, "Tessaly Workspace (*.tsw)|*.tsw||")) << "no answer: cancelled";
  automation::queueFileAnswer("/tmp/work.tsw");
  EXPECT_EQ(openFileDialog(nullptr, "Tessaly Workspace (*.tsw)|*.tsw||"), std::optional<std::string>("/tmp/work.tsw"));

  const auto existing = std::filesystem::temp_directory_path() / "tessaly-existing.tsw";
  { std::ofstream(existing) << "x"; }
  automation::queueFileAnswer(existing.string().substr(0, existing.string().size() - 4));  // no extension
  automation::queueBoxAnswer(kIdNo);
  automation::queueFileAnswer("/tmp/other");
  EXPECT_EQ(saveFileDialog(nullptr, "Tessaly Workspace (*.tsw)|*.tsw||", "Workspace 1.tsw", true),
            std::optional<std::string>("/tmp/other.tsw"))
      << "refusing to replace asks again; the extension is added";
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), "tessaly-existing.tsw already exists.\nDo you want to replace it?");
  std::filesystem::remove(existing);
}

}  // namespace
}  // namespace platform
