// The common open and save dialogs. Filters are written as the resources
// write them: pairs of "Name (*.ext)|*.ext" separated by "|", ending in
// "||", e.g. "Tessaly Workspace (*.tsw)|*.tsw||".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Window;

struct FileFilter {
  std::string name;      // "Tessaly Workspace (*.tsw)"
  std::string patterns;  // "*.tsw" (several separated by ';')
};

// Empty when the string is not a well-formed filter.
std::vector<FileFilter> parseFilterString(std::string_view filter);

// The chosen file, or nothing when the user cancelled. Under automation
// the answer comes from the queue (automation::queueFileAnswer).
std::optional<std::string> openFileDialog(Window* owner, std::string_view filter);
// With `overwritePrompt`, choosing an existing file asks before it is
// taken. A name without extension gets the first filter's.
std::optional<std::string> saveFileDialog(Window* owner, std::string_view filter, std::string_view defaultName,
                                          bool overwritePrompt);

}  // namespace platform
