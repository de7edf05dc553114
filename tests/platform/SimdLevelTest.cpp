#include "platform/SimdLevel.h"

#include <gtest/gtest.h>

#include "tests/support/SimdLevels.h"

namespace platform {
namespace {

constexpr SimdLevel kLevels[] = {SimdLevel::portable, SimdLevel::sse2, SimdLevel::avx2, SimdLevel::avx512};

// A level the processor has is taken; one it lacks is refused and leaves
// the level in use as it was.
TEST(SimdLevel, OnlyLevelsTheProcessorHasAreTaken) {
  const SimdLevel before = simdLevel();
  for (SimdLevel level : kLevels) {
    const testing_support::StSimdLevel held(SimdLevel::portable);
    EXPECT_EQ(useSimd(level), level <= widestSimd()) << simdName(level);
    EXPECT_EQ(simdLevel(), level <= widestSimd() ? level : SimdLevel::portable) << simdName(level);
  }
  EXPECT_EQ(simdLevel(), before);
#if defined(TESSALY_X86)
  EXPECT_GE(widestSimd(), SimdLevel::sse2) << "every x86-64 processor has SSE2";
#endif
}

TEST(SimdLevel, TheEnvironmentNamesALevelTheProcessorHasOrIsIgnored) {
  for (SimdLevel level : kLevels) {
    EXPECT_EQ(simdLevelNamed(simdName(level)), level);
    const std::string name(simdName(level));
    EXPECT_EQ(simdLevelAskedFor(name.c_str()), level <= widestSimd() ? level : widestSimd()) << name;
  }
  EXPECT_EQ(simdLevelNamed("AVX2"), std::nullopt);
  EXPECT_EQ(simdLevelAskedFor(nullptr), widestSimd());
  EXPECT_EQ(simdLevelAskedFor(""), widestSimd());
  testing::internal::CaptureStderr();
  EXPECT_EQ(simdLevelAskedFor("neon"), widestSimd());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("TESSALY_SIMD=neon: not a level"), std::string::npos);
}

}  // namespace
}  // namespace platform
