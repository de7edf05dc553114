// Window messages. Numbers are the classic desktop system's, so code written
// against that system reads the same here.
#pragma once

#include <cstdint>

namespace platform {

class Window;

struct Message {
  Window* window = nullptr;  // null: a thread message
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  uint32_t time = 0;  // tick count when posted
  int32_t x = 0, y = 0;  // cursor position in screen coordinates when posted
};

enum : uint32_t {
  kWmNull = 0x0000,
  kWmCreate = 0x0001,
  kWmDestroy = 0x0002,
  kWmMove = 0x0003,
  kWmSize = 0x0005,
  kWmActivate = 0x0006,
  kWmSetFocus = 0x0007,
  kWmKillFocus = 0x0008,
  kWmEnable = 0x000A,
  kWmSetRedraw = 0x000B,
  kWmPaint = 0x000F,
  kWmClose = 0x0010,
  kWmQueryEndSession = 0x0011,
  kWmQuit = 0x0012,
  kWmEraseBkgnd = 0x0014,
  kWmShowWindow = 0x0018,
  kWmSetCursor = 0x0020,
  kWmGetMinMaxInfo = 0x0024,
  kWmHelp = 0x0053,
  kWmKeyDown = 0x0100,
  kWmKeyUp = 0x0101,
  kWmChar = 0x0102,
  kWmSysKeyDown = 0x0104,
  kWmSysKeyUp = 0x0105,
  kWmInitDialog = 0x0110,
  kWmCommand = 0x0111,
  kWmSysCommand = 0x0112,
  kWmTimer = 0x0113,
  kWmHScroll = 0x0114,
  kWmVScroll = 0x0115,
  kWmInitMenuPopup = 0x0117,
  kWmMouseMove = 0x0200,
  kWmLButtonDown = 0x0201,
  kWmLButtonUp = 0x0202,
  kWmLButtonDblClk = 0x0203,
  kWmRButtonDown = 0x0204,
  kWmRButtonUp = 0x0205,
  kWmRButtonDblClk = 0x0206,
  kWmUser = 0x0400,
};

// Virtual keys.
enum : uint32_t {
  kVkBack = 0x08,
  kVkTab = 0x09,
  kVkReturn = 0x0D,
  kVkShift = 0x10,
  kVkControl = 0x11,
  kVkMenu = 0x12,  // Alt
  kVkEscape = 0x1B,
  kVkSpace = 0x20,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28,
  kVkF1 = 0x70,
  kVkLButton = 0x01,
  kVkRButton = 0x02,
};

}  // namespace platform
