// A session on a real X display: Xvfb with Qt's xcb platform, the host and
// the real plug-in in this process. While the filter's Clipping Path
// question is up, the screen as the X server shows it is compared pixel by
// pixel with each window's own drawing: the navigator must be seen over the
// work window, and the dialog over both.
//
// Xvfb runs without a window manager, so the X server stacks the windows
// in the order they were mapped and raised: the pixels show the order our
// window system gives them. A window manager keeps owned windows above
// their owner by the transient-for hint; the test checks that the X server
// holds that hint for the navigator and the dialog, naming the work window.
// It does not run a window manager, whose own stacking rules it would test.
//
// Without Xvfb, or where it or Qt's xcb platform cannot start, the test
// is skipped and says why.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "host/Document.h"
#include "host/HostWindow.h"
#include "host/ImageFiles.h"
#include "host/Installation.h"
#include "host/Interactive.h"
#include "host/PluginLibrary.h"
#include "platform/Automation.h"
#include "platform/Framebuffer.h"
#include "platform/MessageQueue.h"
#include "platform/SystemMetrics.h"
#include "platform/Window.h"
#include "platform/internal/Backend.h"

extern char** environ;

namespace {

using host_testing::TempFolder;
using platform::Framebuffer;
using platform::Rect;
using platform::Window;

// An X server of its own on the first free display number, ended with the
// process (the Qt connection to it lives as long).
class VirtualDisplay {
 public:
  // The display name (":N"), or empty with the reason in `problem`.
  static std::string start(const std::filesystem::path& log, std::string& problem) {
    static VirtualDisplay display;
    if (display.name_.empty() && display.problem_.empty()) display.launch(log);
    problem = display.problem_;
    return display.name_;
  }

 private:
  ~VirtualDisplay() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    std::error_code ignored;
    std::filesystem::remove(log_, ignored);  // kept only when Xvfb did not start
  }

  void launch(const std::filesystem::path& log) {
    log_ = log;
    int ready[2];
    if (pipe(ready) != 0) {
      problem_ = "no pipe";
      return;
    }
    // Xvfb writes the display number it found free to `ready` once it
    // accepts connections, and closes it if it cannot start.
    const std::string fd = std::to_string(ready[1]);
    // -terminate: it ends when its last client (this process) goes, even
    // if this process ends without the destructor below.
    std::vector<std::string> args = {"Xvfb",     "-displayfd", fd,    "-screen", "0", "1280x800x24",
                                     "-nolisten", "tcp",        "-terminate"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    if (spawned != 0) {
      pid_ = 0;
      close(ready[0]);
      problem_ = "Xvfb is not installed (scripts/setup installs it)";
      return;
    }
    std::string number;
    char c = 0;
    while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    close(ready[0]);
    if (number.empty()) {
      waitpid(pid_, nullptr, 0);
      pid_ = 0;
      problem_ = "Xvfb did not start; see " + log.string();
      return;
    }
    name_ = ":" + number;
  }

  pid_t pid_ = 0;
  std::filesystem::path log_;
  std::string name_;
  std::string problem_;
};

// What a command prints on standard output.
std::string commandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  pclose(pipe);
  return out;
}

// The name of the window the X window titled `title` is transient for, as
// the X server holds it ("" when it has no such hint).
std::string transientOwnerName(const std::string& title) {
  const std::string hint = commandOutput("xprop -name '" + title + "' WM_TRANSIENT_FOR 2>&1");
  const size_t at = hint.find("window id # ");
  if (at == std::string::npos) return "";
  const std::string id = hint.substr(at + 12, hint.find_first_of("\n ,", at + 12) - at - 12);
  const std::string name = commandOutput("xprop -id " + id + " WM_NAME 2>&1");
  const size_t open = name.find('"'), close = name.rfind('"');
  return open != std::string::npos && close > open ? name.substr(open + 1, close - open - 1) : "";
}

// Where a top-level window's picture is on the screen: its client area and
// menu bar (the window manager's part, caption and frame, is not ours).
Rect shownRect(Window& w) {
  const platform::Point client = w.clientToScreen({0, 0});
  const int menu = w.menu() != nullptr ? platform::systemMetric(platform::kSmCyMenu) : 0;
  return {client.x, client.y - menu, client.x + w.clientRect().width(), client.y + w.clientRect().height()};
}

bool inside(const Rect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

bool overlap(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// One window as it draws itself, placed where it stood on the screen.
struct Drawn {
  Rect rect;   // the whole window, screen coordinates
  Rect shown;  // the part the X window shows
  Framebuffer picture;
  platform::Colour at(int x, int y) const { return picture.pixel(x - rect.left, y - rect.top); }
};

Drawn drawn(Window& w) { return {w.windowRect(), shownRect(w), w.composite()}; }

// What the session saw while the dialog was up.
struct Seen {
  Framebuffer screen;
  Drawn work, navigator, dialog;
  std::vector<Rect> otherOwned;  // the work window's other visible windows
  std::string navigatorOwner, dialogOwner;
};

class RealDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string problem;
    const auto log = std::filesystem::temp_directory_path() / ("tessaly-xvfb-" + std::to_string(getpid()) + ".log");
    const std::string display = VirtualDisplay::start(log, problem);
    if (display.empty()) GTEST_SKIP() << "no X server: " << problem;
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    // Qt falls back to the offscreen platform when xcb cannot start.
    setenv("QT_QPA_PLATFORM", "xcb;offscreen", 1);
    setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    if (!platform::backend::hasScreen()) GTEST_SKIP() << "Qt's xcb platform did not start on " << display;
    platform::automation::setEnabled(true);
    platform::automation::reset();
  }
  void TearDown() override {
    platform::discardMessages();
    platform::automation::reset();
  }
  TempFolder folder_;
};

