#include "host/PluginLibrary.h"

#include <dlfcn.h>

#include <algorithm>

#include "host/Failure.h"

namespace host {

std::string Plugin::menuPath() const {
  const std::string menu = isFilter() ? "Filter" : isSelection() ? "Select" : "?";
  return pipl.category.empty() ? menu + " > " + pipl.name
                               : menu + " > " + pipl.category + " > " + pipl.name;
}

std::unique_ptr<PluginLibrary> PluginLibrary::load(const std::filesystem::path& file) {
  std::unique_ptr<PluginLibrary> lib(new PluginLibrary);
  lib->file_ = file;
  // A path without a slash would make the loader search its own paths.
  const std::string name = file.has_parent_path() ? file.string() : "./" + file.string();
  lib->handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib->handle_ == nullptr) {
    const char* why = dlerror();
    throw Failure(file.string() + ": cannot be loaded: " + (why ? why : "unknown reason"));
  }
  auto table = reinterpret_cast<PluginResourceTableProc>(dlsym(lib->handle_, kPluginResourceTableSymbol));
  if (table == nullptr) throw Failure(file.string() + ": no resource table (" kPluginResourceTableSymbol ")");

  for (const PluginResource* r = table(); r != nullptr && r->type != nullptr; ++r) {
    Resource res;
    res.type = std::string(r->type).substr(0, 4);
    res.id = r->id;
    if (r->data != nullptr) res.data.assign(r->data, r->data + r->size);
    lib->resources_.push_back(std::move(res));
  }

  for (const Resource& res : lib->resources_) {
    if (res.type != kPiplResourceType) continue;
    Plugin p;
    p.library = lib.get();
    p.resourceId = res.id;
    try {
      p.pipl = decodePipl(res.data.data(), res.data.size());
    } catch (const Failure& f) {
      lib->problems_.push_back(file.string() + ": PIPL " + std::to_string(res.id) + ": " + f.what());
      continue;
    }
    if (p.pipl.entryName.empty()) {
      lib->problems_.push_back(file.string() + ": PIPL " + std::to_string(res.id) + ": no entry point name (wx86)");
    } else {
      p.entry = reinterpret_cast<PluginEntryProc>(dlsym(lib->handle_, p.pipl.entryName.c_str()));
      if (p.entry == nullptr)
        lib->problems_.push_back(file.string() + ": PIPL " + std::to_string(res.id) + ": entry point " +
                                 p.pipl.entryName + " is not exported");
    }
    lib->plugins_.push_back(std::move(p));
  }
  if (lib->plugins_.empty() && lib->problems_.empty())
    lib->problems_.push_back(file.string() + ": no PIPL resource");
  return lib;
}

PluginLibrary::~PluginLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

const Resource* PluginLibrary::findResource(const std::string& type, int32_t id) const {
  for (const Resource& r : resources_)
    if (r.type == type && r.id == id) return &r;
  return nullptr;
}

PluginFolder PluginFolder::scan(const std::filesystem::path& folder) {
  PluginFolder result;
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    if (entry.path().extension() == ".8bf") files.push_back(entry.path());
  if (ec) result.problems.push_back(folder.string() + ": cannot be read: " + ec.message());
  std::sort(files.begin(), files.end());
  for (const auto& f : files) {
    try {
      result.libraries.push_back(PluginLibrary::load(f));
      for (const std::string& p : result.libraries.back()->problems()) result.problems.push_back(p);
    } catch (const Failure& e) {
      result.problems.push_back(e.what());
    }
  }
  return result;
}

const Plugin* PluginFolder::find(const std::string& kind, const std::string& name) const {
  for (const Plugin* p : all())
    if (p->pipl.kind == kind && p->pipl.name == name && p->entry != nullptr) return p;
  return nullptr;
}

std::vector<const Plugin*> PluginFolder::all() const {
  std::vector<const Plugin*> out;
  for (const auto& lib : libraries)
    for (const Plugin& p : lib->plugins()) out.push_back(&p);
  return out;
}

std::filesystem::path executableFolder() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path();
  return self.parent_path();
}

}  // namespace host
