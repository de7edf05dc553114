// The ring through which the stroke sampling thread hands pointer positions
// to the user-interface thread, without locks.
//
// The sampling thread owns the write position and the entries ahead of the
// reader; the user-interface thread owns the reader's start and end. Every
// entry is one atomic word, written whole before the write position moves.
// Positions move towards lower indices and wrap from the first entry to the
// last. A separator (pen up) has h = -32768; its v tells whether Shift was
// held at the press that follows it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

class PointRing {
 public:
  static constexpr int kCapacity = 2400;  // entries; one always stays free
  static constexpr int16_t kSeparator = INT16_MIN;

  struct Entry {
    int16_t v, h;  // screen coordinates, or a separator
    bool isSeparator() const { return h == kSeparator; }
  };

  PointRing() { reset(); }

  // Empties the ring: both positions at the first entry, which becomes a
  // separator without Shift. Only while no sampling thread runs.
  void reset();

  // ---- Sampling thread ----
  // The button is down at (v, h): the pending separator learns the Shift
  // state, then the point is stored unless the ring is full (then it is
  // dropped and the stroke runs straight past it).
  void recordPress(int16_t v, int16_t h, bool shift);
  // The button is up: a separator follows the last point. In a full ring
  // it replaces the newest point, so a separator is never lost.
  void recordRelease();

  // ---- User-interface thread ----
  // Takes a snapshot of what has been written; true when anything is queued.
  bool snapshot();
  // The oldest queued entry of the snapshot; only when queued() is true.
  bool queued() const { return start_ != following(end_); }
  Entry oldest() const { return unpack(entries_[static_cast<size_t>(start_)].load(std::memory_order_acquire)); }
  void consume() { start_ = following(start_); }
  bool onlyOneQueued() const { return start_ == end_; }
  // Visits the queued entries of the snapshot, oldest first.
  template <typename Visit>
  void forEachQueued(Visit visit) const {
    for (int p = start_; p != following(end_); p = following(p)) visit(at(p));
  }

 private:
  bool wouldFill(int next) const;
  static int following(int position) { return position == 0 ? kCapacity - 1 : position - 1; }
  static uint32_t pack(Entry e) {
    return static_cast<uint32_t>(static_cast<uint16_t>(e.v)) << 16 | static_cast<uint16_t>(e.h);
  }
  static Entry unpack(uint32_t word) {
    return {static_cast<int16_t>(word >> 16), static_cast<int16_t>(word & 0xFFFF)};
  }
  void store(int position, Entry e) {
    entries_[static_cast<size_t>(position)].store(pack(e), std::memory_order_release);
  }
  Entry at(int position) const { return unpack(entries_[static_cast<size_t>(position)].load(std::memory_order_acquire)); }

  std::array<std::atomic<uint32_t>, kCapacity> entries_;
  std::atomic<int> write_{0};   // the newest entry
  std::atomic<int> start_{0};   // the oldest entry not yet consumed
  int end_ = 0;                 // the reader's snapshot of write_
};
