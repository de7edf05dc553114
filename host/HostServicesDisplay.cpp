// The display service: pixels with a coverage mask over a checkerboard,
// drawn into the plug-in's device context.
#include "host/HostServices.h"

#include <cstring>

#include "host/ColourConversion.h"
#include "platform/SimdLevel.h"

#if defined(TESSALY_X86)
#include <emmintrin.h>
#endif

namespace host {

namespace {

// x / 255 rounded down without a division: exact for 0 <= x <= 65534, which
// covers every product of two bytes plus a rounding term.
inline uint32_t divide255(uint32_t x) { return (x + 1 + (x >> 8)) >> 8; }

constexpr uint8_t kCheckerLight = 255, kCheckerDark = 204;

// One pixel of a row blended over the checkerboard by its coverage:
// (pixel * c + square * (255 - c) + 127) / 255 per channel. `pattern` holds
// the squares' colours of the row's first 16 pixels as RGB; as 16 is a
// multiple of the 8-pixel squares' period, every run of 16 pixels from the
// row's start has the same squares.
inline void blendPixel(uint8_t* rgb, const uint8_t* coverage, size_t x, const uint8_t* pattern) {
  const uint32_t c = coverage[x];
  if (c == 255) return;
  const uint8_t* square = pattern + (x % 16) * 3;
  uint8_t* p = rgb + x * 3;
  for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(divide255(p[i] * c + square[i] * (255 - c) + 127));
}

#if defined(TESSALY_X86)
// The pixels of a row sixteen at a time, as many as whole runs of sixteen
// give; returns how many. bench_display full_view_zoom_*.
__attribute__((target("sse2"))) size_t blendSixteensSse2(uint8_t* rgb, const uint8_t* coverage, size_t count,
                                                         const uint8_t* pattern) {
  const __m128i all = _mm_set1_epi8(static_cast<char>(0xFF));
  const __m128i zero = _mm_setzero_si128();
  const __m128i w255 = _mm_set1_epi16(255), w127 = _mm_set1_epi16(127), w1 = _mm_set1_epi16(1);
  size_t x = 0;
  for (; x + 16 <= count; x += 16) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coverage + x));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(c, all)) == 0xFFFF) continue;  // all opaque: the image as it is
    uint8_t* p = rgb + x * 3;
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(c, zero)) == 0xFFFF) {  // all transparent: the squares
      std::memcpy(p, pattern, 48);
      continue;
    }
    // Coverage per channel, then 8 channels at a time in 16 bits.
    alignas(16) uint8_t c3[48];
    for (int i = 0; i < 16; ++i) c3[3 * i] = c3[3 * i + 1] = c3[3 * i + 2] = coverage[x + static_cast<size_t>(i)];
    for (int part = 0; part < 3; ++part) {
      const __m128i pix = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
      const __m128i cov = _mm_load_si128(reinterpret_cast<const __m128i*>(c3 + 16 * part));
      const __m128i sq = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 16 * part));
      __m128i halves[2];
      for (int h = 0; h < 2; ++h) {
        const __m128i a = h == 0 ? _mm_unpacklo_epi8(pix, zero) : _mm_unpackhi_epi8(pix, zero);
        const __m128i w = h == 0 ? _mm_unpacklo_epi8(cov, zero) : _mm_unpackhi_epi8(cov, zero);
        const __m128i k = h == 0 ? _mm_unpacklo_epi8(sq, zero) : _mm_unpackhi_epi8(sq, zero);
        __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, w), _mm_mullo_epi16(k, _mm_sub_epi16(w255, w)));
        t = _mm_add_epi16(t, w127);
        halves[h] = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, w1), _mm_srli_epi16(t, 8)), 8);
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * part), _mm_packus_epi16(halves[0], halves[1]));
    }
  }
  return x;
}
#endif

// Blends one row of RGB pixels (`count` of them) over the checkerboard by
// their coverage.
void blendRowOverChecker(platform::SimdLevel level, uint8_t* rgb, const uint8_t* coverage, size_t count,
                         const uint8_t* pattern) {
  size_t x = 0;
#if defined(TESSALY_X86)
  if (level >= platform::SimdLevel::sse2) x = blendSixteensSse2(rgb, coverage, count, pattern);
#endif
  (void)level;
  for (; x < count; ++x) blendPixel(rgb, coverage, x, pattern);
}

}  // namespace

