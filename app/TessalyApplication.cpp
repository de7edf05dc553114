#include "app/TessalyApplication.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "display/CMaskView.h"
#include "display/CZoomView.h"
#include "display/CWorkDocument.h"
#include "image/HostImage.h"
#include "platform/Input.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/Time.h"
#include "platform/Window.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "shell/ErrorRecord.h"
#include "shell/PlugIn.h"
#include "shell/PlugInServices.h"
#include "tools/ColourClassifier.h"
#include "tools/ToolRegistry.h"
#include "tools/WorkKeys.h"
#include "ui/CNavFrame.h"
#include "ui/CWorkWindow.h"
#include "workspace/PreferenceFile.h"
#include "workspace/Workspace.h"

namespace {

constexpr size_t kReserveBytes = 40960;
constexpr uint32_t kIdleBudget = 500;          // milliseconds of idle drawing
constexpr uint32_t kHostBusyMessage = 1547;    // the host's own message while a plug-in runs
constexpr int kWorkKeyboardRepeatSpeed = 16;
constexpr const char* kCaption = "Tessaly";

// Titles of the host main windows the plug-in knows, compared without
// regard to case.
constexpr const char* kHostTitles[] = {"adobe photoshop", "adobe photoshop le", "tessaly host"};

bool sameTextIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

void showText(int32_t stringId, unsigned icon) {
  platform::messageBox(nullptr, stringResource(stringId), kCaption, icon | platform::kMbOk);
}

// The modifier word of the work window's key handlers: Shift 4, Ctrl 8,
// Alt 0x40, right button 2, and 1 while the left button is up. The key
// state is the one that goes with the message being handled, which is the
// live state when messages are handled as they come and stays right when
// input arrives faster than it is handled.
unsigned currentModifiers() {
  const auto down = [](uint32_t key) { return (platform::keyState(key) & 0x8000) != 0; };
  unsigned modifiers = 0;
  if (down(platform::kVkShift)) modifiers |= 4;
  if (down(platform::kVkControl)) modifiers |= 8;
  if (down(platform::kVkMenu)) modifiers |= 0x40;
  if (down(platform::kVkRButton)) modifiers |= 2;
  if (!down(platform::kVkLButton)) modifiers |= 1;
  return modifiers;
}

// The host's window hidden and disabled, and the keyboard repeating faster,
// for the lifetime of a run; both restored also when the run throws.
class StHostHidden {
 public:
  StHostHidden() : host_(TessalyApplication::hostWindow()), repeatSpeed_(platform::keyboardRepeatSpeed()) {
    if (host_ != nullptr) {
      placement_ = host_->placement();
      host_->show(platform::kSwHide);
      host_->show(platform::kSwMinimize);
      host_->show(platform::kSwHide);
      host_->enable(false);
    }
    platform::setKeyboardRepeatSpeed(kWorkKeyboardRepeatSpeed);
  }
  ~StHostHidden() {
    platform::setKeyboardRepeatSpeed(repeatSpeed_);
    if (host_ == nullptr || !platform::Window::isWindow(host_)) return;
    host_->enable(true);
    host_->show(platform::kSwHide);
    host_->show(placement_.showCommand);
  }
  StHostHidden(const StHostHidden&) = delete;
  StHostHidden& operator=(const StHostHidden&) = delete;

 private:
  platform::Window* host_;
  int repeatSpeed_;
  platform::WindowPlacement placement_;
};

// The filter's start runs this: hide the host, initialise, run, restore.
void runWorkWindow() {
  StHostHidden hidden;
  TessalyApplication& app = theApplication();
  if (!app.initInstance()) {
    PUSH_ERROR(kResultQuiet, kGroupHost);
    return;
  }
  app.run();
}

const bool kRegistered = [] {
  plugInServices().runWorkWindow = runWorkWindow;
  return true;
}();

// Finds, depth-first, the menu that holds an item with exactly this text.
platform::Menu* menuHolding(platform::Menu& menu, std::string_view text) {
  if (menu.findByText(text) != nullptr) return &menu;
  for (size_t i = 0; i < menu.itemCount(); ++i) {
    if (platform::Menu* sub = menu.item(i).submenu.get())
      if (platform::Menu* found = menuHolding(*sub, text)) return found;
  }
  return nullptr;
}

}  // namespace

