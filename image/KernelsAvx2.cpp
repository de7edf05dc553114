// The image loops in 256-bit AVX2, compiled with -mavx2 on x86 only. See
// Kernels.h; the plain loops in Kernels.cpp are the reference.
#include <immintrin.h>

#include "image/BlurBlocks.h"
#include "image/Kernels.h"
#include "image/StreamingLines.h"

namespace {

// The blur's sums, 16 columns a block: the sums of two registers of
// columns would not leave room in the sixteen registers for the weights.
// bench_image GaussianBlur_sigma*@avx2.
struct Avx2 {
  using Reg = __m256i;
  static constexpr int32_t kWords = 16;
  static constexpr int kGroups = 1;
  static Reg load(const Word* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static Reg zero() { return _mm256_setzero_si256(); }
  static Reg add16(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
  static Reg add32(Reg a, Reg b) { return _mm256_add_epi32(a, b); }
  static Reg unpackLow16(Reg a, Reg b) { return _mm256_unpacklo_epi16(a, b); }
  static Reg unpackHigh16(Reg a, Reg b) { return _mm256_unpackhi_epi16(a, b); }
  static Reg broadcast32(int32_t v) { return _mm256_set1_epi32(v); }
  static Reg multiplyAdd(Reg sum, Reg pairs, Reg weights) {
    return _mm256_add_epi32(sum, _mm256_madd_epi16(pairs, weights));
  }
  static Reg finish(Reg upper, Reg lower) {
    return _mm256_srli_epi32(_mm256_add_epi32(_mm256_slli_epi32(upper, 12), lower), 24);
  }
  // The pack undoes the unpacks within each 128-bit lane; results are at
  // most 255.
  static void storeWords(Word* out, const Reg* r) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_packus_epi32(r[0], r[1]));
  }
  static void storeBytes(uint8_t* out, const Reg* r) {
    const __m256i words = _mm256_packus_epi32(r[0], r[1]);
    const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
  }
};

// Streaming stores of a line, two 32-byte halves. bench_image
// ReadRect_vs_memcpy@avx2 and WriteRect_vs_memcpy@avx2.
struct Avx2Lines {
  static constexpr bool kMaskedLoads = false;
  static __m256i load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
  static void streamLine(uint8_t* line, const uint8_t* from) {
    for (int k = 0; k < 64; k += 32) _mm256_stream_si256(reinterpret_cast<__m256i*>(line + k), load(from + k));
  }
  static void streamJoined(uint8_t* line, const uint8_t* kept, const uint8_t* source, uintptr_t offset) {
    // Byte i of the line is the source's from offset on: a sign mask made
    // by comparing i with offset.
    const __m256i first = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                           21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
    const __m256i at = _mm256_set1_epi8(static_cast<char>(offset - 1));
    for (int k = 0; k < 64; k += 32) {
      const __m256i mask = _mm256_cmpgt_epi8(_mm256_add_epi8(first, _mm256_set1_epi8(static_cast<char>(k))), at);
      _mm256_stream_si256(reinterpret_cast<__m256i*>(line + k),
                          _mm256_blendv_epi8(load(kept + k), load(source + k), mask));
    }
  }
  static void fence() { _mm_sfence(); }
};

}  // namespace

constinit const ImageKernels kAvx2Kernels{
    horizontalSums<Avx2>, verticalSums<Avx2>, streamRows<Avx2Lines>, streamBand<Avx2Lines>, finishStreaming<Avx2Lines>,
    takeEveryNthSse2,
};
