// Lets the user stop a long operation with Escape. The operation creates one
// for its range of work and calls step() regularly (once per row, say); step
// throws XCancel when an Escape key press is waiting. Nothing is drawn.
#pragma once

#include <cstdint>

class StProgressIndicator {
 public:
  StProgressIndicator(int32_t start, int32_t total) : start_(start), total_(total) {}

  // Looks at the first pending key-down message of the calling thread,
  // without removing it: the window that gets it later treats the Escape as
  // an ordinary key. Cheap enough to call once per image row.
  void step(int32_t position) const;

  int32_t start() const { return start_; }
  int32_t total() const { return total_; }

 private:
  int32_t start_;
  int32_t total_;
};