TessalyApplication& theApplication() {
  static TessalyApplication application;
  return application;
}

TessalyApplication::TessalyApplication() : navigators_(std::make_unique<NavigatorParticipant>()) {}

TessalyApplication::~TessalyApplication() = default;

platform::Window* TessalyApplication::hostWindow() {
  static platform::Window* remembered = nullptr;
  if (remembered != nullptr && platform::Window::isWindow(remembered)) return remembered;
  remembered = nullptr;
  for (platform::Window* window : platform::Window::topLevelWindows()) {
    if (!platform::Window::isWindow(window)) continue;
    for (const char* title : kHostTitles) {
      if (sameTextIgnoringCase(window->title(), title)) return remembered = window;
    }
  }
  return nullptr;
}

bool TessalyApplication::initInstance() {
  if (!reserve_) reserve_.reset(new (std::nothrow) char[kReserveBytes]);
  const auto path = ReadPreferenceFileLocation();
  if (!path) {
    showText(kStrRegistryMissing, platform::kMbIconStop);
    return false;
  }
  preferencePath_ = *path;
  return true;
}

int TessalyApplication::run() {
  // The mask under edit is the last plane of the host's output; the
  // working image is the document's colour planes, by absolute number.
  HostImage mask(PixelLayout{1, kHostModeGrayScale}, static_cast<int16_t>(gFilterRecord->planes - 1),
                 HostStream::output);
  HostImage working(PixelLayout{gColourChannels, gImageMode}, 0, HostStream::input, true);
  CWorkWindow window;
  if (!window.CreateWorkWindow()) {
    PUSH_ERROR(2, kGroupPlugIn);
    return 1;
  }
  setMainWindow(&window);
  if (CWorkDocument* document = CWorkDocument::Current()) document->SetWorkImages(&mask, &working);

  if (!LoadPreferenceFile(preferencePath_)) window.SetDefaultLayout();
  window.setFocus();
  // The classifier was built for this document's colours and mode.
  struct StClassifierDiscarded {
    ~StClassifierDiscarded() { discardClassifier(); }
  } classifierDiscarded;
  int exitCode = 0;
  try {
    exitCode = platform::Application::run();
  } catch (...) {
    setMainWindow(nullptr);
    throw;
  }
  setMainWindow(nullptr);
  return exitCode;
}

bool TessalyApplication::preTranslateMessage(const platform::Message& message) {
  platform::Window* host = hostWindow();
  if (message.message == kHostBusyMessage && host != nullptr && message.window == host) {
    showText(kStrPlugInRunning, platform::kMbIconExclamation);
    return true;
  }
  switch (message.message) {
    case platform::kWmKeyDown:
    case platform::kWmSysKeyDown:
      if (keyDown(static_cast<uint32_t>(message.wParam), currentModifiers(), (message.lParam & (1 << 30)) != 0))
        return true;
      break;
    case platform::kWmKeyUp:
    case platform::kWmSysKeyUp:
      if (keyUp(static_cast<uint32_t>(message.wParam), currentModifiers())) return true;
      break;
    default:
      break;
  }
  return platform::Application::preTranslateMessage(message);
}

