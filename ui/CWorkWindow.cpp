#include "ui/CWorkWindow.h"

#include <algorithm>

#include "display/CTool.h"
#include "platform/Input.h"
#include "platform/MessageBox.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "ui/CDoubleSliderBar.h"
#include "ui/CKeepDropBar.h"
#include "ui/CNavFrame.h"
#include "ui/CToolboxBar.h"
#include "tools/ColourList.h"
#include "tools/SliderValues.h"
#include "tools/ToolRegistry.h"

namespace {

// The Window menu's bar toggles; a bar's id is its command's id.
constexpr uint32_t kBarCommands[] = {kCmdKeepColours, kCmdDropColours, kCmdToolbox, kCmdBrushSize, kCmdThreshold};

bool isBarCommand(uint32_t id) { return std::find(std::begin(kBarCommands), std::end(kBarCommands), id) != std::end(kBarCommands); }

// The toolbox has a window id of its own; the other bars go by their
// command's.
int barIdOfCommand(uint32_t id) { return id == kCmdToolbox ? CToolboxBar::kBarId : static_cast<int>(id); }

// Docking on all four sides is allowed, though the bars only float.
constexpr unsigned kDockAnySide = 0xF000;

// The bars float at fixed screen points, their tops aligned.
constexpr platform::Point kToolboxAt{10, 45}, kBrushBarAt{80, 45}, kThresholdBarAt{80, 115}, kKeepBarAt{250, 45},
                          kDropBarAt{350, 45};

}  // namespace

CWorkWindow::CWorkWindow() : participant_(*this) {}

CWorkWindow::~CWorkWindow() {
  if (exists()) destroy();
}

bool CWorkWindow::CreateWorkWindow() {
  return loadFrame(kWorkWindowResource, platform::kWsOverlappedWindow, nullptr, "Tessaly");
}

bool CWorkWindow::onCreateClient() { return container_.CreateIn(*this, kFirstPaneId); }

// The bars only float; a bar that cannot be made is left out, and its
// Window menu item stays greyed.
void CWorkWindow::CreateBars() {
  enableDocking(kDockAnySide);
  if (Toolbox().CreateToolbox(*this)) Toolbox().floatAt(kToolboxAt);
  if (BrushSliderBar().CreateSliderBar(*this, kCmdBrushSize, "Brush Size")) BrushSliderBar().floatAt(kBrushBarAt);
  if (ThresholdSliderBar().CreateSliderBar(*this, kCmdThreshold, "Threshold"))
    ThresholdSliderBar().floatAt(kThresholdBarAt);
  if (KeepBar().CreateKeepDropBar(*this, kCmdKeepColours)) KeepBar().floatAt(kKeepBarAt);
  if (DropBar().CreateKeepDropBar(*this, kCmdDropColours)) DropBar().floatAt(kDropBarAt);
}

void CWorkWindow::SetDefaultLayout() {
  SelectPencilAlone();
  // Each list starts with an empty set, which the eyedroppers fill.
  for (ColourList* list : {&KeepColourList(), &DropColourList()})
    if (list->RowCount() == 0) list->AddEmptySet(false);
  CNavFrame::NewNavigator(*this);
  for (platform::ControlBar* bar : controlBars()) showControlBar(*bar, true, false);
  show(platform::kSwShowMaximized);
  RefreshMainView();
}

void CWorkWindow::RefreshMainView() {
  CMainView& view = MainView();
  if (!view.exists()) return;
  view.SetOverlayOpacity(OverlayOpacity().value());
  view.SetGreyMidpoint(DisplaySetting().value());
  view.ZoomToFit();
}

void CWorkWindow::HideWithOwnedWindows() {
  for (platform::Window* window : platform::Window::topLevelWindows()) {
    if (window->owner() == this) window->show(platform::kSwHide);
  }
  show(platform::kSwHide);
}

platform::ControlBar* CWorkWindow::BarOfCommand(uint32_t id) const {
  platform::ControlBar* bar = controlBar(barIdOfCommand(id));
  return bar != nullptr && bar->exists() ? bar : nullptr;
}

// Whether Tab has hidden the palettes is kept apart from the set of bars it
// hid: with every bar closed beforehand the set stays empty, and the next
// Tab must still bring the navigators back.
void CWorkWindow::TogglePalettes() {
  if (palettesHidden_) {
    for (platform::ControlBar* bar : tabHidden_) showControlBar(*bar, true, true);
    tabHidden_.clear();
    palettesHidden_ = false;
    CNavFrame::ShowAll(true);
    return;
  }
  for (uint32_t id : kBarCommands) {
    platform::ControlBar* bar = BarOfCommand(id);
    if (bar == nullptr) continue;
    if (bar->isBarVisible()) tabHidden_.push_back(bar);
    showControlBar(*bar, false, true);
  }
  palettesHidden_ = true;
  CNavFrame::ShowAll(false);
}

