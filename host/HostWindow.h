// The host's main window, titled "Tessaly Host": a platform window whose
// menu bar holds File and the Filter and Select menus built from the
// plug-ins' properties. The plug-in finds it by its title, hides it while
// its work window runs, and may post it a menu command ("Make Work
// Path..."); such commands are queued here and run by the host between
// plug-in calls, never inside one.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "host/PluginLibrary.h"
#include "platform/Window.h"

namespace host {

inline constexpr const char* kHostWindowTitle = "Tessaly Host";

class HostWindow : public platform::Window {
 public:
  enum : uint32_t { kCmdOpen = 101, kCmdSaveAs = 102, kCmdExportPath = 103, kCmdQuit = 104, kFirstPluginCmd = 1000 };

  explicit HostWindow(const PluginFolder& plugins);
  ~HostWindow() override;

  bool open(bool visible);
  // The plug-ins whose menu items were chosen since the last call, in order.
  std::vector<const Plugin*> takeChosenPlugins();
  uint32_t commandOf(const Plugin& plugin) const;

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  std::unique_ptr<platform::Menu> buildMenu(const PluginFolder& plugins);

  std::map<uint32_t, const Plugin*> commands_;
  std::vector<const Plugin*> chosen_;
  std::unique_ptr<platform::Menu> menu_;
};

}  // namespace host
