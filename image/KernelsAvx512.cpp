// The image loops in AVX-512 (F, BW, VL, VNNI, VBMI), compiled with those
// flags on x86 only. See Kernels.h; the plain loops in Kernels.cpp are the
// reference.
#include <immintrin.h>

#include "image/BlurBlocks.h"
#include "image/Kernels.h"
#include "image/StreamingLines.h"

namespace {

// The blur's sums, 64 columns a block, the multiply-add and the
// accumulation in one VNNI instruction. bench_image
// GaussianBlur_sigma*@avx512.
struct Avx512 {
  using Reg = __m512i;
  static constexpr int32_t kWords = 32;
  static constexpr int kGroups = 2;  // of the 32 registers
  static Reg load(const Word* p) { return _mm512_loadu_si512(p); }
  static Reg zero() { return _mm512_setzero_si512(); }
  static Reg add16(Reg a, Reg b) { return _mm512_add_epi16(a, b); }
  static Reg add32(Reg a, Reg b) { return _mm512_add_epi32(a, b); }
  static Reg unpackLow16(Reg a, Reg b) { return _mm512_unpacklo_epi16(a, b); }
  static Reg unpackHigh16(Reg a, Reg b) { return _mm512_unpackhi_epi16(a, b); }
  static Reg broadcast32(int32_t v) { return _mm512_set1_epi32(v); }
  static Reg multiplyAdd(Reg sum, Reg pairs, Reg weights) { return _mm512_dpwssd_epi32(sum, pairs, weights); }
  // The unmasked shifts and permutation of GCC 12's headers start from an
  // "undefined" vector that -Wuninitialized takes for a fault; with every
  // lane selected the masked ones are the same instructions.
  static constexpr __mmask16 kAll = 0xFFFF;
  static Reg finish(Reg upper, Reg lower) {
    return _mm512_maskz_srli_epi32(kAll, _mm512_add_epi32(_mm512_maskz_slli_epi32(kAll, upper, 12), lower), 24);
  }
  static void storeWords(Word* out, const Reg* r) {
    _mm512_storeu_si512(out, _mm512_packus_epi32(r[0], r[1]));
    _mm512_storeu_si512(out + 32, _mm512_packus_epi32(r[2], r[3]));
  }
  // Each 128-bit lane of the pack holds eight bytes of the first words,
  // then eight of the second; the permutation puts all of the first's
  // first.
  static void storeBytes(uint8_t* out, const Reg* r) {
    const __m512i bytes = _mm512_packus_epi16(_mm512_packus_epi32(r[0], r[1]), _mm512_packus_epi32(r[2], r[3]));
    const __m512i order = _mm512_set_epi64(7, 5, 3, 1, 6, 4, 2, 0);
    _mm512_storeu_si512(out, _mm512_maskz_permutexvar_epi64(0xFF, order, bytes));
  }
};

// A line in one streaming store. bench_image ReadRect_vs_memcpy@avx512 and
// WriteRect_vs_memcpy@avx512.
struct Avx512Lines {
  static constexpr bool kMaskedLoads = true;
  static void streamLine(uint8_t* line, const uint8_t* from) {
    _mm512_stream_si512(reinterpret_cast<__m512i*>(line), _mm512_loadu_si512(from));
  }
  static void streamJoined(uint8_t* line, const uint8_t* kept, const uint8_t* source, uintptr_t offset) {
    const __mmask64 fresh = ~((uint64_t{1} << offset) - 1);
    _mm512_stream_si512(reinterpret_cast<__m512i*>(line),
                        _mm512_mask_loadu_epi8(_mm512_load_si512(kept), fresh, source));
  }
  static void fence() { _mm_sfence(); }
};

}  // namespace

constinit const ImageKernels kAvx512Kernels{
    horizontalSums<Avx512>, verticalSums<Avx512>, streamRows<Avx512Lines>, streamBand<Avx512Lines>, finishStreaming<Avx512Lines>,
    takeEveryNthSse2,
};
