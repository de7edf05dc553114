// Message boxes and beeps.
#pragma once

#include <string_view>

namespace platform {

class Window;

// Buttons and icons; the flags combine one of each.
enum : unsigned {
  kMbOk = 0x00,
  kMbOkCancel = 0x01,
  kMbYesNoCancel = 0x03,
  kMbYesNo = 0x04,
  kMbButtonMask = 0x0F,
  kMbIconStop = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconExclamation = 0x30,
  kMbIconInformation = 0x40,
  kMbIconMask = 0xF0,
};

// Which button closed a box.
enum : int {
  kIdOk = 1,
  kIdCancel = 2,
  kIdYes = 6,
  kIdNo = 7,
};

// Shows a modal box and returns the button that closed it. Under automation
// nothing is shown: the box is recorded and answered from the queue.
int messageBox(Window* owner, std::string_view text, std::string_view caption, unsigned flags);

// The system sound for a box of that icon (0 for the default beep).
void messageBeep(unsigned icon);

}  // namespace platform
