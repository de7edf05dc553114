// What the host tells its user when a plug-in call fails and the plug-in has
// not: as image editors do, a negative result (the interface's error codes)
// gets the host's own message. A positive result means the plug-in has told
// the user already, and a cancel needs no words.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/PluginLibrary.h"

namespace platform {
class Window;
}

namespace host {

// The disk-full code of the interface's result codes, beside the ones the
// host itself hands out.
inline constexpr int16_t kResultDiskFull = -34;

// The message for a plug-in call that ended with `result`, or nothing when
// the host has nothing to say.
std::optional<std::string> resultMessage(const Plugin& plugin, int16_t result);

// Shows that message, if there is one, in a warning box over `owner` and
// returns it.
std::optional<std::string> tellResult(const Plugin& plugin, int16_t result, platform::Window* owner);

}  // namespace host
