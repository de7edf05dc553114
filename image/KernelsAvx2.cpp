// The image loops in 256-bit AVX2, compiled with -mavx2 on x86 only. See
// Kernels.h; the plain loops in Kernels.cpp are the reference.
#include <immintrin.h>

#include "image/BlurBlocks.h"
#include "image/Kernels.h"
#include "image/StreamingLines.h"

namespace {

// The blur's sums, 32 columns a block. bench_image GaussianBlur_sigma*@avx2.
struct Avx2 {
  using Reg = __m256i;
  static constexpr int32_t kWords = 16;
  static Reg load(const Word* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static Reg zero() { return _mm256_setzero_si256(); }
  static Reg add16(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
  static Reg unpackLow16(Reg a, Reg b) { return _mm256_unpacklo_epi16(a, b); }
  static Reg unpackHigh16(Reg a, Reg b) { return _mm256_unpackhi_epi16(a, b); }
  static Reg broadcast32(int32_t v) { return _mm256_set1_epi32(v); }
  static Reg multiplyAdd(Reg sum, Reg pairs, Reg weights) {
    return _mm256_add_epi32(sum, _mm256_madd_epi16(pairs, weights));
  }
  static Reg finish(Reg upper, Reg lower) {
    return _mm256_srli_epi32(_mm256_add_epi32(_mm256_slli_epi32(upper, 12), lower), 24);
  }
  // The packs undo the unpacks within each 128-bit lane; results are at
  // most 255.
  static void storeWords(Word* out, const Reg* r) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_packus_epi32(r[0], r[1]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16), _mm256_packus_epi32(r[2], r[3]));
  }
  static void storeBytes(uint8_t* out, const Reg* r) {
    const __m256i bytes = _mm256_packus_epi16(_mm256_packus_epi32(r[0], r[1]), _mm256_packus_epi32(r[2], r[3]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute4x64_epi64(bytes, 0xD8));
  }
};

// Streaming stores of a line, two 32-byte halves. bench_image
// ReadRect_vs_memcpy@avx2 and WriteRect_vs_memcpy@avx2.
struct Avx2Lines {
  static void streamLine(uint8_t* line, const uint8_t* from) {
    for (int k = 0; k < 64; k += 32)
      _mm256_stream_si256(reinterpret_cast<__m256i*>(line + k),
                          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + k)));
  }
  static void fence() { _mm_sfence(); }
};

}  // namespace

constinit const ImageKernels kAvx2Kernels{
    weightedSums<Avx2, Word>,         weightedSums<Avx2, uint8_t>,       streamRows<Avx2Lines>,
    streamBand<Avx2Lines>,            finishStreaming<Avx2Lines>,        takeEveryNthSse2,
};
