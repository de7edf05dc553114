// An undoable change of the work document. Applying a command performs its
// change and returns the command that reverses it; a mask edit that stores
// the exclusive-or of old and new bytes may return itself.
#pragma once

#include <cstdint>

class CWorkDocument;

class Command {
 public:
  virtual ~Command() = default;

  // Performs the change; the caller owns the returned reverse command
  // (which may be this one).
  virtual Command* apply(CWorkDocument& document) = 0;
  // Bytes the command holds, for memory accounting and purging.
  virtual uint32_t memoryUsage() const = 0;
};
