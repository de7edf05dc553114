#include "tests/support/FailingAllocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> gFail{false};
}

namespace testing_support {
void setAllocationsFail(bool fail) { gFail = fail; }
}  // namespace testing_support

void* operator new(std::size_t size) {
  for (;;) {
    if (!gFail) {
      if (void* p = std::malloc(size ? size : 1)) return p;
    }
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
