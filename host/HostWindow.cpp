#include "host/HostWindow.h"

#include "platform/Message.h"

namespace host {

HostWindow::HostWindow(const PluginFolder& plugins) : menu_(buildMenu(plugins)) {}

HostWindow::~HostWindow() {
  if (exists()) destroy();
}

std::unique_ptr<platform::Menu> HostWindow::buildMenu(const PluginFolder& plugins) {
  auto bar = std::make_unique<platform::Menu>();
  platform::Menu& file = bar->appendSubmenu("&File");
  file.appendItem("&Open...\tCtrl+O", kCmdOpen);
  file.appendItem("Save &As...", kCmdSaveAs);
  file.appendItem("&Export Work Path...", kCmdExportPath);
  file.appendSeparator();
  file.appendItem("&Quit\tCtrl+Q", kCmdQuit);
  platform::Menu& filter = bar->appendSubmenu("Fil&ter");
  platform::Menu& select = bar->appendSubmenu("&Select");
  uint32_t next = kFirstPluginCmd;
  for (const Plugin* p : plugins.all()) {
    if (p->entry == nullptr || (!p->isFilter() && !p->isSelection())) continue;
    platform::Menu& top = p->isFilter() ? filter : select;
    platform::Menu* group = &top;
    if (!p->pipl.category.empty()) {
      platform::Menu::Item* existing = top.findByText(p->pipl.category);
      group = existing != nullptr && existing->submenu ? existing->submenu.get() : &top.appendSubmenu(p->pipl.category);
    }
    group->appendItem(p->pipl.name, next);
    commands_[next++] = p;
  }
  return bar;
}

bool HostWindow::open(bool visible) {
  platform::CreateParams params;
  params.title = kHostWindowTitle;
  params.style = platform::kWsOverlappedWindow | (visible ? uint32_t{platform::kWsVisible} : 0u);
  params.rect = {60, 60, 860, 660};
  if (!create(params)) return false;
  setMenu(std::move(menu_));
  return true;
}

std::vector<const Plugin*> HostWindow::takeChosenPlugins() {
  std::vector<const Plugin*> out;
  out.swap(chosen_);
  return out;
}

uint32_t HostWindow::commandOf(const Plugin& plugin) const {
  for (const auto& [id, p] : commands_)
    if (p == &plugin) return id;
  return 0;
}

intptr_t HostWindow::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == platform::kWmCommand) {
    auto it = commands_.find(platform::lowWord(wParam));
    if (it != commands_.end()) {
      chosen_.push_back(it->second);
      return 0;
    }
  }
  return defaultHandler(message, wParam, lParam);
}

}  // namespace host
