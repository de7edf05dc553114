// The history behind Undo and Redo: a double-ended queue of owned commands
// and the current position between the applied ones (before it) and the
// ones that can be redone (from it on).
//
// References are stored in blocks of 1024 (4096 bytes on the original
// 32-bit layout) reached through a growable map; the first block starts in
// its middle so the queue grows at both ends without moving anything, and
// storing a command costs one reference until a block fills.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "display/Command.h"

class CommandHistory {
 public:
  static constexpr size_t kBlockSize = 1024;

  CommandHistory() = default;
  ~CommandHistory();
  CommandHistory(const CommandHistory&) = delete;
  CommandHistory& operator=(const CommandHistory&) = delete;

  size_t size() const { return count_; }
  size_t position() const { return position_; }
  bool canUndo() const { return position_ > 0; }
  bool canRedo() const { return position_ < count_; }
  const Command* at(size_t index) const { return slot(index).get(); }

  // Drops the redo part, then appends the command. When no block can be
  // had for it, the command is deleted and the change simply cannot be
  // undone: this never throws for lack of memory.
  void push(std::unique_ptr<Command> command) noexcept;

  // Applies the command before (undo) or at (redo) the current position and
  // stores its reverse in its place. An exception from apply leaves the
  // history as it was. False when there was nothing to do.
  bool undo(CWorkDocument& document);
  bool redo(CWorkDocument& document);

  // Deletes the least valuable command: the newest redo command, else the
  // oldest undo command. Returns its memory usage, 0 when empty.
  uint32_t purgeOne() noexcept;

  // Deletes every command: the redo part newest first, then the undo part
  // oldest first.
  void clear() noexcept;

 private:
  using Block = std::unique_ptr<std::unique_ptr<Command>[]>;

  std::unique_ptr<Command>& slot(size_t index) const;
  bool reserveBack();  // room for one more reference at the back
  void popBack() noexcept;
  void popFront() noexcept;
  void applyAt(size_t index, CWorkDocument& document);

  // The map of blocks; the queue occupies [first_, first_ + count_) of the
  // concatenated blocks.
  std::vector<Block> blocks_;
  size_t first_ = 0;
  size_t count_ = 0;
  size_t position_ = 0;
};
