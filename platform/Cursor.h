// Cursors: the system's own (ids 32512 and up) and the module's cursor
// resources, registered by id.
#pragma once

#include <cstdint>

#include "platform/Bitmap.h"
#include "platform/Geometry.h"

namespace platform {

enum : int {
  kIdcArrow = 32512,
  kIdcIBeam = 32513,
  kIdcWait = 32514,
  kIdcCross = 32515,
  kIdcUpArrow = 32516,
  kIdcSize = 32640,
  kIdcIcon = 32641,
  kIdcSizeNwse = 32642,
  kIdcSizeNesw = 32643,
  kIdcSizeWe = 32644,
  kIdcSizeNs = 32645,
  kIdcSizeAll = 32646,
  kIdcNo = 32648,
  kIdcHand = 32649,
  kIdcAppStarting = 32650,
  kIdcHelp = 32651,
  // What a drop would do while data is dragged: the arrow with a plus
  // (copy) or with a small box (move); a refused drop shows kIdcNo.
  kIdcDragCopy = 32760,
  kIdcDragMove = 32761,
};

struct Cursor {
  int id = 0;  // 0: no cursor
  Bitmap image;  // null for system cursors
  Point hotSpot;
  bool isNull() const { return id == 0; }
};

// True for the ids the system provides itself.
bool isSystemCursorId(int id);
Cursor loadSystemCursor(int id);  // null cursor for unknown ids
// A cursor resource of the module (registered with registerCursor).
Cursor loadCursor(int id);
void registerCursor(int id, const Bitmap& image, Point hotSpot);

// Sets the pointer's shape; answers the previous cursor.
Cursor setCursor(const Cursor& cursor);
Cursor currentCursor();

// Shows the wait cursor for its lifetime, then the previous cursor.
class WaitCursor {
 public:
  WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor();

 private:
  Cursor previous_;
};

}  // namespace platform
