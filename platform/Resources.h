// The module's resources: menus, accelerator tables, icons, bitmaps and
// dialog templates, registered by id when the module loads (resources/
// does it) and loaded by id by the framework.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Accelerator.h"
#include "platform/Bitmap.h"
#include "platform/Geometry.h"
#include "platform/Menu.h"

namespace platform {

// A menu as resources describe it: a popup has items, a command has an id,
// an entry with neither text nor items is a separator.
struct MenuTemplate {
  std::string text;
  uint32_t id = 0;
  std::vector<MenuTemplate> items;
};

enum class ControlKind {
  kPushButton,
  kDefaultPushButton,
  kRadioButton,
  kCheckBox,
  kGroupBox,
  kStaticText,
  kNumberField,
  kIcon,
};

struct ControlTemplate {
  ControlKind kind = ControlKind::kStaticText;
  std::string text;  // for icons: the icon resource id as text
  int id = 0;
  Rect rect;               // dialog client pixels, or dialog units (see below)
  bool groupStart = false;  // first radio of a group
};

struct DialogTemplate {
  std::string title;
  Size size;  // client size in pixels, or dialog units (see below)
  // Sizes and rectangles in dialog units of the dialog font: across, a
  // quarter of its average character width; down, an eighth of its height.
  bool dialogUnits = false;
  std::vector<ControlTemplate> controls;
};

namespace resources {

// The system's icons, drawn by us; loadIcon answers them unless the module
// registered its own under the same id.
enum : int {
  kIdiHand = 32513,
  kIdiQuestion = 32514,
  kIdiExclamation = 32515,
  kIdiAsterisk = 32516,
};
Icon systemIcon(int id);

// Registering an id again replaces the resource.
void registerMenu(int id, std::vector<MenuTemplate> bar);
void registerAccelerators(int id, AcceleratorTable table);
void registerIcon(int id, const Icon& icon);
void registerBitmap(int id, const Bitmap& bitmap);
void registerDialog(int id, DialogTemplate dialog);

// Null or nothing when no such resource is registered.
std::unique_ptr<Menu> loadMenu(int id);
std::optional<AcceleratorTable> loadAccelerators(int id);
Icon loadIcon(int id);
Bitmap loadBitmap(int id);
std::optional<DialogTemplate> loadDialog(int id);

// Builds a menu from a template (also usable without registering).
std::unique_ptr<Menu> buildMenu(const std::vector<MenuTemplate>& bar);

}  // namespace resources
}  // namespace platform
