// The work window's menu and accelerator table, registered with the
// windowing layer when the library loads.
#include "platform/Accelerator.h"
#include "platform/Resources.h"
#include "resources/CommandIds.h"

namespace {

using platform::MenuTemplate;

MenuTemplate item(const char* text, uint32_t id) { return {text, id, {}}; }

std::vector<MenuTemplate> workWindowMenu() {
  const MenuTemplate separator;
  return {
      {"&File", 0,
       {item("&Save/Apply...\tCtrl+S", kCmdSaveApply),
        separator,
        item("&Load Workspace...", kCmdLoadWorkspace),
        item("Save &Workspace...", kCmdSaveWorkspace),
        separator,
        item("E&xit\tCtrl+Q", kCmdExit)}},
      {"&Edit", 0, {item("&Undo\tCtrl+Z", kCmdUndo), item("&Redo\tCtrl+Y", kCmdRedo)}},
      {"&Window", 0,
       {item("&New Navigator\tCtrl+N", kCmdNewNavigator),
        separator,
        item("&Keep Colors", kCmdKeepColours),
        item("&Drop Colors", kCmdDropColours),
        separator,
        item("&Toolbox", kCmdToolbox),
        separator,
        item("&Brush Size", kCmdBrushSize),
        item("T&hreshold", kCmdThreshold)}},
  };
}

platform::AcceleratorTable workWindowAccelerators() {
  constexpr uint8_t kCtrlKey = platform::kFVirtKey | platform::kFControl | platform::kFNoInvert;
  return {
      {kCtrlKey, 'N', kCmdNewNavigator}, {kCtrlKey, 'Q', kCmdExit}, {kCtrlKey, 'S', kCmdSaveApply},
      {kCtrlKey, 'W', kCmdNothing},      {kCtrlKey, 'Y', kCmdRedo}, {kCtrlKey, 'Z', kCmdUndo},
  };
}

const bool kRegistered = [] {
  platform::resources::registerMenu(kWorkWindowResource, workWindowMenu());
  platform::resources::registerAccelerators(kWorkWindowResource, workWindowAccelerators());
  return true;
}();

}  // namespace
