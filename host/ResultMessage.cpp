#include "host/ResultMessage.h"

#include "host/HostWindow.h"
#include "hostapi/HostTypes.h"
#include "platform/MessageBox.h"

namespace host {

std::optional<std::string> resultMessage(const Plugin& plugin, int16_t result) {
  if (result >= 0 || result == kHostUserCancelled) return std::nullopt;
  const std::string start = std::string("Could not complete ") + (plugin.isFilter() ? "the filter" : "the command");
  switch (result) {
    case kHostOutOfMemory:
      return start + " because there is not enough memory.";
    case kResultDiskFull:
      return start + " because the disk is full.";
    case kHostInsufficient:
      return start + " because the plug-in needs a service this host does not offer.";
    default:
      return start + " because of a program error (code " + std::to_string(result) + ").";
  }
}

std::optional<std::string> tellResult(const Plugin& plugin, int16_t result, platform::Window* owner) {
  std::optional<std::string> message = resultMessage(plugin, result);
  if (message)
    platform::messageBox(owner, *message, kHostWindowTitle, platform::kMbIconExclamation | platform::kMbOk);
  return message;
}

}  // namespace host
