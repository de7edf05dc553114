// The image loops in 128-bit SSE2, compiled with -msse2 on x86 only. See
// Kernels.h; the plain loops in Kernels.cpp are the reference.
#include <emmintrin.h>

#include "image/BlurBlocks.h"
#include "image/Kernels.h"
#include "image/StreamingLines.h"

namespace {

// The blur's sums, 8 columns a block. bench_image GaussianBlur_sigma*@sse2,
// against OpenCV held to SSE2.
struct Sse2 {
  using Reg = __m128i;
  static constexpr int32_t kWords = 8;
  static constexpr int kGroups = 1;
  static Reg load(const Word* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static Reg zero() { return _mm_setzero_si128(); }
  static Reg add16(Reg a, Reg b) { return _mm_add_epi16(a, b); }
  static Reg add32(Reg a, Reg b) { return _mm_add_epi32(a, b); }
  static Reg unpackLow16(Reg a, Reg b) { return _mm_unpacklo_epi16(a, b); }
  static Reg unpackHigh16(Reg a, Reg b) { return _mm_unpackhi_epi16(a, b); }
  static Reg broadcast32(int32_t v) { return _mm_set1_epi32(v); }
  static Reg multiplyAdd(Reg sum, Reg pairs, Reg weights) { return _mm_add_epi32(sum, _mm_madd_epi16(pairs, weights)); }
  static Reg finish(Reg upper, Reg lower) { return _mm_srli_epi32(_mm_add_epi32(_mm_slli_epi32(upper, 12), lower), 24); }
  // Results are at most 255: the signed packs keep them.
  static void storeWords(Word* out, const Reg* r) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packs_epi32(r[0], r[1]));
  }
  static void storeBytes(uint8_t* out, const Reg* r) {
    const __m128i words = _mm_packs_epi32(r[0], r[1]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
  }
};

// Streaming stores of a line, four 16-byte parts. bench_image
// ReadRect_vs_memcpy@sse2 and WriteRect_vs_memcpy@sse2.
struct Sse2Lines {
  static constexpr bool kMaskedLoads = false;
  static __m128i load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void streamLine(uint8_t* line, const uint8_t* from) {
    for (int k = 0; k < 64; k += 16) _mm_stream_si128(reinterpret_cast<__m128i*>(line + k), load(from + k));
  }
  static void streamJoined(uint8_t* line, const uint8_t* kept, const uint8_t* source, uintptr_t offset) {
    // Parts wholly before or after offset come from one side; the one
    // across it (none when offset is a multiple of 16, as is usual) is
    // blended with a mask made by comparing each byte's place with offset.
    for (int k = 0; k < 64; k += 16) {
      const uintptr_t at = static_cast<uintptr_t>(k);
      __m128i bytes;
      if (at >= offset) {
        bytes = load(source + k);
      } else if (at + 16 <= offset) {
        bytes = load(kept + k);
      } else {
        const __m128i first = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        const __m128i mask = _mm_cmpgt_epi8(first, _mm_set1_epi8(static_cast<char>(offset - at - 1)));
        bytes = _mm_or_si128(_mm_andnot_si128(mask, load(kept + k)), _mm_and_si128(mask, load(source + k)));
      }
      _mm_stream_si128(reinterpret_cast<__m128i*>(line + k), bytes);
    }
  }
  static void fence() { _mm_sfence(); }
};

}  // namespace

// Every factor-th byte, sixteen at a time: the bytes wanted are the low ones
// of 16- or 32-bit lanes, masked and packed. bench_display
// full_view_zoom_1_4 (the display samples the mask at 1/2 and 1/4).
int32_t takeEveryNthSse2(const uint8_t* from, uint8_t* to, int32_t outColumns, int32_t columns, int32_t factor) {
  int32_t c = 0;
  if (factor == 2) {
    const __m128i low = _mm_set1_epi16(0x00FF);
    for (; (c + 16) * 2 <= columns; c += 16) {
      const __m128i a = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * c)), low);
      const __m128i b = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * c + 16)), low);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + c), _mm_packus_epi16(a, b));
    }
  } else if (factor == 4) {
    const __m128i low = _mm_set1_epi32(0x000000FF);
    for (; (c + 16) * 4 <= columns; c += 16) {
      __m128i parts[4];
      for (int k = 0; k < 4; ++k)
        parts[k] = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 4 * c + 16 * k)), low);
      const __m128i ab = _mm_packs_epi32(parts[0], parts[1]);
      const __m128i cd = _mm_packs_epi32(parts[2], parts[3]);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + c), _mm_packus_epi16(ab, cd));
    }
  }
  return c < outColumns ? c : outColumns;
}

constinit const ImageKernels kSse2Kernels{
    horizontalSums<Sse2>, verticalSums<Sse2>, streamRows<Sse2Lines>, streamBand<Sse2Lines>, finishStreaming<Sse2Lines>,
    takeEveryNthSse2,
};