bool HostServices::renderPixelMap(const HostPixelMap& map, const HostRect32& area, DisplayedPixels& out) {
  const int channels = colourChannelCount(static_cast<int16_t>(map.imageMode));
  if (channels == 0 || map.baseAddr == nullptr) return false;
  if (area.top < map.bounds.top || area.left < map.bounds.left || area.bottom > map.bounds.bottom ||
      area.right > map.bounds.right || area.bottom < area.top || area.right < area.left)
    return false;
  const size_t width = static_cast<size_t>(area.right - area.left);
  const size_t height = static_cast<size_t>(area.bottom - area.top);
  out.area = area;
  out.rgb.resize(width * height * 3);
  if (width == 0) return true;
  const int64_t firstX = int64_t{area.left} - map.bounds.left;
  // Interleaved channels go to the conversion as they are; planar ones are
  // gathered into pixels first.
  const bool interleaved = map.planeBytes == 1 && map.colBytes >= channels;
  std::vector<uint8_t> packed(interleaved ? 0 : width * static_cast<size_t>(channels));
  // The coverage of a row: a single plain mask is read where it lies, a
  // chain multiplies into `product`.
  const HostPixelMask* firstMask = map.masks;
  while (firstMask != nullptr && firstMask->maskData == nullptr) firstMask = firstMask->next;
  bool chained = firstMask != nullptr && firstMask->colBytes != 1;
  for (const HostPixelMask* m = firstMask != nullptr ? firstMask->next : nullptr; m != nullptr; m = m->next)
    chained = chained || m->maskData != nullptr;
  std::vector<uint8_t> product(chained ? width : 0);
  // The coverage shows the pixels over a checkerboard of 8-pixel squares.
  // The mask phase is the checkerboard coordinate of the map's top-left
  // pixel, so that pieces drawn one by one line their squares up. A row's
  // first sixteen pixels set its pattern, which repeats every sixteen; rows
  // whose squares start light and rows whose squares start dark alternate.
  uint8_t pattern[2][48];
  for (int rowParity = 0; rowParity < 2; ++rowParity)
    for (int x = 0; x < 16; ++x) {
      const int64_t cx = area.left - map.bounds.left + x + map.maskPhaseCol;
      std::memset(pattern[rowParity] + 3 * x, ((rowParity + (cx >> 3)) & 1) == 0 ? kCheckerLight : kCheckerDark, 3);
    }
  const platform::SimdLevel level = platform::simdLevel();

  for (size_t y = 0; y < height; ++y) {
    const int64_t my = area.top + static_cast<int64_t>(y) - map.bounds.top;
    const auto* row = static_cast<const uint8_t*>(map.baseAddr) + my * map.rowBytes + firstX * map.colBytes;
    uint8_t* rgb = out.rgb.data() + y * width * 3;
    if (interleaved) {
      toRgb(static_cast<int16_t>(map.imageMode), row, width, static_cast<size_t>(map.colBytes), rgb);
    } else {
      for (size_t x = 0; x < width; ++x)
        for (int c = 0; c < channels; ++c)
          packed[x * channels + c] = row[static_cast<int64_t>(x) * map.colBytes + int64_t{c} * map.planeBytes];
      toRgb(static_cast<int16_t>(map.imageMode), packed.data(), width, static_cast<size_t>(channels), rgb);
    }
    if (firstMask == nullptr) continue;
    const uint8_t* coverage;
    if (!chained) {
      coverage = static_cast<const uint8_t*>(firstMask->maskData) + my * firstMask->rowBytes + firstX;
    } else {
      for (size_t x = 0; x < width; ++x) product[x] = 255;
      for (const HostPixelMask* m = firstMask; m != nullptr; m = m->next) {
        if (m->maskData == nullptr) continue;
        const uint8_t* v = static_cast<const uint8_t*>(m->maskData) + my * m->rowBytes + firstX * m->colBytes;
        for (size_t x = 0; x < width; ++x, v += m->colBytes)
          product[x] = static_cast<uint8_t>((uint32_t{product[x]} * *v * 0x8081u) >> 23);  // product * v / 255
      }
      coverage = product.data();
    }
    blendRowOverChecker(level, rgb, coverage, width, pattern[((my + map.maskPhaseRow) >> 3) & 1]);
  }
  return true;
}

HostError HostServices::displayPixels(const HostPixelMap* source, const HostRect32* srcRect, int32_t dstRow,
                                      int32_t dstCol, void* platformContext) {
  HostServices* s = active_;
  if (s == nullptr || source == nullptr || srcRect == nullptr) return kHostFilterBadParameters;
  // The plug-in draws piece after piece: one buffer serves them all.
  static thread_local DisplayedPixels pixels;
  if (!renderPixelMap(*source, *srcRect, pixels)) return kHostFilterBadParameters;
  pixels.area = {dstRow, dstCol, dstRow + (srcRect->bottom - srcRect->top), dstCol + (srcRect->right - srcRect->left)};
  return s->drawer_(platformContext, pixels);
}

}  // namespace host
