// Runs of the filter's work window through the entry point, as a host makes
// them, with the user's actions as automation steps.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/Automation.h"
#include "platform/FrameWindow.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/Window.h"
#include "resources/StringTable.h"
#include "display/CTool.h"
#include "display/CWorkDocument.h"
#include "display/CZoomView.h"
#include "shell/ErrorRecord.h"
#include "shell/PlugInServices.h"
#include "app/TessalyApplication.h"
#include "tests/support/AutomatedTest.h"
#include "tests/support/FakeHost.h"
#include "ui/AboutBox.h"
#include "ui/CKeepDropBar.h"
#include "ui/CNavFrame.h"
#include "tools/KeepMode.h"
#include "tools/SliderValues.h"
#include "workspace/PreferenceFile.h"

extern "C" void ENTRYPOINT(int16_t, void*, int32_t*, int16_t*);

namespace {

namespace fs = std::filesystem;

class ApplicationTest : public testing_support::AutomatedTest {
 protected:
  void SetUp() override {
    AutomatedTest::SetUp();
    std::string pattern = (fs::temp_directory_path() / "tessaly-app-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    config_ = pattern;
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    ASSERT_TRUE(InstallPreferenceFileLocation());
    savedColourTest_ = plugInServices().targetIsColourChannel;
    plugInServices().targetIsColourChannel = [](int16_t, int16_t) { return false; };
  }
  void TearDown() override {
    plugInServices().targetIsColourChannel = savedColourTest_;
    ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(config_);
    AutomatedTest::TearDown();
  }

  // Queues a step that works in the running work window.
  static void whenRunning(std::function<void(platform::FrameWindow&)> step) {
    platform::automation::queueStep([step] {
      platform::Application* app = platform::Application::current();
      ASSERT_NE(app, nullptr);
      ASSERT_NE(app->mainWindow(), nullptr) << "the work window runs";
      step(*app->mainWindow());
    });
  }
  static void choose(platform::FrameWindow& frame, std::vector<std::string> path) {
    EXPECT_TRUE(platform::automation::chooseMenuItem(frame, path)) << path.back();
  }

  int16_t start() {
    int16_t result = 12345;
    int32_t data = 0;
    ENTRYPOINT(kFilterSelectorStart, &host_.record(), &data, &result);
    EXPECT_FALSE(errorPending());
    return result;
  }

  fs::path preferenceFile() const { return *ReadPreferenceFileLocation(); }

  testing_support::FakeFilterHost host_;
  fs::path config_;
  bool (*savedColourTest_)(int16_t, int16_t) = nullptr;
};

TEST_F(ApplicationTest, SaveApplyEndsWithResultZeroAndWritesThePreferenceFile) {
  whenRunning([](platform::FrameWindow& w) { choose(w, {"File", "Save/Apply..."}); });
  EXPECT_EQ(start(), 0);
  EXPECT_TRUE(fs::exists(preferenceFile()));
  EXPECT_GE(fs::file_size(preferenceFile()), 44u) << "the work window's placement at least";
  EXPECT_EQ(platform::Application::current()->mainWindow(), nullptr);
}

TEST_F(ApplicationTest, ExitWithNoHandsTheCancelResultAndStillSavesThePreferences) {
  platform::automation::queueBoxAnswer(platform::kIdNo);
  whenRunning([](platform::FrameWindow& w) { choose(w, {"File", "Exit"}); });
  EXPECT_EQ(start(), 1110);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), stringResource(25));
  EXPECT_EQ(boxes()[0].buttons, platform::kMbYesNoCancel);
  EXPECT_TRUE(fs::exists(preferenceFile()));
}

TEST_F(ApplicationTest, ExitThenCancelKeepsTheWindowOpen) {
  platform::automation::queueBoxAnswer(platform::kIdCancel);
  whenRunning([](platform::FrameWindow& w) { choose(w, {"File", "Exit"}); });
  whenRunning([](platform::FrameWindow& w) {
    EXPECT_TRUE(w.isVisible());
    choose(w, {"File", "Save/Apply..."});
  });
  EXPECT_EQ(start(), 0);
}