TEST_F(RealDisplay, TheNavigatorIsSeenOverTheWorkWindowAndTheDialogOverBoth) {
  // A picture with a transparency, so that the filter runs on it as it
  // stands; a gradient, so that the navigator's thumbnail differs from the
  // main view behind it.
  host::Document doc(host::kModeRGB, 480, 360);
  for (int y = 0; y < 360; ++y)
    for (int x = 0; x < 480; ++x) {
      const auto i = static_cast<size_t>(y * 480 + x);
      doc.colour(0)[i] = static_cast<uint8_t>(x / 2);
      doc.colour(1)[i] = static_cast<uint8_t>(y * 2 / 3);
      doc.colour(2)[i] = static_cast<uint8_t>(255 - x / 2);
    }
  doc.transparency = doc.newPlane(255);
  host::saveImage(doc, folder_ / "picture.tif");

  Seen seen;
  bool openedFilter = false, openedDialog = false, sawDialog = false;
  using platform::automation::queueStep;
  queueStep([&] {
    Window* host = platform::automation::findWindow(host::kHostWindowTitle);
    openedFilter = host != nullptr && platform::automation::chooseMenuItem(*host, {"Filter", "Corvane", "Tessaly..."});
  });
  queueStep([&] {
    Window* navigator = platform::automation::findWindow("Navigator");
    if (navigator == nullptr || navigator->owner() == nullptr) return;
    // The navigator is dragged to the middle of the screen, where the
    // dialog will come up.
    const Rect r = navigator->windowRect();
    const platform::Rect area = platform::workArea();
    const int left = (area.left + area.right) / 2, top = (area.top + area.bottom) / 2;
    navigator->move({left, top, left + r.width(), top + r.height()});
    openedDialog = platform::automation::chooseMenuItem(*navigator->owner(), {"File", "Save/Apply..."});
  });
  queueStep([&] {
    Window* navigator = platform::automation::findWindow("Navigator");
    Window* dialog = platform::automation::findWindow("Clipping Path");
    if (navigator == nullptr || dialog == nullptr) return;
    sawDialog = true;
    Window* work = navigator->owner();
    const Rect screen{0, 0, platform::systemMetric(platform::kSmCxScreen), platform::systemMetric(platform::kSmCyScreen)};
    if (!platform::backend::grabScreen(screen, seen.screen)) return;
    seen.work = drawn(*work);
    seen.navigator = drawn(*navigator);
    seen.dialog = drawn(*dialog);
    for (Window* w : Window::topLevelWindows())
      if (w->owner() == work && w != navigator && w != dialog && w->isVisible()) seen.otherOwned.push_back(shownRect(*w));
    seen.navigatorOwner = transientOwnerName("Navigator");
    seen.dialogOwner = transientOwnerName("Clipping Path");
    platform::automation::queueDialogAnswer({"No Path", {}});
  });
  ASSERT_FALSE(host::ensurePreferenceLocation().empty());
  host::PluginFolder plugins = host::PluginFolder::scan(host::executableFolder());
  host::runInteractive(plugins, folder_ / "picture.tif");
  ASSERT_TRUE(openedFilter);
  ASSERT_TRUE(openedDialog) << "Save/Apply is in the work window's File menu";
  ASSERT_TRUE(sawDialog) << "Save/Apply asks the Clipping Path question";
  ASSERT_EQ(seen.screen.width(), platform::systemMetric(platform::kSmCxScreen)) << "the screen could be read";
  // Kept beside the test for a look when it fails.
  seen.screen.savePng("real-display-screen.png");

  const Rect navigator = seen.navigator.shown, dialog = seen.dialog.shown, work = seen.work.shown;
  ASSERT_TRUE(overlap(navigator, work) && overlap(dialog, work) && overlap(dialog, navigator))
      << "the three windows overlap, so the order shows";
  const auto coveredByOther = [&](int x, int y) {
    for (const Rect& r : seen.otherOwned)
      if (inside(r, x, y)) return true;
    return false;
  };
  long navigatorWrong = 0, navigatorChecked = 0, workDiffers = 0, dialogWrong = 0, dialogChecked = 0;
  for (int y = 0; y < seen.screen.height(); ++y)
    for (int x = 0; x < seen.screen.width(); ++x) {
      const platform::Colour shown = seen.screen.pixel(x, y);
      if (inside(dialog, x, y)) {
        ++dialogChecked;
        dialogWrong += shown != seen.dialog.at(x, y);
      } else if (inside(navigator, x, y) && inside(work, x, y) && !coveredByOther(x, y)) {
        ++navigatorChecked;
        navigatorWrong += shown != seen.navigator.at(x, y);
        workDiffers += seen.work.at(x, y) != seen.navigator.at(x, y);
      }
    }
  EXPECT_GT(navigatorChecked, 1000);
  EXPECT_GT(workDiffers, navigatorChecked / 2) << "the work window would look different there";
  EXPECT_EQ(navigatorWrong, 0) << "of " << navigatorChecked << " pixels where the navigator lies over the work window";
  EXPECT_GT(dialogChecked, 1000);
  EXPECT_EQ(dialogWrong, 0) << "of " << dialogChecked << " pixels of the dialog, over the navigator and the work window";
  EXPECT_EQ(seen.navigatorOwner, "Tessaly") << "a window manager is told the navigator belongs to the work window";
  EXPECT_EQ(seen.dialogOwner, "Tessaly") << "and the dialog too";
}

}  // namespace
