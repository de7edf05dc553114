#include "platform/Menu.h"

namespace platform {

void Menu::appendItem(std::string text, uint32_t id) {
  Item item;
  item.text = std::move(text);
  item.id = id;
  items_.push_back(std::move(item));
}

void Menu::appendSeparator() { items_.push_back(Item{}); }

Menu& Menu::appendSubmenu(std::string text) {
  Item item;
  item.text = std::move(text);
  item.submenu = std::make_unique<Menu>();
  items_.push_back(std::move(item));
  return *items_.back().submenu;
}

uint32_t Menu::itemId(size_t index) const {
  const Item& i = items_.at(index);
  return i.submenu ? 0 : i.id;
}

Menu::Item* Menu::findById(uint32_t id) {
  for (Item& i : items_) {
    if (i.submenu) {
      if (Item* found = i.submenu->findById(id)) return found;
    } else if (!i.text.empty() && i.id == id) {
      return &i;
    }
  }
  return nullptr;
}

Menu::Item* Menu::findByText(std::string_view text) {
  for (Item& i : items_)
    if (i.text == text) return &i;
  return nullptr;
}

bool Menu::setEnabled(uint32_t id, bool enabled) {
  Item* i = findById(id);
  if (i) i->enabled = enabled;
  return i != nullptr;
}

bool Menu::setChecked(uint32_t id, bool checked) {
  Item* i = findById(id);
  if (i) i->checked = checked;
  return i != nullptr;
}

std::string Menu::displayText(std::string_view text) {
  std::string out;
  for (size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\t') break;
    if (text[k] == '&') {
      if (k + 1 < text.size() && text[k + 1] == '&') out += '&', ++k;
      continue;
    }
    out += text[k];
  }
  return out;
}

}  // namespace platform
