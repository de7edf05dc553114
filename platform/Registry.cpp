#include "platform/Registry.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>
#include <vector>

namespace platform::registry {
namespace {

// One value per line: root, key, name and value separated by tabs, with
// backslash escapes for tabs, newlines and backslashes.
using Store = std::map<std::tuple<std::string, std::string, std::string>, std::string>;

std::string rootName(Root root) { return root == Root::kLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER"; }

std::string escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char n = s[++i];
    out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
  }
  return out;
}

std::string keyOf(std::string_view key) {
  // Keys compare without regard to case, as the system's do.
  std::string k(key);
  for (char& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return k;
}

bool load(Store& store) {
  std::ifstream in(storePath());
  if (!in) return !std::filesystem::exists(storePath());
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t i = 0; i <= line.size(); ++i) {
      if (i == line.size() || line[i] == '\t') {
        fields.push_back(line.substr(start, i - start));
        start = i + 1;
      }
    }
    if (fields.size() != 4) continue;  // damaged lines are skipped
    store[{unescape(fields[0]), keyOf(unescape(fields[1])), keyOf(unescape(fields[2]))}] = unescape(fields[3]);
  }
  return true;
}

bool save(const Store& store) {
  const std::filesystem::path path(storePath());
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  // Written beside and renamed, so a failed write never loses the old values.
  const std::filesystem::path temporary = path.string() + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    if (!out) return false;
    for (const auto& [k, value] : store)
      out << escape(std::get<0>(k)) << '\t' << escape(std::get<1>(k)) << '\t' << escape(std::get<2>(k)) << '\t'
          << escape(value) << '\n';
    if (!out.flush()) return false;
  }
  std::filesystem::rename(temporary, path, error);
  return !error;
}

}  // namespace

std::string storePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config != nullptr && config[0] != '\0') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : ".") + "/.config";
  }
  return base + "/Tessaly/registry";
}

std::optional<std::string> readString(Root root, std::string_view key, std::string_view name) {
  Store store;
  if (!load(store)) return std::nullopt;
  auto it = store.find({rootName(root), keyOf(key), keyOf(name)});
  if (it == store.end()) return std::nullopt;
  return it->second;
}

bool writeString(Root root, std::string_view key, std::string_view name, std::string_view value) {
  Store store;
  if (!load(store)) return false;
  store[{rootName(root), keyOf(key), keyOf(name)}] = std::string(value);
  return save(store);
}

bool deleteValue(Root root, std::string_view key, std::string_view name) {
  Store store;
  if (!load(store)) return false;
  if (store.erase({rootName(root), keyOf(key), keyOf(name)}) == 0) return false;
  return save(store);
}

}  // namespace platform::registry