bool CWorkWindow::onCommand(uint32_t id) {
  if (!isBarCommand(id)) return false;
  if (platform::ControlBar* bar = BarOfCommand(id)) showControlBar(*bar, !bar->isBarVisible(), true);
  return true;
}

bool CWorkWindow::onUpdateCommand(platform::CommandUpdate& update) {
  if (!isBarCommand(update.id)) return false;
  platform::ControlBar* bar = BarOfCommand(update.id);
  const bool hiddenByTab = std::find(tabHidden_.begin(), tabHidden_.end(), bar) != tabHidden_.end();
  update.enable(bar != nullptr);
  update.setCheck(bar != nullptr && (bar->isBarVisible() || hiddenByTab));
  return true;
}

intptr_t CWorkWindow::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case platform::kWmCreate: {
      const intptr_t created = FrameWindow::handleMessage(message, wParam, lParam);
      if (created != -1) CreateBars();
      return created;
    }
    case platform::kWmGetMinMaxInfo: {
      auto* info = reinterpret_cast<platform::MinMaxInfo*>(lParam);
      info->minTrackSize = kMinimumTrackSize;
      return 0;
    }
    case platform::kWmHelp:
      return 1;  // there is no help
    case platform::kWmInitMenu:
      // Alt opens the menu: the keep eyedropper that Alt called up ends
      // first, or it would outlast the key.
      if ((platform::keyState(platform::kVkMenu) & 0x8000) != 0)
        if (CTool* keep = FindTool(kToolKeepEyedropper)) EndTemporaryTool(*keep);
      break;
    case platform::kWmQueryEndSession:
      platform::messageBox(this, stringResource(kStrNoShutdown), "Tessaly",
                           platform::kMbIconInformation | platform::kMbOk);
      return 0;
    case platform::kWmSize:
      if (container_.exists()) container_.move(clientRect());
      break;
    case platform::kWmSetFocus:
      if (MainView().exists()) {
        MainView().setFocus();
        return 0;
      }
      break;
    case platform::kWmClose:
      if (platform::Application::current() != nullptr &&
          platform::Application::current()->mainWindow() == this) {
        routeCommand(kCmdExit);
        return 0;
      }
      break;
    default:
      break;
  }
  return FrameWindow::handleMessage(message, wParam, lParam);
}

// ---- Workspace records ----

void CWorkWindow::Participant::LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) {
  if (tag == kBarLayoutTag) {
    window_.loadBarState(std::vector<uint8_t>(payload, payload + size));
    return;
  }
  if (tag != kWorkWindowPlacementTag || size != kPlacementRecordSize) return;
  platform::WindowPlacement placement;
  const auto at = [payload](int field) { return loadLittleEndianInt32(payload + 4 * field); };
  placement.flags = loadLittleEndian32(payload + 4);
  placement.showCommand = at(2) == platform::kSwShowMaximized ? platform::kSwShowMaximized : platform::kSwShowNormal;
  placement.minPosition = {at(3), at(4)};
  placement.maxPosition = {at(5), at(6)};
  placement.normalPosition = {at(7), at(8), at(9), at(10)};
  window_.setPlacement(placement);
  placementLoaded_ = true;
}

// A file without a placement would leave the window invisible: it opens
// maximised instead.
void CWorkWindow::Participant::EndLoad() {
  if (!placementLoaded_) window_.show(platform::kSwShowMaximized);
  window_.RefreshMainView();
}

void CWorkWindow::Participant::Save() {
  const platform::WindowPlacement placement = window_.placement();
  uint8_t record[kPlacementRecordSize];
  const int32_t fields[] = {static_cast<int32_t>(kPlacementRecordSize),
                            static_cast<int32_t>(placement.flags),
                            window_.isMaximized() ? platform::kSwShowMaximized : platform::kSwShowNormal,
                            placement.minPosition.x,
                            placement.minPosition.y,
                            placement.maxPosition.x,
                            placement.maxPosition.y,
                            placement.normalPosition.left,
                            placement.normalPosition.top,
                            placement.normalPosition.right,
                            placement.normalPosition.bottom};
  for (size_t i = 0; i < std::size(fields); ++i) storeLittleEndianInt32(record + 4 * i, fields[i]);
  WriteRecord(kWorkWindowPlacementTag, kPlacementRecordSize, record);

  // The bar layout is stored with the palettes visible, even while Tab has
  // hidden them.
  const bool hidden = window_.PalettesHidden();
  if (hidden) window_.TogglePalettes();
  const std::vector<uint8_t> layout = window_.saveBarState();
  if (hidden) window_.TogglePalettes();
  WriteRecord(kBarLayoutTag, static_cast<uint32_t>(layout.size()), layout.data());
}
