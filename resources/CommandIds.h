// Command identifiers of the work window's menu, accelerators and bars.
#pragma once

#include <cstdint>

enum CommandId : uint32_t {
  kCmdSaveApply = 0x8004,
  kCmdLoadWorkspace = 0x8006,
  kCmdSaveWorkspace = 0x8009,
  kCmdNewNavigator = 0x800B,
  kCmdKeepColours = 0x800D,
  kCmdDropColours = 0x800E,
  kCmdToolbox = 0x800F,
  kCmdBrushSize = 0x8010,
  kCmdThreshold = 0x8011,
  kCmdNothing = 0x8012,  // Ctrl+W: accepted, and nothing happens
  kCmdExit = 0xE141,
  kCmdUndo = 0xE12B,
  kCmdRedo = 0xE12C,
};

// The work window's frame resources: menu, accelerators and icon.
constexpr int kWorkWindowResource = 1;
// The first pane of a frame's client area.
constexpr int kFirstPaneId = 0xE900;
