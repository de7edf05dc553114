// Drag and drop inside the process, with data formats registered by name.
// The drag runs its own loop over the message queue, so scripted mouse
// input drives it exactly as the user's does.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Geometry.h"

namespace platform {

class Window;

// The same name always gives the same format number (0xC000 and up); 0
// for an empty name.
uint32_t registerClipboardFormat(std::string_view name);
std::string clipboardFormatName(uint32_t format);

class DataObject {
 public:
  void set(uint32_t format, std::vector<uint8_t> bytes) { blocks_[format] = std::move(bytes); }
  bool has(uint32_t format) const { return blocks_.count(format) != 0; }
  // Null when the format is not offered.
  const std::vector<uint8_t>* data(uint32_t format) const;

 private:
  std::map<uint32_t, std::vector<uint8_t>> blocks_;
};

enum : uint32_t {
  kDropEffectNone = 0,
  kDropEffectCopy = 1,
  kDropEffectMove = 2,
};

// Key state passed to drop targets: the mouse-message flags (kMkControl,
// kMkShift, kMkLButton, ...).
class DropTarget {
 public:
  virtual ~DropTarget() = default;
  virtual uint32_t dragEnter(Window& window, const DataObject& data, uint32_t keyState, Point screen,
                             uint32_t allowed) = 0;
  virtual uint32_t dragOver(Window& window, const DataObject& data, uint32_t keyState, Point screen,
                            uint32_t allowed) = 0;
  virtual void dragLeave(Window& window) = 0;
  virtual uint32_t drop(Window& window, const DataObject& data, uint32_t keyState, Point screen,
                        uint32_t allowed) = 0;
};

// A window (and its children without targets of their own) accepts drops.
bool registerDropTarget(Window& window, DropTarget& target);
void revokeDropTarget(Window& window);

// Milliseconds the button may be held before the drag starts even if the
// pointer has not left the start rectangle.
inline constexpr uint32_t kDefaultDragDelay = 200;
// Half the side of the start rectangle around the pointer by default.
inline constexpr int32_t kDefaultDragDistance = 2;

// Call while the left button is down. The drag begins when the pointer
// leaves `startRect` (screen; null: a small square around the pointer) or
// the delay passes; releasing the button before that, or Escape, ends it
// with no effect. Answers the effect of the drop (one of `allowed`).
uint32_t doDragDrop(const DataObject& data, uint32_t allowed, const Rect* startRect = nullptr,
                    uint32_t delay = kDefaultDragDelay);

}  // namespace platform
