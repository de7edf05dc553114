// The default preference file: a workspace file (Workspace.h) whose full
// path the registry names, read when the work window opens and written when
// it closes, so the layout, colour sets and settings of the last run come
// back.
#pragma once

#include <optional>
#include <string>

// The registry value that names the file, under the key of string 22 in
// the local machine's part of the registry.
inline constexpr const char* kPreferenceLocationValue = "PrefsLocation";

// The path the registry names; nothing when the key or the value is missing
// (the installation is broken: string 23, and the filter does not run).
std::optional<std::string> ReadPreferenceFileLocation();

// Where an installation keeps the file: the configuration folder that also
// holds the registry ($XDG_CONFIG_HOME/Tessaly/).
std::string DefaultPreferenceFilePath();

// What an installer does: names DefaultPreferenceFilePath in the registry
// unless a location is named already. False when the registry cannot be
// written.
bool InstallPreferenceFileLocation();

// Loads the file as a workspace. Any failure, a missing file on the first
// run as much as a damaged one, is dropped without a message and answered
// with false, so the caller sets up the default layout instead. Records
// pending before the call stay.
bool LoadPreferenceFile(const std::string& path);

// Saves the workspace into the file. On failure the user is told message
// 2015 with the exclamation icon and the answer is false; the caller goes on
// closing all the same. Records pending before the call stay (closing
// through Exit has pushed the quiet cancel record by then).
bool SavePreferenceFile(const std::string& path);
