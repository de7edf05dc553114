#include "platform/SimdLevel.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

constexpr std::array<std::string_view, 4> kNames{"portable", "sse2", "avx2", "avx512"};

SimdLevel detect() {
#if defined(TESSALY_X86)
  // The checks include the system's saving of the wide registers.
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512vnni") && __builtin_cpu_supports("avx512vbmi"))
    return SimdLevel::avx512;
  if (__builtin_cpu_supports("avx2")) return SimdLevel::avx2;
  if (__builtin_cpu_supports("sse2")) return SimdLevel::sse2;
#endif
  return SimdLevel::portable;
}

std::atomic<SimdLevel>& current() {
  static std::atomic<SimdLevel> level{simdLevelAskedFor(std::getenv("TESSALY_SIMD"))};
  return level;
}

}  // namespace

SimdLevel simdLevelAskedFor(const char* asked) {
  const SimdLevel widest = widestSimd();
  if (asked == nullptr || *asked == '\0') return widest;
  const std::optional<SimdLevel> level = simdLevelNamed(asked);
  if (level && *level <= widest) return *level;
  std::fprintf(stderr, "TESSALY_SIMD=%s: %s; using %s\n", asked,
               level ? "this processor lacks that level" : "not a level (portable, sse2, avx2, avx512)",
               simdName(widest).data());  // the names are literals
  return widest;
}

SimdLevel widestSimd() {
  static const SimdLevel widest = detect();
  return widest;
}

SimdLevel simdLevel() { return current().load(std::memory_order_relaxed); }

bool useSimd(SimdLevel level) {
  if (level > widestSimd()) return false;
  current().store(level, std::memory_order_relaxed);
  return true;
}

std::string_view simdName(SimdLevel level) { return kNames[static_cast<size_t>(level)]; }

std::optional<SimdLevel> simdLevelNamed(std::string_view name) {
  for (size_t i = 0; i < kNames.size(); ++i)
    if (kNames[i] == name) return static_cast<SimdLevel>(i);
  return std::nullopt;
}

}  // namespace platform
