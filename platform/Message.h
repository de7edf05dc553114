// Window messages. Numbers are the classic desktop system's, so code written
// against that system reads the same here.
#pragma once

#include <cstdint>

#include "platform/Geometry.h"

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
  kWmSysChar = 0x0106,
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
  kWmSetText = 0x000C,
  kWmNcDestroy = 0x0082,
  kWmInitMenu = 0x0116,
  kWmMouseWheel = 0x020A,
  kWmCaptureChanged = 0x0215,
  // The pointer went on to another window (or off every window) without
  // the capture: the window it left hears it once.
  kWmMouseLeave = 0x02A3,
  kWmDrawItem = 0x002B,
  kWmMeasureItem = 0x002C,
  kWmCancelMode = 0x001F,
  // The framework's: asks windows to bring command states up to date.
  kWmIdleUpdateCmdUi = 0x0363,
  kWmUser = 0x0400,
};

// Mouse message flags (wParam) and key message bits (lParam).
enum : uint32_t {
  kMkLButton = 0x0001,
  kMkRButton = 0x0002,
  kMkShift = 0x0004,
  kMkControl = 0x0008,
  kMkMButton = 0x0010,
};
inline constexpr intptr_t kKeyPreviouslyDown = intptr_t{1} << 30;
inline constexpr intptr_t kKeyAltDown = intptr_t{1} << 29;
inline constexpr intptr_t kKeyReleased = intptr_t{1} << 31;

// Scroll codes (low word of wParam of the scroll messages; the high word is
// the thumb position for the thumb codes).
enum : uint32_t {
  kSbLineUp = 0,
  kSbLineDown = 1,
  kSbPageUp = 2,
  kSbPageDown = 3,
  kSbThumbPosition = 4,
  kSbThumbTrack = 5,
  kSbTop = 6,
  kSbBottom = 7,
  kSbEndScroll = 8,
};

// wParam of kWmSize.
enum : uint32_t {
  kSizeRestored = 0,
  kSizeMinimized = 1,
  kSizeMaximized = 2,
};

// Packs a point as mouse messages carry it: x in the low word, y in the
// high word, both signed 16-bit.
constexpr intptr_t makePointParam(int32_t x, int32_t y) {
  return static_cast<intptr_t>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x));
}
constexpr int32_t pointParamX(intptr_t l) { return static_cast<int16_t>(static_cast<uint16_t>(l)); }
constexpr int32_t pointParamY(intptr_t l) { return static_cast<int16_t>(static_cast<uint16_t>(l >> 16)); }
constexpr Point pointOfParam(intptr_t l) { return {pointParamX(l), pointParamY(l)}; }
constexpr uint32_t lowWord(uintptr_t w) { return static_cast<uint16_t>(w); }
constexpr uint32_t highWord(uintptr_t w) { return static_cast<uint16_t>(w >> 16); }
constexpr uintptr_t makeWParam(uint32_t low, uint32_t high) { return (uintptr_t{high & 0xFFFF} << 16) | (low & 0xFFFF); }

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
  kVkPrior = 0x21,
  kVkNext = 0x22,
  kVkEnd = 0x23,
  kVkHome = 0x24,
  kVkDelete = 0x2E,
  kVkF1 = 0x70,
  kVkF10 = 0x79,
  kVkOemPlus = 0xBB,
  kVkOemMinus = 0xBD,
  kVkOem4 = 0xDB,  // [ {
  kVkOem6 = 0xDD,  // ] }
  kVkLButton = 0x01,
  kVkRButton = 0x02,
  kVkMButton = 0x04,
};

}  // namespace platform