TEST_F(ApplicationTest, ClosingTheWindowAsksLikeExit) {
  platform::automation::queueBoxAnswer(platform::kIdYes);
  whenRunning([](platform::FrameWindow& w) { w.post(platform::kWmClose); });
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(boxText(0), stringResource(25));
}

TEST_F(ApplicationTest, AnUnwritablePreferenceFileIsReportedAndTheRunStillEnds) {
  ASSERT_TRUE(platform::registry::writeString(platform::registry::Root::kLocalMachine, stringResource(22),
                                              "PrefsLocation", (config_ / "missing" / "p.tsw").string()));
  whenRunning([](platform::FrameWindow& w) { choose(w, {"File", "Save/Apply..."}); });
  EXPECT_EQ(start(), 0);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), stringResource(2015));
}

TEST_F(ApplicationTest, WithoutTheRegistryValueTheRunDoesNotStart) {
  ASSERT_TRUE(platform::registry::deleteValue(platform::registry::Root::kLocalMachine, stringResource(22),
                                              "PrefsLocation"));
  EXPECT_EQ(start(), 1110);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), stringResource(23));
  EXPECT_EQ(boxes()[0].icon, platform::kMbIconStop);
}

TEST_F(ApplicationTest, TheWindowComesBackWhereItWas) {
  whenRunning([](platform::FrameWindow& w) {
    w.show(platform::kSwShowNormal);
    w.move({40, 50, 640, 490});
    choose(w, {"File", "Save/Apply..."});
  });
  EXPECT_EQ(start(), 0);
  whenRunning([](platform::FrameWindow& w) {
    EXPECT_FALSE(w.isMaximized());
    EXPECT_EQ(w.windowRect(), (platform::Rect{40, 50, 640, 490}));
    choose(w, {"File", "Save/Apply..."});
  });
  EXPECT_EQ(start(), 0);
}

TEST_F(ApplicationTest, TheWorkWindowRefusesShutdownSwallowsHelpAndKeepsItsMinimumSize) {
  whenRunning([](platform::FrameWindow& w) {
    EXPECT_FALSE(platform::automation::queryEndSession());
    EXPECT_EQ(w.send(platform::kWmHelp), 1);
    platform::MinMaxInfo info{};
    w.send(platform::kWmGetMinMaxInfo, 0, reinterpret_cast<intptr_t>(&info));
    EXPECT_EQ(info.minTrackSize, (platform::Point{200, 160}));
    choose(w, {"File", "Save/Apply..."});
  });
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(boxText(0), stringResource(2020));
}

TEST_F(ApplicationTest, TheHostWindowIsHiddenDuringTheRunAndRestoredAfter) {
  platform::Window hostWindow;
  platform::CreateParams params;
  params.title = "Tessaly Host";
  params.rect = {0, 0, 300, 200};
  ASSERT_TRUE(hostWindow.create(params));
  hostWindow.show(platform::kSwShowNormal);
  whenRunning([&hostWindow](platform::FrameWindow& w) {
    EXPECT_FALSE(hostWindow.isVisible());
    EXPECT_FALSE(hostWindow.isEnabled());
    choose(w, {"File", "Save/Apply..."});
  });
  EXPECT_EQ(start(), 0);
  EXPECT_TRUE(hostWindow.isVisible());
  EXPECT_TRUE(hostWindow.isEnabled());
}

TEST_F(ApplicationTest, TheHostsBusyMessageIsSwallowedWithMessage2001) {
  platform::Window hostWindow;
  platform::CreateParams params;
  params.title = "Tessaly Host";
  ASSERT_TRUE(hostWindow.create(params));
  whenRunning([&hostWindow](platform::FrameWindow&) { hostWindow.post(1547); });
  whenRunning([](platform::FrameWindow& w) { choose(w, {"File", "Save/Apply..."}); });
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(boxText(0), stringResource(2001));
}

}  // namespace

