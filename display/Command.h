// An undoable change of the work document. Applying a command performs its
// change and yields the command that reverses it; a mask edit that stores
// the exclusive-or of old and new bytes is its own reverse.
#pragma once

#include <cstdint>
#include <memory>

class CWorkDocument;

class Command {
 public:
  virtual ~Command() = default;

  // Performs the change. Returns the command that reverses it, or null when
  // this command, now applied, is that reverse itself.
  virtual std::unique_ptr<Command> apply(CWorkDocument& document) = 0;
  // Bytes the command holds, for memory accounting and purging.
  virtual uint32_t memoryUsage() const = 0;
};
