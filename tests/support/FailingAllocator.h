// A global operator new that fails on request, so out-of-memory paths can be
// driven deterministically. While failing, every allocation runs the
// installed new-handler until it throws, as the standard allocator does.
#pragma once

namespace testing_support {

void setAllocationsFail(bool fail);

class StFailingAllocations {
 public:
  StFailingAllocations() { setAllocationsFail(true); }
  ~StFailingAllocations() { setAllocationsFail(false); }
};

}  // namespace testing_support
