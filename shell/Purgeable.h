// Holders of memory they can give back, and the allocation-failure handler
// that asks them to when an allocation cannot be met.
#pragma once

#include <cstdint>
#include <new>

// An object that can free memory on request registers itself at
// construction (at the front of a global list) and leaves at destruction.
class Purgeable {
 public:
  Purgeable();
  virtual ~Purgeable();
  Purgeable(const Purgeable&) = delete;
  Purgeable& operator=(const Purgeable&) = delete;

  // Frees what can be freed at this level (0: what costs nothing to lose,
  // 1: whatever helps) and returns the number of bytes freed.
  virtual uint32_t purge(int level) = 0;

 private:
  friend class PurgeRegistry;
  Purgeable* next_ = nullptr;
};

// Level-1 purging stops once this many bytes are freed.
constexpr uint32_t kPurgeTarget = 524288;

// The allocation-failure handler: purges at level 0, then at level 1, and
// returns (so the allocator retries) as soon as anything was freed. When
// nothing can be freed it pushes the out-of-memory record and throws XMemory.
void allocationFailureHandler();

// Runs the handler's purging alone; true when anything was freed. Callers
// that allocate through the host (which has no handler) use it to retry.
bool purgeForMemory();

// Installs allocationFailureHandler as the process's new-handler for its
// lifetime and restores the previous (the host's) handler afterwards.
class StAllocationFailureHandler {
 public:
  StAllocationFailureHandler();
  ~StAllocationFailureHandler();
  StAllocationFailureHandler(const StAllocationFailureHandler&) = delete;
  StAllocationFailureHandler& operator=(const StAllocationFailureHandler&) = delete;

 private:
  std::new_handler previous_;
};