namespace {

constexpr unsigned kShiftHeld = 4, kCtrlHeld = 8, kAltHeld = 0x40;
constexpr uint32_t kVkOemPlus = 0xBB, kVkOemMinus = 0xBD, kVkAdd = 0x6B, kVkSubtract = 0x6D;

CZoomView* activeZoomView() {
  CWorkDocument* document = CWorkDocument::Current();
  return document != nullptr ? dynamic_cast<CZoomView*>(document->MainView()) : nullptr;
}

// Ctrl with "+" or "=", "-", "0": zoom the active view in, out, to fit;
// Ctrl+Alt+0 shows it at 1:1.
bool zoomKey(uint32_t key, unsigned modifiers) {
  if (!(modifiers & kCtrlHeld)) return false;
  CZoomView* view = activeZoomView();
  if (view == nullptr) return false;
  if (key == kVkOemPlus || key == kVkAdd) {
    view->ZoomAroundCentre(view->Zoom() * 2);
  } else if (key == kVkOemMinus || key == kVkSubtract) {
    view->ZoomAroundCentre(view->Zoom() * 0.5);
  } else if (key == '0') {
    if (modifiers & kAltHeld)
      view->ZoomAroundCentre(1.0);
    else
      view->ZoomToFit();
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool TessalyApplication::keyDown(uint32_t virtualKey, unsigned modifiers, bool repeated) {
  if (ToolKeyDown(virtualKey, modifiers, repeated)) return true;
  if (zoomKey(virtualKey, modifiers)) return true;
  if (WorkKeyDown(virtualKey, modifiers, repeated)) return true;
  CWorkDocument* document = CWorkDocument::Current();
  if (virtualKey == platform::kVkBack && document != nullptr) {
    if (modifiers & kShiftHeld)
      document->Redo();
    else
      document->Undo();
    return true;
  }
  if (virtualKey == platform::kVkTab) {
    if (auto* window = dynamic_cast<CWorkWindow*>(mainWindow())) window->TogglePalettes();
    return true;
  }
  return false;
}

bool TessalyApplication::keyUp(uint32_t virtualKey, unsigned modifiers) {
  return ToolKeyUp(virtualKey, modifiers) || WorkKeyUp(virtualKey, modifiers);
}

bool TessalyApplication::idleWork(uint32_t deadline) {
  CWorkDocument* document = CWorkDocument::Current();
  if (document == nullptr) return false;
  const auto offer = [deadline](DocumentView* view) {
    return view->HasPendingWork() && view->DrawPendingUntil(deadline);
  };
  DocumentView* main = document->MainView();
  if (main != nullptr && offer(main)) return true;
  for (DocumentView* view = document->FirstView(); view != nullptr; view = view->nextView()) {
    if (view != main && offer(view)) return true;
  }
  return false;
}

bool TessalyApplication::onIdle(long count) {
  bool more = platform::Application::onIdle(count);
  try {
    more = idleWork(platform::tickCount() + kIdleBudget) || more;
  } catch (const XCancel&) {
  } catch (const XReduce&) {
  } catch (const XMemory&) {
    throw platform::MemoryException();
  } catch (const XOrigin&) {
    throw platform::UserException();
  } catch (const std::exception&) {
  }
  return more;
}

bool TessalyApplication::onCommand(uint32_t id) {
  CWorkDocument* document = CWorkDocument::Current();
  switch (id) {
    case kCmdSaveApply:
      saveApply();
      return true;
    case kCmdExit:
      exitFlow();
      return true;
    case kCmdLoadWorkspace:
      LoadWorkspaceWithDialog(mainWindow());
      return true;
    case kCmdSaveWorkspace:
      SaveWorkspaceWithDialog(mainWindow());
      return true;
    case kCmdNewNavigator:
      if (mainWindow() != nullptr) CNavFrame::NewNavigator(*mainWindow());
      return true;
    case kCmdUndo:
      if (document != nullptr) document->Undo();
      return true;
    case kCmdRedo:
      if (document != nullptr) document->Redo();
      return true;
    default:
      return false;
  }
}

bool TessalyApplication::onUpdateCommand(platform::CommandUpdate& update) {
  CWorkDocument* document = CWorkDocument::Current();
  switch (update.id) {
    case kCmdUndo:
      update.enable(document != nullptr && document->CanUndo());
      return true;
    case kCmdRedo:
      update.enable(document != nullptr && document->CanRedo());
      return true;
    case kCmdNewNavigator:
      update.enable(CNavFrame::Count() < CNavFrame::kMaxNavigators);
      return true;
    case kCmdSaveApply:
    case kCmdExit:
    case kCmdLoadWorkspace:
    case kCmdSaveWorkspace:
      update.enable(true);
      return true;
    default:
      return false;
  }
}

void TessalyApplication::writeDefaultPreferences() { SavePreferenceFile(preferencePath_); }

void TessalyApplication::endRun() {
  CWorkWindow* window = static_cast<CWorkWindow*>(mainWindow());
  if (window != nullptr) {
    window->HideWithOwnedWindows();
    window->sendToBottom();
    window->destroy();
  }
  platform::postQuitMessage(0);
}

void TessalyApplication::saveApply() {
  if (auto ask = plugInServices().askClippingPath; ask != nullptr && gFilterRecord != nullptr &&
                                                    gFilterRecord->channelPortProcs != nullptr) {
    if (!ask()) return;
  }
  writeDefaultPreferences();
  endRun();
}

void TessalyApplication::exitFlow() {
  const int answer =
      platform::messageBox(mainWindow(), stringResource(kStrApplyBeforeClosing), kCaption,
                           platform::kMbIconExclamation | platform::kMbYesNoCancel);
  if (answer == platform::kIdYes) {
    saveApply();
  } else if (answer == platform::kIdNo) {
    PUSH_ERROR(kResultQuiet, kGroupHost);
    writeDefaultPreferences();
    endRun();
  }
}

int TessalyApplication::exitInstance() {
  if (postPathCommand_) {
    postPathCommand_ = false;
    postHostMenuCommand();
  }
  return platform::Application::exitInstance();
}

// The host's "Make Work Path..." command: in the host's menu bar, the menu
// that holds "Corvane Tessaly", inside it the menu that holds
// "Make Work Path...", and that menu's first item.
void TessalyApplication::postHostMenuCommand() {
  platform::Window* host = hostWindow();
  if (host == nullptr || host->menu() == nullptr) return;
  platform::Menu* group = menuHolding(*host->menu(), stringResource(kStrMakeWorkPathGroup));
  if (group == nullptr) return;
  platform::Menu::Item* groupItem = group->findByText(stringResource(kStrMakeWorkPathGroup));
  platform::Menu* inside = groupItem->submenu ? groupItem->submenu.get() : group;
  platform::Menu* commands = menuHolding(*inside, stringResource(kStrMakeWorkPathItem));
  if (commands == nullptr || commands->itemCount() == 0) return;
  host->post(platform::kWmCommand, commands->itemId(0));
}

intptr_t TessalyApplication::processMessageException(std::exception_ptr error,
                                                      const platform::Message& message) {
  static bool repaintFailureShown = false;
  bool quit = false;
  try {
    std::rethrow_exception(error);
  } catch (const platform::MemoryException&) {
    reserve_.reset();
    pushAndReportError(kErrOutOfMemory, kGroupGeneral);
  } catch (const XMemory&) {
    reserve_.reset();
    clearErrors();
    pushAndReportError(kErrOutOfMemory, kGroupGeneral);
  } catch (const platform::ResourceException&) {
    reserve_.reset();
    pushAndReportError(kErrOutOfMemory, kGroupGeneral);
  } catch (const platform::UserException&) {
    quit = reportUserFailure();
  } catch (const XOrigin&) {
    quit = reportUserFailure();
  } catch (const XReentry&) {
  } catch (...) {
    platform::Application::processMessageException(std::current_exception(), message);
  }
  if (message.message == platform::kWmPaint || message.message == platform::kWmNull) {
    if (!repaintFailureShown) {
      repaintFailureShown = true;
      showText(kStrRepaintFailed, platform::kMbIconExclamation);
    }
    if (message.window != nullptr && platform::Window::isWindow(message.window)) message.window->validate();
  }
  if (quit) {
    if (!errorPending()) PUSH_ERROR(kResultQuiet, kGroupHost);
    if (mainWindow() != nullptr) mainWindow()->destroy();
    platform::postQuitMessage(0);
  }
  return 0;
}

// A user exception: records pending are shown, unless the newest is the
// quiet cancel record, which ends the run. Nothing pending: message 3003.
bool TessalyApplication::reportUserFailure() {
  if (!errorPending()) {
    showText(kStrUnknownException, platform::kMbIconExclamation);
    return false;
  }
  if (pendingErrorCode() == kResultQuiet && pendingErrorGroup() == kGroupHost) return true;
  reportErrors();
  return false;
}
