// A registered tool that only says who it is: for tests of the tool stack,
// the keys and the toolbox, where the real tool's work does not matter.
#pragma once

#include <cstdint>

#include "display/CTool.h"
#include "tools/ToolRegistry.h"

namespace testing_support {

class StandInTool : public CTool {
 public:
  explicit StandInTool(int32_t id) : id_(id), registration_(*this) {}
  int32_t CursorResourceId() const override { return id_; }
  void Activate() override { AnnounceToolActivation(id_); }

 private:
  int32_t id_;
  ToolRegistration registration_;
};

}  // namespace testing_support
