// tessaly-host: a stand-alone image host for plug-in modules.
//   tessaly-host plugins [DIR]                  lists the plug-ins and their properties
//   tessaly-host dump-resource PLUGIN TYPE ID   writes one resource's bytes to stdout
//   tessaly-host batch SCRIPT                   runs a batch script headless
//   tessaly-host [IMAGE]                        interactive use
#include <cstdio>
#include <optional>
#include <iostream>
#include <string>

#include "host/Batch.h"
#include "host/Failure.h"
#include "host/Installation.h"
#include "host/Interactive.h"
#include "host/PluginLibrary.h"

namespace {

constexpr const char* kUsage =
    "usage: tessaly-host plugins [DIR]\n"
    "       tessaly-host dump-resource PLUGIN TYPE ID\n"
    "       tessaly-host batch SCRIPT\n"
    "       tessaly-host [IMAGE]\n";

int listPlugins(const std::filesystem::path& folder) {
  const host::PluginFolder plugins = host::PluginFolder::scan(folder);
  for (const auto& lib : plugins.libraries) {
    std::cout << lib->file().string() << "\n";
    for (const host::Plugin& p : lib->plugins()) {
      std::cout << "  PIPL " << p.resourceId << ": " << p.menuPath() << "\n";
      for (const std::string& line : host::describeProperties(p.pipl)) std::cout << "    " << line << "\n";
    }
  }
  if (plugins.libraries.empty() && plugins.problems.empty())
    std::cout << "no plug-ins in " << folder.string() << "\n";
  for (const std::string& problem : plugins.problems) std::cerr << problem << "\n";
  return plugins.problems.empty() ? 0 : 1;
}

int dumpResource(const std::string& library, std::string type, const std::string& idText) {
  std::filesystem::path file = library;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec) && !file.has_parent_path()) file = host::executableFolder() / library;
  // Resource types are four characters; shorter ones end in spaces ("STR ").
  if (type.empty() || type.size() > 4) throw host::Failure("resource type \"" + type + "\" is not 1 to 4 characters");
  type.resize(4, ' ');
  size_t used = 0;
  long id = 0;
  try {
    id = std::stol(idText, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != idText.size()) throw host::Failure("resource id \"" + idText + "\" is not a number");
  const auto lib = host::PluginLibrary::load(file);
  const host::Resource* r = lib->findResource(type, static_cast<int32_t>(id));
  if (r == nullptr) throw host::Failure(file.string() + ": no resource '" + type + "' " + idText);
  std::fwrite(r->data.data(), 1, r->data.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int runBatch(const std::filesystem::path& script) {
  const host::PluginFolder plugins = host::PluginFolder::scan(host::executableFolder());
  for (const std::string& problem : plugins.problems) std::cerr << "warning: " << problem << "\n";
  if (host::ensurePreferenceLocation().empty()) std::cerr << "warning: the plug-in's preference location cannot be registered\n";
  host::BatchRunner runner(plugins, std::cerr);
  return runner.runFile(script);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "plugins" && argc <= 3)
      return listPlugins(argc == 3 ? std::filesystem::path(argv[2]) : host::executableFolder());
    if (command == "dump-resource" && argc == 5) return dumpResource(argv[2], argv[3], argv[4]);
    if (command == "batch" && argc == 3) return runBatch(argv[2]);
    if (command == "plugins" || command == "dump-resource" || command == "batch" || command == "--help" ||
        command == "-h" || argc > 2) {
      std::cerr << kUsage;
      return command == "--help" || command == "-h" ? 0 : 1;
    }
    const host::PluginFolder plugins = host::PluginFolder::scan(host::executableFolder());
    for (const std::string& problem : plugins.problems) std::cerr << "warning: " << problem << "\n";
    host::ensurePreferenceLocation();
    std::optional<std::filesystem::path> image;
    if (argc == 2) image = argv[1];
    return host::runInteractive(plugins, image);
  } catch (const host::Failure& f) {
    std::cerr << "tessaly-host: " << f.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "tessaly-host: " << e.what() << "\n";
    return 1;
  }
}
