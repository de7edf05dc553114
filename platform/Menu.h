// Menus: a menu bar of popups whose items carry command ids. Item texts
// keep the "&" before the mnemonic and the accelerator after a tab
// ("E&xit\tCtrl+Q"), as resources write them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Menu {
 public:
  struct Item {
    std::string text;  // empty: a separator
    uint32_t id = 0;
    std::unique_ptr<Menu> submenu;
    bool enabled = true;
    bool checked = false;
  };

  Menu() = default;
  Menu(const Menu&) = delete;
  Menu& operator=(const Menu&) = delete;

  void appendItem(std::string text, uint32_t id);
  void appendSeparator();
  Menu& appendSubmenu(std::string text);

  size_t itemCount() const { return items_.size(); }
  const Item& item(size_t index) const { return items_.at(index); }
  Item& item(size_t index) { return items_.at(index); }
  // The command id of the item at an index; 0 for separators and submenus.
  uint32_t itemId(size_t index) const;

  // Searches this menu and its submenus depth-first.
  Item* findById(uint32_t id);
  // The item whose text equals `text` exactly, in this menu only.
  Item* findByText(std::string_view text);
  bool setEnabled(uint32_t id, bool enabled);
  bool setChecked(uint32_t id, bool checked);

  // The text as shown: without "&" and without the accelerator part.
  static std::string displayText(std::string_view text);

 private:
  std::vector<Item> items_;
};

}  // namespace platform
