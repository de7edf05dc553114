// The registry: string values under keys, kept in a file under
// $XDG_CONFIG_HOME/Tessaly/ (~/.config/Tessaly/ when it is unset), so
// tests and installations can point it elsewhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::registry {

enum class Root { kLocalMachine, kCurrentUser };

// The file the values are kept in.
std::string storePath();

// The value, or nothing when the key or the value does not exist or the
// store cannot be read.
std::optional<std::string> readString(Root root, std::string_view key, std::string_view name);
// False when the store cannot be written.
bool writeString(Root root, std::string_view key, std::string_view name, std::string_view value);
bool deleteValue(Root root, std::string_view key, std::string_view name);

}  // namespace platform::registry
