// Plug-in modules: loaded with the system's dynamic loader, their resources
// read through the exported resource table before any plug-in is called.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/Pipl.h"
#include "hostapi/PluginEntry.h"

namespace host {

struct Resource {
  std::string type;  // four characters
  int32_t id = 0;
  std::vector<uint8_t> data;
};

class PluginLibrary;

// One plug-in announced by one property list of a library.
struct Plugin {
  const PluginLibrary* library = nullptr;
  int32_t resourceId = 0;
  PiplInfo pipl;
  PluginEntryProc entry = nullptr;  // null when the export is missing

  bool isFilter() const { return pipl.kind == "8BFM"; }
  bool isSelection() const { return pipl.kind == "8BSM"; }
  // "Filter > Corvane > Tessaly..."
  std::string menuPath() const;
};

class PluginLibrary {
 public:
  // Loads the library and reads its resources; throws Failure naming the file
  // when it cannot be loaded or has no resource table.
  static std::unique_ptr<PluginLibrary> load(const std::filesystem::path& file);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  const std::filesystem::path& file() const { return file_; }
  const std::vector<Resource>& resources() const { return resources_; }
  const Resource* findResource(const std::string& type, int32_t id) const;
  const std::vector<Plugin>& plugins() const { return plugins_; }
  // Property lists that could not be decoded, one message each.
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  PluginLibrary() = default;
  std::filesystem::path file_;
  void* handle_ = nullptr;
  std::vector<Resource> resources_;
  std::vector<Plugin> plugins_;
  std::vector<std::string> problems_;
};

// Every plug-in library (*.8bf) in a folder, in name order. Libraries that
// fail to load are reported in `problems` and skipped.
struct PluginFolder {
  std::vector<std::unique_ptr<PluginLibrary>> libraries;
  std::vector<std::string> problems;

  static PluginFolder scan(const std::filesystem::path& folder);
  // The plug-in of that kind whose menu item is `name`, or null.
  const Plugin* find(const std::string& kind, const std::string& name) const;
  std::vector<const Plugin*> all() const;
};

// The folder the running executable lies in.
std::filesystem::path executableFolder();

}  // namespace host