namespace {

// A command whose undo fails the way the test says.
class FailingCommand : public Command {
 public:
  explicit FailingCommand(std::function<void()> fail) : fail_(std::move(fail)) {}
  std::unique_ptr<Command> apply(CWorkDocument&) override {
    fail_();
    return nullptr;
  }
  uint32_t memoryUsage() const override { return 0; }

 private:
  std::function<void()> fail_;
};

// The work window's view makes the document; a step gives it a command.
void pushIntoRunningDocument(std::function<void()> fail) {
  platform::automation::queueStep([fail] {
    ASSERT_NE(CWorkDocument::Current(), nullptr);
    CWorkDocument::Current()->PushCommand(std::make_unique<FailingCommand>(fail));
  });
}

TEST_F(ApplicationTest, AFailureInACommandIsReportedAndTheWindowStaysOpen) {
  pushIntoRunningDocument([] { THROW_ERROR(kErrDiskFull, kGroupGeneral); });
  whenRunning([](platform::FrameWindow& w) { choose(w, {"Edit", "Undo"}); });
  whenRunning([](platform::FrameWindow& w) { choose(w, {"File", "Save/Apply..."}); });
  EXPECT_EQ(start(), 0);
  ASSERT_FALSE(boxes().empty());
  EXPECT_EQ(boxText(0).substr(0, std::string(stringResource(17008)).size()), stringResource(17008));
}

TEST_F(ApplicationTest, AQuietCancelEscapingAMessageEndsTheRunWithResult1110) {
  pushIntoRunningDocument([] {
    PUSH_ERROR(kResultQuiet, kGroupHost);
    throw platform::UserException();
  });
  whenRunning([](platform::FrameWindow& w) { choose(w, {"Edit", "Undo"}); });
  EXPECT_EQ(start(), 1110);
  EXPECT_TRUE(boxes().empty());
}

TEST_F(ApplicationTest, AnExceptionWithNothingPendingShowsMessage3003) {
  pushIntoRunningDocument([] { throw platform::UserException(); });
  whenRunning([](platform::FrameWindow& w) { choose(w, {"Edit", "Undo"}); });
  whenRunning([](platform::FrameWindow& w) { choose(w, {"File", "Save/Apply..."}); });
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(boxText(0), stringResource(3003));
}

TEST_F(ApplicationTest, BackspaceUndoesAndCtrlWDoesNothing) {
  static int undone = 0;
  undone = 0;
  pushIntoRunningDocument([] { ++undone; });
  whenRunning([](platform::FrameWindow&) { platform::automation::keyPress('W', platform::automation::kModControl); });
  whenRunning([](platform::FrameWindow&) { platform::automation::keyPress(platform::kVkBack); });
  whenRunning([](platform::FrameWindow& w) { choose(w, {"File", "Save/Apply..."}); });
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(undone, 1);
  EXPECT_TRUE(boxes().empty());
}

}  // namespace

namespace {

TEST_F(ApplicationTest, TheWorkWindowCanBePhotographed) {
  const fs::path shot = config_ / "work-window.png";
  whenRunning([shot](platform::FrameWindow& w) {
    EXPECT_TRUE(w.isMaximized()) << "the default layout maximises the window";
    EXPECT_EQ(w.title(), "Tessaly");
    ASSERT_NE(w.menu(), nullptr);
    EXPECT_EQ(w.menu()->itemCount(), 3u);
    EXPECT_TRUE(platform::automation::saveScreenshot(w, shot.string()));
    if (const char* keep = std::getenv("TESSALY_KEEP_SCREENSHOTS")) fs::copy_file(shot, fs::path(keep) / shot.filename(), fs::copy_options::overwrite_existing);
    choose(w, {"File", "Save/Apply..."});
  });
  EXPECT_EQ(start(), 0);
  EXPECT_GT(fs::file_size(shot), 0u);
}

}  // namespace

