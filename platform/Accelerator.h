// Accelerator tables: keys that stand for commands.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Message.h"

namespace platform {

enum : uint8_t {
  kFVirtKey = 0x01,
  kFNoInvert = 0x02,
  kFShift = 0x04,
  kFControl = 0x08,
  kFAlt = 0x10,
};

struct Accelerator {
  uint8_t flags = kFVirtKey;
  uint16_t key = 0;      // virtual key (with kFVirtKey) or character
  uint16_t command = 0;
};

using AcceleratorTable = std::vector<Accelerator>;

// When the message is a key press that the table maps to a command, sends
// kWmCommand (high word 1: from an accelerator) to `target` and answers
// true; the message must then not be dispatched.
bool translateAccelerator(Window* target, const AcceleratorTable& table, const Message& message);

}  // namespace platform
