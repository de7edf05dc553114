// Tests that run once per vector level (platform/SimdLevel.h). Each instance
// uses its level for the whole test and is skipped, with a message, where
// the processor lacks the level: a level never passes by running another.
//
//   class BlurAtEachLevel : public testing_support::AtEachSimdLevel<> {};
//   TEST_P(BlurAtEachLevel, ...) { ... }
//   TESSALY_AT_EACH_SIMD_LEVEL(BlurAtEachLevel);
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "platform/SimdLevel.h"

namespace testing_support {

// Holds the process at one level for a scope; the level before comes back
// at its end. available() is false, and nothing changes, where the
// processor lacks the level.
class StSimdLevel {
 public:
  explicit StSimdLevel(platform::SimdLevel level)
      : before_(platform::simdLevel()), available_(platform::useSimd(level)) {}
  ~StSimdLevel() { platform::useSimd(before_); }
  StSimdLevel(const StSimdLevel&) = delete;
  StSimdLevel& operator=(const StSimdLevel&) = delete;

  bool available() const { return available_; }

 private:
  platform::SimdLevel before_;
  bool available_;
};

template <typename Base = ::testing::Test>
class AtEachSimdLevel : public Base, public ::testing::WithParamInterface<platform::SimdLevel> {
 protected:
  void SetUp() override {
    Base::SetUp();
    level_.emplace(GetParam());
    if (!level_->available())
      GTEST_SKIP() << "this processor lacks the " << platform::simdName(GetParam()) << " level";
  }
  void TearDown() override {
    level_.reset();
    Base::TearDown();
  }

  // Runs `work` at the plain level, the reference of the vector ones.
  template <typename Work>
  static auto plain(Work work) {
    const StSimdLevel level(platform::SimdLevel::portable);
    return work();
  }

 private:
  std::optional<StSimdLevel> level_;
};

inline std::string simdTestName(const ::testing::TestParamInfo<platform::SimdLevel>& info) {
  return std::string(platform::simdName(info.param));
}

}  // namespace testing_support

namespace platform {
inline void PrintTo(SimdLevel level, std::ostream* out) { *out << simdName(level); }
}  // namespace platform

#define TESSALY_AT_EACH_SIMD_LEVEL(suite)                                                                          \
  INSTANTIATE_TEST_SUITE_P(Simd, suite,                                                                            \
                           ::testing::Values(platform::SimdLevel::portable, platform::SimdLevel::sse2,             \
                                             platform::SimdLevel::avx2, platform::SimdLevel::avx512),              \
                           testing_support::simdTestName)
