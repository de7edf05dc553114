#include "workspace/PreferenceFile.h"

#include <filesystem>

#include "image/File.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "resources/StringTable.h"
#include "shell/ErrorRecord.h"
#include "workspace/StErrorsSetAside.h"
#include "workspace/Workspace.h"

namespace {

constexpr const char* kPreferenceFileName = "Preferences.tsw";
constexpr const char* kMessageCaption = "Tessaly";

std::string registryKey() { return stringResource(kStrRegistryKey); }

}  // namespace

std::optional<std::string> ReadPreferenceFileLocation() {
  return platform::registry::readString(platform::registry::Root::kLocalMachine, registryKey(),
                                        kPreferenceLocationValue);
}

std::string DefaultPreferenceFilePath() {
  return (std::filesystem::path(platform::registry::storePath()).parent_path() / kPreferenceFileName).string();
}

bool InstallPreferenceFileLocation() {
  if (ReadPreferenceFileLocation()) return true;
  return platform::registry::writeString(platform::registry::Root::kLocalMachine, registryKey(),
                                         kPreferenceLocationValue, DefaultPreferenceFilePath());
}

bool LoadPreferenceFile(const std::string& path) {
  StErrorsSetAside earlierErrors;
  bool loaded = false;
  try {
    File file;
    file.OpenForLoading(path);
    loaded = LoadWorkspace(file, FailureReport::kLeavePending);
  } catch (const XError&) {
  }
  clearErrors();
  return loaded;
}

bool SavePreferenceFile(const std::string& path) {
  StErrorsSetAside earlierErrors;
  bool saved = false;
  try {
    File file;
    file.OpenForSaving(path);
    saved = SaveWorkspace(file, FailureReport::kLeavePending);
    if (saved) file.Close();
  } catch (const XError&) {
    saved = false;  // the old file stays as it was
  }
  clearErrors();
  if (!saved)
    platform::messageBox(nullptr, stringResource(kStrPrefsNotSaved), kMessageCaption,
                         platform::kMbIconExclamation | platform::kMbOk);
  return saved;
}
