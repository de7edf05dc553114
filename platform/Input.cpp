#include "platform/Input.h"

#include <array>
#include <atomic>

#include "platform/Message.h"
#include "platform/internal/InputState.h"
#include "platform/internal/WindowSystem.h"

namespace platform {
namespace {

std::array<std::atomic<bool>, 256>& keys() {
  static std::array<std::atomic<bool>, 256> state{};
  return state;
}
std::array<std::atomic<bool>, 256>& queuedKeys() {
  static std::array<std::atomic<bool>, 256> state{};
  return state;
}
// Both coordinates in one word, so that a thread reading the pointer while
// it moves gets one position, never x of one and y of another.
std::atomic<uint64_t> gCursor{0};

uint64_t packPoint(Point p) { return static_cast<uint64_t>(static_cast<uint32_t>(p.x)) << 32 | static_cast<uint32_t>(p.y); }
Point unpackPoint(uint64_t word) {
  return {static_cast<int32_t>(static_cast<uint32_t>(word >> 32)), static_cast<int32_t>(static_cast<uint32_t>(word))};
}
std::atomic<int> gRepeatSpeed{31};

}  // namespace

namespace input {

void setKeyDown(uint32_t virtualKey, bool down) {
  if (virtualKey < 256) keys()[virtualKey] = down;
}
void setCursor(Point screen) { gCursor = packPoint(screen); }
uint32_t mouseFlags() {
  uint32_t flags = 0;
  if (isKeyDown(kVkLButton)) flags |= kMkLButton;
  if (isKeyDown(kVkRButton)) flags |= kMkRButton;
  if (isKeyDown(kVkShift)) flags |= kMkShift;
  if (isKeyDown(kVkControl)) flags |= kMkControl;
  if (isKeyDown(kVkMButton)) flags |= kMkMButton;
  return flags;
}
std::atomic<int32_t> gTakenX{0}, gTakenY{0};

Point lastMessagePoint() { return {gTakenX.load(), gTakenY.load()}; }

void messageTaken(uint32_t message, uintptr_t wParam, Point screen) {
  if ((message >= kWmKeyDown && message <= kWmSysKeyUp) || (message >= kWmMouseMove && message <= kWmRButtonDblClk)) {
    gTakenX = screen.x;
    gTakenY = screen.y;
  }
  switch (message) {
    case kWmKeyDown:
    case kWmSysKeyDown:
    case kWmKeyUp:
    case kWmSysKeyUp:
      if (wParam < 256) queuedKeys()[wParam] = message == kWmKeyDown || message == kWmSysKeyDown;
      break;
    case kWmLButtonDown: queuedKeys()[kVkLButton] = true; break;
    case kWmLButtonUp: queuedKeys()[kVkLButton] = false; break;
    case kWmRButtonDown: queuedKeys()[kVkRButton] = true; break;
    case kWmRButtonUp: queuedKeys()[kVkRButton] = false; break;
    default: break;
  }
}
void reset() {
  for (auto& k : keys()) k = false;
  for (auto& k : queuedKeys()) k = false;
  setCursor({0, 0});
}

}  // namespace input

int16_t asyncKeyState(uint32_t virtualKey) { return isKeyDown(virtualKey) ? static_cast<int16_t>(0x8000) : 0; }

int16_t keyState(uint32_t virtualKey) {
  return virtualKey < 256 && queuedKeys()[virtualKey] ? static_cast<int16_t>(0x8000) : 0;
}

bool isKeyDown(uint32_t virtualKey) { return virtualKey < 256 && keys()[virtualKey].load(); }

Point cursorPosition() { return unpackPoint(gCursor.load()); }

void setCursorPosition(Point screen) { WindowSystem::mouseInput(kWmMouseMove, screen, 0); }

void moveMouseRelative(int32_t dx, int32_t dy) {
  const Point p = cursorPosition();
  setCursorPosition({p.x + dx, p.y + dy});
}

uint32_t doubleClickTime() { return 500; }

int keyboardRepeatSpeed() { return gRepeatSpeed; }

bool setKeyboardRepeatSpeed(int speed) {
  if (speed < 0 || speed > 31) return false;
  gRepeatSpeed = speed;
  return true;
}

}  // namespace platform
