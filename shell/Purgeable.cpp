#include "shell/Purgeable.h"

#include <cstddef>

#include "shell/ErrorRecord.h"

// The registry is an intrusive singly linked list. Purging walks it round
// robin, starting after the object purged last, so repeated shortages spread
// over all holders instead of draining the first one again and again.
class PurgeRegistry {
 public:
  static void add(Purgeable* object) {
    object->next_ = head_;
    head_ = object;
  }

  static void remove(Purgeable* object) {
    for (Purgeable** link = &head_; *link != nullptr; link = &(*link)->next_) {
      if (*link == object) {
        *link = object->next_;
        break;
      }
    }
    if (cursor_ == object) cursor_ = nullptr;
  }

  // Calls purge(level) on one object after another until `target` bytes are
  // freed or a whole pass over the registry frees nothing. Returns the total.
  static uint64_t purge(int level, uint64_t target) {
    uint64_t total = 0;
    uint32_t freedThisPass = 0;
    size_t visitedThisPass = 0;
    const size_t count = size();
    if (count == 0) return 0;
    for (;;) {
      Purgeable* object = following(cursor_);
      cursor_ = object;
      const uint32_t freed = object->purge(level);
      total += freed;
      freedThisPass += freed;
      if (total >= target) return total;
      if (++visitedThisPass == count) {
        if (freedThisPass == 0) return total;
        visitedThisPass = 0;
        freedThisPass = 0;
      }
    }
  }

 private:
  static Purgeable* following(Purgeable* object) {
    if (object == nullptr || object->next_ == nullptr) return head_;
    return object->next_;
  }

  static size_t size() {
    size_t n = 0;
    for (Purgeable* p = head_; p != nullptr; p = p->next_) ++n;
    return n;
  }

  static inline Purgeable* head_ = nullptr;
  static inline Purgeable* cursor_ = nullptr;  // purged last
};

Purgeable::Purgeable() { PurgeRegistry::add(this); }
Purgeable::~Purgeable() { PurgeRegistry::remove(this); }

bool purgeForMemory() {
  // Level 0 has no target: everything that is cheap to lose goes.
  if (PurgeRegistry::purge(0, UINT64_MAX) > 0) return true;
  return PurgeRegistry::purge(1, kPurgeTarget) > 0;
}

void allocationFailureHandler() {
  if (purgeForMemory()) return;
  pushSpareRecord();
  throw XMemory(TESSALY_HERE);
}

StAllocationFailureHandler::StAllocationFailureHandler()
    : previous_(std::set_new_handler(allocationFailureHandler)) {}

StAllocationFailureHandler::~StAllocationFailureHandler() { std::set_new_handler(previous_); }
