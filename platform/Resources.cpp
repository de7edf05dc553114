#include "platform/Resources.h"

#include <map>
#include <mutex>

namespace platform::resources {
namespace {

struct Store {
  std::mutex mutex;
  std::map<int, std::vector<MenuTemplate>> menus;
  std::map<int, AcceleratorTable> accelerators;
  std::map<int, Icon> icons;
  std::map<int, Bitmap> bitmaps;
  std::map<int, DialogTemplate> dialogs;
};

Store& store() {
  static Store s;
  return s;
}

void fill(Menu& menu, const std::vector<MenuTemplate>& items) {
  for (const MenuTemplate& item : items) {
    if (!item.items.empty()) {
      fill(menu.appendSubmenu(item.text), item.items);
    } else if (item.text.empty()) {
      menu.appendSeparator();
    } else {
      menu.appendItem(item.text, item.id);
    }
  }
}

template <typename Map, typename Value>
void put(Map& map, int id, Value value) {
  std::lock_guard lock(store().mutex);
  map[id] = std::move(value);
}

}  // namespace

void registerMenu(int id, std::vector<MenuTemplate> bar) { put(store().menus, id, std::move(bar)); }
void registerAccelerators(int id, AcceleratorTable table) { put(store().accelerators, id, std::move(table)); }
void registerIcon(int id, const Icon& icon) { put(store().icons, id, icon); }
void registerBitmap(int id, const Bitmap& bitmap) { put(store().bitmaps, id, bitmap); }
void registerDialog(int id, DialogTemplate dialog) { put(store().dialogs, id, std::move(dialog)); }

std::unique_ptr<Menu> buildMenu(const std::vector<MenuTemplate>& bar) {
  auto menu = std::make_unique<Menu>();
  fill(*menu, bar);
  return menu;
}

std::unique_ptr<Menu> loadMenu(int id) {
  std::lock_guard lock(store().mutex);
  auto it = store().menus.find(id);
  return it == store().menus.end() ? nullptr : buildMenu(it->second);
}

std::optional<AcceleratorTable> loadAccelerators(int id) {
  std::lock_guard lock(store().mutex);
  auto it = store().accelerators.find(id);
  if (it == store().accelerators.end()) return std::nullopt;
  return it->second;
}

Icon loadIcon(int id) {
  {
    std::lock_guard lock(store().mutex);
    auto it = store().icons.find(id);
    if (it != store().icons.end()) return it->second;
  }
  return systemIcon(id);
}

Bitmap loadBitmap(int id) {
  std::lock_guard lock(store().mutex);
  auto it = store().bitmaps.find(id);
  return it == store().bitmaps.end() ? Bitmap() : it->second;
}

std::optional<DialogTemplate> loadDialog(int id) {
  std::lock_guard lock(store().mutex);
  auto it = store().dialogs.find(id);
  if (it == store().dialogs.end()) return std::nullopt;
  return it->second;
}

}  // namespace platform::resources
