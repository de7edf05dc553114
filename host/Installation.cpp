#include "host/Installation.h"

#include <filesystem>

#include "platform/Registry.h"

namespace host {

namespace {
constexpr const char* kPluginKey = "Software\\Corvane\\Tessaly 1.0";
constexpr const char* kPreferenceValue = "PrefsLocation";
constexpr const char* kPreferenceFile = "Tessaly Preferences.tsw";
}  // namespace

std::string ensurePreferenceLocation() {
  using platform::registry::Root;
  if (auto existing = platform::registry::readString(Root::kLocalMachine, kPluginKey, kPreferenceValue))
    return *existing;
  const std::filesystem::path store = platform::registry::storePath();
  std::error_code ec;
  std::filesystem::create_directories(store.parent_path(), ec);
  const std::string location = (store.parent_path() / kPreferenceFile).string();
  if (!platform::registry::writeString(Root::kLocalMachine, kPluginKey, kPreferenceValue, location)) return {};
  return location;
}

}  // namespace host
