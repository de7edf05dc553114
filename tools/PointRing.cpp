#include "tools/PointRing.h"

void PointRing::reset() {
  store(0, {0, kSeparator});
  write_.store(0, std::memory_order_release);
  start_ = 0;
  end_ = 0;
}

void PointRing::recordPress(int16_t v, int16_t h, bool shift) {
  const int write = write_.load(std::memory_order_relaxed);
  if (at(write).isSeparator()) store(write, {static_cast<int16_t>(shift ? 1 : 0), kSeparator});
  const int next = following(write);
  if (wouldFill(next)) return;  // full: dropped
  store(next, {v, h});
  write_.store(next, std::memory_order_release);
}

void PointRing::recordRelease() {
  const int write = write_.load(std::memory_order_relaxed);
  if (at(write).isSeparator()) return;
  const int next = following(write);
  if (wouldFill(next)) {
    store(write, {0, kSeparator});
    return;
  }
  store(next, {0, kSeparator});
  write_.store(next, std::memory_order_release);
}

// One entry always stays free, so that a full ring and an empty one (start
// just past the newest entry) cannot be confused.
bool PointRing::wouldFill(int next) const {
  return following(next) == start_.load(std::memory_order_acquire);
}

bool PointRing::snapshot() {
  end_ = write_.load(std::memory_order_acquire);
  return queued();
}
