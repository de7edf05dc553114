// Interactive use: the host's window showing one document, with the File,
// View, Target, Filter and Select menus.
#pragma once

#include <filesystem>
#include <optional>

#include "host/PluginLibrary.h"

namespace host {

// Runs until the window is closed; returns the exit code.
int runInteractive(const PluginFolder& plugins, const std::optional<std::filesystem::path>& image);

}  // namespace host
