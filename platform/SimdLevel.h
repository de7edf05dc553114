// The vector instructions the pixel loops may use, as one level for the
// whole process: the image kernels of the plug-in, the host's pixel streams
// and the device context's pixel rows all ask here. It lives in the windowing
// layer because that is the one library the host and the plug-in share, so
// that one switch holds both sides to the same level.
//
// Every level gives the same bytes; the widest the processor has is taken
// unless the environment variable TESSALY_SIMD names a narrower one (for
// measuring how a smaller processor fares) or a test asks for one. A level
// the processor lacks is refused, never quietly replaced by another.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#if defined(__x86_64__) || defined(__i386__)
#define TESSALY_X86 1
#endif

namespace platform {

// Each level includes those below it.
enum class SimdLevel : uint8_t {
  portable,  // plain loops only, as on processors other than x86
  sse2,      // 128-bit SSE2, which every x86-64 processor has
  avx2,      // 256-bit AVX2 (and with it SSSE3's byte shuffles)
  avx512,    // AVX-512 F, BW and VL with VNNI and VBMI
};

// The widest level this processor has.
SimdLevel widestSimd();

// The level the pixel loops use now.
SimdLevel simdLevel();

// Uses `level` from now on and returns true; returns false and changes
// nothing when the processor lacks it.
bool useSimd(SimdLevel level);

// The level the process starts with when TESSALY_SIMD is `asked` (null or
// empty when it is not set): the level named, if the processor has it;
// otherwise the widest, with a complaint on the standard error.
SimdLevel simdLevelAskedFor(const char* asked);

// "portable", "sse2", "avx2", "avx512", and back.
std::string_view simdName(SimdLevel level);
std::optional<SimdLevel> simdLevelNamed(std::string_view name);

}  // namespace platform
