#include "platform/Accelerator.h"

#include "platform/Input.h"
#include "platform/Window.h"

namespace platform {

bool translateAccelerator(Window* target, const AcceleratorTable& table, const Message& message) {
  if (!Window::isWindow(target)) return false;
  const bool keyDown = message.message == kWmKeyDown || message.message == kWmSysKeyDown;
  const bool character = message.message == kWmChar;
  if (!keyDown && !character) return false;
  const bool shift = keyState(kVkShift) != 0, ctrl = keyState(kVkControl) != 0, alt = keyState(kVkMenu) != 0;
  for (const Accelerator& a : table) {
    const bool virtualEntry = (a.flags & kFVirtKey) != 0;
    if (virtualEntry != keyDown || a.key != message.wParam) continue;
    if (virtualEntry && (((a.flags & kFShift) != 0) != shift || ((a.flags & kFControl) != 0) != ctrl ||
                         ((a.flags & kFAlt) != 0) != alt))
      continue;
    if (!virtualEntry && ((a.flags & kFAlt) != 0) != alt) continue;
    target->send(kWmCommand, makeWParam(a.command, 1), 0);
    return true;
  }
  return false;
}

}  // namespace platform