namespace {

TEST_F(ApplicationTest, TheAboutBoxTurnsItsPagesOnClicks) {
  const fs::path shot = config_ / "about.png";
  std::vector<int> pages;
  platform::automation::queueStep([&] {
    auto* box = dynamic_cast<AboutBox*>(platform::automation::findWindow("About Tessaly"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(platform::automation::saveScreenshot(*box, shot.string()));
    if (const char* keep = std::getenv("TESSALY_KEEP_SCREENSHOTS"))
      fs::copy_file(shot, fs::path(keep) / shot.filename(), fs::copy_options::overwrite_existing);
    for (int click = 0; click < 3; ++click) {
      platform::Window* target = box->childById(box->page() == 0 ? kAboutPictureControl : kAboutTextControl);
      ASSERT_NE(target, nullptr);
      target->send(platform::kWmLButtonDown);
      pages.push_back(box->page());
    }
    box->pressButton("OK");
  });
  int16_t result = 1;
  int32_t data = 0;
  ENTRYPOINT(kFilterSelectorAbout, nullptr, &data, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(pages, (std::vector<int>{1, 2, 0}));
}

}  // namespace

namespace {

TEST_F(ApplicationTest, ToolKeysSelectToolsAndCtrlKeysZoomTheMainView) {
  static int32_t toolWhileHeld = 0;
  static double before = 0, doubled = 0, fitted = 0, actual = 0;
  whenRunning([](platform::FrameWindow&) { platform::automation::keyDown('H'); });
  whenRunning([](platform::FrameWindow&) {
    toolWhileHeld = ActiveTool() != nullptr ? ActiveTool()->CursorResourceId() : 0;
    platform::automation::keyUp('H');
  });
  whenRunning([](platform::FrameWindow&) {
    auto* view = dynamic_cast<CZoomView*>(CWorkDocument::Current()->MainView());
    ASSERT_NE(view, nullptr);
    before = view->Zoom();
    platform::automation::keyPress('0', platform::automation::kModControl | platform::automation::kModAlt);
  });
  whenRunning([](platform::FrameWindow&) {
    actual = dynamic_cast<CZoomView*>(CWorkDocument::Current()->MainView())->Zoom();
    platform::automation::keyPress(0xBB, platform::automation::kModControl);
  });
  whenRunning([](platform::FrameWindow&) {
    doubled = dynamic_cast<CZoomView*>(CWorkDocument::Current()->MainView())->Zoom();
    platform::automation::keyPress('0', platform::automation::kModControl);
  });
  whenRunning([](platform::FrameWindow& w) {
    fitted = dynamic_cast<CZoomView*>(CWorkDocument::Current()->MainView())->Zoom();
    choose(w, {"File", "Save/Apply..."});
  });
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(toolWhileHeld, 3310) << "H holds the hand";
  EXPECT_DOUBLE_EQ(actual, 1.0);
  EXPECT_DOUBLE_EQ(doubled, 2.0);
  EXPECT_DOUBLE_EQ(fitted, before) << "Ctrl+0 fits the image again";
}

}  // namespace

namespace {

CZoomView& mainView() { return *dynamic_cast<CZoomView*>(CWorkDocument::Current()->MainView()); }

// The client point of the main view over the centre of image pixel (v, h).
platform::Point overPixel(int v, int h) {
  const CZoomView& view = mainView();
  const double z = view.Zoom();
  return {static_cast<int32_t>((h + 0.5) * z) - view.VisibleRect().left,
          static_cast<int32_t>((v + 0.5) * z) - view.VisibleRect().top};
}

uint8_t maskByte(int v, int h) {
  uint8_t byte = 0;
  CWorkDocument::Current()->MaskImage()->ReadRect(
      {static_cast<int16_t>(v), static_cast<int16_t>(h), static_cast<int16_t>(v + 1), static_cast<int16_t>(h + 1)},
      {&byte, 1, 1});
  return byte;
}

// The pencil by its key, a drag in the work window's view, Escape in the
// middle of it, and Backspace: the whole way from the input to the host's
// output plane.
TEST_F(ApplicationTest, APencilStrokeEndsAtEscapeAndBackspaceUndoesIt) {
  namespace automation = platform::automation;
  static std::vector<int> seen;
  seen.clear();
  const auto mouse = [](auto action, int v, int h) {
    whenRunning([action, v, h](platform::FrameWindow&) {
      action(dynamic_cast<platform::Window&>(mainView()), overPixel(v, h));
    });
  };
  const auto move = [](platform::Window& w, platform::Point p) { automation::mouseMove(w, p); };
  const auto down = [](platform::Window& w, platform::Point p) { automation::mouseDown(w, p); };
  const auto up = [](platform::Window& w, platform::Point p) { automation::mouseUp(w, p); };
  const auto look = [] {
    whenRunning([](platform::FrameWindow&) {
      for (int h : {10, 20, 30, 40}) seen.push_back(maskByte(10, h));
    });
  };
  whenRunning([](platform::FrameWindow&) {
    automation::setInputInterval(25);
    BrushPair().SetLower(0);
    BrushPair().SetUpper(30);
    BrushPair().SetLower(30);  // r0 about 2.7, r1 about 4.6
    BrushPair().SetUpper(30);
    SetKeepMode(true);
    automation::keyPress('B');
  });
  mouse(move, 10, 10);
  mouse(down, 10, 10);
  mouse(move, 10, 20);
  mouse(move, 10, 30);
  whenRunning([](platform::FrameWindow&) { automation::keyPress(platform::kVkEscape); });
  mouse(move, 10, 40);
  mouse(up, 10, 40);
  look();
  whenRunning([](platform::FrameWindow&) { automation::keyPress(platform::kVkBack); });
  look();
  whenRunning([](platform::FrameWindow& w) { choose(w, {"File", "Save/Apply..."}); });
  EXPECT_EQ(start(), 0);
  BrushPair().SetLower(64);
  BrushPair().SetUpper(192);
  SetKeepMode(false);
  EXPECT_EQ(seen, (std::vector<int>{255, 255, 0, 0, 255, 0, 0, 0}))
      << "painted up to where the pointer was before Escape; Backspace takes back the last step";
}

std::vector<platform::Rect> navigatorRects() {
  std::vector<platform::Rect> rects;
  for (CNavFrame* n = CNavFrame::First(); n != nullptr; n = n->Next()) rects.push_back(n->windowRect());
  return rects;
}

TEST_F(ApplicationTest, NavigatorsOpenUpToTwentyHideWithTabAndComeBackNextRun) {
  CNavFrame::ResetCascade();
  static int atStart = 0;
  static bool menuAtTwenty = true, hiddenByTab = false, backAfterTab = false;
  static bool navigatorActiveAfterTab = true;
  static std::vector<platform::Rect> firstRun;
  whenRunning([](platform::FrameWindow&) {
    atStart = CNavFrame::Count();
    for (int i = 0; i < 25; ++i) platform::automation::keyPress('N', platform::automation::kModControl);
  });
  whenRunning([](platform::FrameWindow& w) {
    menuAtTwenty = platform::automation::chooseMenuItem(w, {"Window", "New Navigator"});
    platform::automation::keyPress(platform::kVkTab);
  });
  whenRunning([](platform::FrameWindow&) {
    hiddenByTab = CNavFrame::Count() == 20;
    for (CNavFrame* n = CNavFrame::First(); n != nullptr; n = n->Next()) hiddenByTab = hiddenByTab && !n->isVisible();
    platform::automation::keyPress(platform::kVkTab);
  });
  whenRunning([](platform::FrameWindow& w) {
    backAfterTab = true;
    for (CNavFrame* n = CNavFrame::First(); n != nullptr; n = n->Next()) backAfterTab = backAfterTab && n->isVisible();
    navigatorActiveAfterTab = dynamic_cast<CNavFrame*>(platform::Window::active()) != nullptr;
    // Keep two for the next run.
    while (CNavFrame::Count() > 2) CNavFrame::First()->Next()->destroy();
    firstRun = navigatorRects();
    choose(w, {"File", "Save/Apply..."});
  });
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(atStart, 1) << "the default layout opens one navigator";
  EXPECT_FALSE(menuAtTwenty) << "New Navigator is disabled at twenty";
  EXPECT_TRUE(hiddenByTab);
  EXPECT_TRUE(backAfterTab);
  EXPECT_FALSE(navigatorActiveAfterTab) << "navigators come back without activation";
  EXPECT_EQ(CNavFrame::Count(), 0) << "navigators go with the work window";

  static std::vector<platform::Rect> secondRun;
  whenRunning([](platform::FrameWindow& w) {
    secondRun = navigatorRects();
    choose(w, {"File", "Save/Apply..."});
  });
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(secondRun, firstRun) << "the preference file brings the navigators back";
  ASSERT_EQ(firstRun.size(), 2u);
}

// The keep and drop bars float at their places under their captions, and
// follow the Window menu and Tab like the other bars.
TEST_F(ApplicationTest, TheColourBarsFollowTheWindowMenuAndTab) {
  struct Seen {
    platform::Point keepAt, dropAt;
    std::string keepCaption, dropCaption;
    bool keepShown = false, dropShown = false;
    bool keepAfterToggle = true, keepCheckedAfterToggle = true;
    bool dropAfterTab = true, dropCheckedAfterTab = false;
    bool keepAfterTabs = true, dropAfterTabs = false;
    bool keepBack = false;
  };
  static Seen seen;
  seen = {};
  const auto checked = [](platform::FrameWindow& w, uint32_t id) {
    platform::CommandUpdate update;
    update.id = id;
    w.routeUpdate(update);
    return update.checked;
  };
  whenRunning([](platform::FrameWindow& w) {
    seen.keepAt = KeepBar().floatingPosition();
    seen.dropAt = DropBar().floatingPosition();
    seen.keepCaption = KeepBar().miniFrame()->title();
    seen.dropCaption = DropBar().miniFrame()->title();
    seen.keepShown = KeepBar().isBarVisible();
    seen.dropShown = DropBar().isBarVisible();
    choose(w, {"Window", "Keep Colors"});
  });
  whenRunning([&checked](platform::FrameWindow& w) {
    seen.keepAfterToggle = KeepBar().isBarVisible();
    seen.keepCheckedAfterToggle = checked(w, 0x800D);
    platform::automation::keyPress(platform::kVkTab);
  });
  whenRunning([&checked](platform::FrameWindow& w) {
    seen.dropAfterTab = DropBar().isBarVisible();
    seen.dropCheckedAfterTab = checked(w, 0x800E);
    platform::automation::keyPress(platform::kVkTab);
  });
  whenRunning([](platform::FrameWindow& w) {
    seen.keepAfterTabs = KeepBar().isBarVisible();
    seen.dropAfterTabs = DropBar().isBarVisible();
    choose(w, {"Window", "Keep Colors"});
  });
  whenRunning([](platform::FrameWindow& w) {
    seen.keepBack = KeepBar().isBarVisible();
    choose(w, {"File", "Save/Apply..."});
  });
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(seen.keepAt, (platform::Point{250, 45}));
  EXPECT_EQ(seen.dropAt, (platform::Point{350, 45}));
  EXPECT_EQ(seen.keepCaption, "Keep");
  EXPECT_EQ(seen.dropCaption, "Drop");
  EXPECT_TRUE(seen.keepShown && seen.dropShown) << "the default layout shows both";
  EXPECT_FALSE(seen.keepAfterToggle) << "Keep Colors hides the keep bar";
  EXPECT_FALSE(seen.keepCheckedAfterToggle);
  EXPECT_FALSE(seen.dropAfterTab) << "Tab hides the drop bar";
  EXPECT_TRUE(seen.dropCheckedAfterTab) << "a bar hidden by Tab stays checked";
  EXPECT_FALSE(seen.keepAfterTabs) << "a bar hidden before Tab stays hidden";
  EXPECT_TRUE(seen.dropAfterTabs);
  EXPECT_TRUE(seen.keepBack);
  EXPECT_FALSE(KeepBar().exists()) << "the bars go with the work window";
}

}  // namespace
