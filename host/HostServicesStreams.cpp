// The pixel streams of advanceState: the planes interleaved into the
// plug-in's input, output and mask buffers, and the output written back
// into the document with the blocks it changes saved first.
#include "host/HostServices.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "host/Failure.h"
#include "platform/SimdLevel.h"

#if defined(TESSALY_X86)
#include <tmmintrin.h>
#endif

namespace host {

namespace {

// Interleaves three planes into pixels, four pixels (three words) at a time
// on little-endian machines: a third of the stores of a byte loop.
void interleaveThreePortable(const uint8_t* __restrict a, const uint8_t* __restrict b, const uint8_t* __restrict c,
                             uint8_t* __restrict out, size_t count) {
  size_t x = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; x + 4 <= count; x += 4, out += 12) {
      uint32_t r, g, bl;
      std::memcpy(&r, a + x, 4);
      std::memcpy(&g, b + x, 4);
      std::memcpy(&bl, c + x, 4);
      const uint32_t w0 = (r & 0xFF) | (g & 0xFF) << 8 | (bl & 0xFF) << 16 | (r & 0xFF00) << 16;
      const uint32_t w1 = (g >> 8 & 0xFF) | (bl & 0xFF00) | (r & 0xFF0000) | (g & 0xFF0000) << 8;
      const uint32_t w2 = (bl >> 16 & 0xFF) | (r >> 24) << 8 | (g >> 24) << 16 | (bl & 0xFF000000);
      std::memcpy(out, &w0, 4);
      std::memcpy(out + 4, &w1, 4);
      std::memcpy(out + 8, &w2, 4);
    }
  }
  for (; x < count; ++x, out += 3) {
    out[0] = a[x];
    out[1] = b[x];
    out[2] = c[x];
  }
}

#if defined(TESSALY_X86)
// Sixteen pixels at a time: each 16 output bytes are three byte shuffles of
// the planes' 16 bytes, or-ed together. SSSE3, which the avx2 level has.
// bench_host advanceState_deliver_vs_memcpy.
struct InterleaveMasks {
  alignas(16) uint8_t bytes[3][3][16];  // [output part][plane][byte]
  constexpr InterleaveMasks() : bytes{} {
    for (int part = 0; part < 3; ++part)
      for (int plane = 0; plane < 3; ++plane)
        for (int j = 0; j < 16; ++j) {
          const int at = 16 * part + j;
          bytes[part][plane][j] = at % 3 == plane ? static_cast<uint8_t>(at / 3) : 0x80;
        }
  }
};
constexpr InterleaveMasks kInterleaveMasks;

__attribute__((target("ssse3"))) void interleaveThreeSsse3(const uint8_t* __restrict a, const uint8_t* __restrict b,
                                                            const uint8_t* __restrict c, uint8_t* __restrict out,
                                                            size_t count) {
  __m128i m[3][3];
  for (int part = 0; part < 3; ++part)
    for (int plane = 0; plane < 3; ++plane)
      m[part][plane] = _mm_load_si128(reinterpret_cast<const __m128i*>(kInterleaveMasks.bytes[part][plane]));
  size_t x = 0;
  for (; x + 16 <= count; x += 16, out += 48) {
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
    const __m128i bl = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x));
    for (int part = 0; part < 3; ++part) {
      const __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(r, m[part][0]), _mm_shuffle_epi8(g, m[part][1])),
                                     _mm_shuffle_epi8(bl, m[part][2]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * part), v);
    }
  }
  interleaveThreePortable(a + x, b + x, c + x, out, count - x);
}

// The same in SSE2, without the byte shuffle: unpacks make pixels of four
// bytes (the fourth zero); each 64-bit half closes its two pixels into six
// bytes, stored eight bytes at a time six apart, the two zero bytes of each
// store overwritten by the next. The last store of a block writes two bytes
// into the next pixel, so a block is done this way only when one follows.
// bench_host advanceState_deliver_vs_memcpy@sse2.
__attribute__((target("sse2"))) void interleaveThreeSse2(const uint8_t* __restrict a, const uint8_t* __restrict b,
                                                          const uint8_t* __restrict c, uint8_t* __restrict out,
                                                          size_t count) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i first = _mm_set1_epi64x(0x0000000000ffffff), second = _mm_set1_epi64x(0x0000ffffff000000);
  auto storeFour = [&](uint8_t* to, __m128i p) {
    const __m128i six = _mm_or_si128(_mm_and_si128(p, first), _mm_and_si128(_mm_srli_epi64(p, 8), second));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to), six);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to + 6), _mm_unpackhi_epi64(six, six));
  };
  size_t x = 0;
  for (; x + 16 < count; x += 16, out += 48) {
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
    const __m128i bl = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x));
    const __m128i rgLow = _mm_unpacklo_epi8(r, g), rgHigh = _mm_unpackhi_epi8(r, g);
    const __m128i bLow = _mm_unpacklo_epi8(bl, zero), bHigh = _mm_unpackhi_epi8(bl, zero);
    storeFour(out, _mm_unpacklo_epi16(rgLow, bLow));
    storeFour(out + 12, _mm_unpackhi_epi16(rgLow, bLow));
    storeFour(out + 24, _mm_unpacklo_epi16(rgHigh, bHigh));
    storeFour(out + 36, _mm_unpackhi_epi16(rgHigh, bHigh));
  }
  interleaveThreePortable(a + x, b + x, c + x, out, count - x);
}
#endif

void interleaveThree(platform::SimdLevel level, const uint8_t* a, const uint8_t* b, const uint8_t* c, uint8_t* out,
                     size_t count) {
#if defined(TESSALY_X86)
  if (level >= platform::SimdLevel::avx2) return interleaveThreeSsse3(a, b, c, out, count);
  if (level == platform::SimdLevel::sse2) return interleaveThreeSse2(a, b, c, out, count);
#endif
  (void)level;
  interleaveThreePortable(a, b, c, out, count);
}

// Rows of pieces are short (128 bytes and less, mostly): copied and
// compared in line rather than through a library call per row, in moves of
// 16 bytes and blocks of 64 that the compiler turns into vector loads and
// compares.
inline void copyRow(uint8_t* to, const uint8_t* from, size_t count) {
  size_t i = 0;
  for (; i + 16 <= count; i += 16) std::memcpy(to + i, from + i, 16);
  if (i < count) std::memcpy(to + i, from + i, count - i);
}

// Whether 64 bytes are equal: the differences of eight words or-ed together.
inline bool sameBlock(const uint8_t* a, const uint8_t* b) {
  uint64_t difference = 0;
  for (int k = 0; k < 64; k += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + k, 8);
    std::memcpy(&y, b + k, 8);
    difference |= x ^ y;
  }
  return difference == 0;
}

inline bool sameRow(const uint8_t* a, const uint8_t* b, size_t count) {
  size_t i = 0;
  for (; i + 64 <= count; i += 64)
    if (!sameBlock(a + i, b + i)) return false;
  return i == count || std::memcmp(a + i, b + i, count - i) == 0;
}

#if defined(TESSALY_X86)
// The saved copy is read again only if the filter fails: written past the
// caches, so that it neither waits for its old contents nor pushes out the
// pieces being worked on. `to` is 16-byte aligned (a block of the copy).
// bench_host advanceState_rewrite_vs_memcpy.
__attribute__((target("sse2"))) void streamBlock(uint8_t* to, const uint8_t* from) {
  for (int i = 0; i < 64; i += 16)
    _mm_stream_si128(reinterpret_cast<__m128i*>(to + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
}

__attribute__((target("sse2"))) void fenceStreamedBlocks() { _mm_sfence(); }

inline bool streamsBlocks(platform::SimdLevel level) { return level >= platform::SimdLevel::sse2; }
#endif

inline void saveBlock(platform::SimdLevel level, uint8_t* to, const uint8_t* from) {
#if defined(TESSALY_X86)
  if (streamsBlocks(level)) return streamBlock(to, from);
#endif
  (void)level;
  std::memcpy(to, from, 64);
}

// Makes the saved blocks' streaming stores complete.
inline void finishSavedBlocks(platform::SimdLevel level) {
#if defined(TESSALY_X86)
  if (streamsBlocks(level)) fenceStreamedBlocks();
#endif
  (void)level;
}

bool emptyRect(const HostRect& r) { return r.right <= r.left || r.bottom <= r.top; }

// The columns [first, end) of a row of `width` pixels from `left`, in an
// image reduced by `rate`, that lie inside an image `imageWidth` wide.
struct Columns {
  int64_t first, end;
};
Columns columnsInside(int64_t left, int64_t width, int rate, int64_t imageWidth) {
  const int64_t first = std::clamp<int64_t>((-left * rate + rate - 1) / rate, 0, width);
  return {first, std::clamp<int64_t>((imageWidth + rate - 1) / rate - left, first, width)};
}

int rateOf(HostFixed rate) { return std::max(1, rate >> 16); }

}  // namespace

bool HostServices::requestsPending() const {
  return !emptyRect(filter_.inRect) || !emptyRect(filter_.outRect) || !emptyRect(filter_.maskRect);
}

void HostServices::releaseStreams() {
  for (StreamBuffer* b : {&in_, &out_, &mask_}) {
    memory_.release(b->counted);
    b->counted = 0;
  }
}

// Fills one stream's buffer with the planes lo..hi of `planes`, interleaved,
// for `rect` in the coordinates of the image reduced by `rate` (every
// rate-th pixel). Pixels outside the image read as 0.
bool HostServices::fillStream(StreamBuffer& buffer, const HostRect& rect, int rate, const std::vector<Plane*>& planes,
                              int16_t lo, int16_t hi, void*& data, int32_t& rowBytes) {
  data = nullptr;
  rowBytes = 0;
  if (emptyRect(rect)) return true;
  const Area area{rect.top, rect.left, rect.bottom, rect.right};
  // Reduced reads come from a reduced copy of the planes, their pixels
  // already interleaved, made at the first such read of a run: a display
  // asks for the same reduction again and again, and sampling the full
  // planes touches every cache line of every sampled row each time. Its
  // rows are then copied as rows of bytes.
  // bench_display full_view_zoom_1_4.
  if (rate > 1 && &buffer == &in_) {
    const int64_t n = hi - lo + 1;
    const int64_t width = (document_->width() + rate - 1) / rate, height = (document_->height() + rate - 1) / rate;
    Plane* const pixels = &reducedPixels(planes, lo, hi, rate);
    return fillFrom(buffer, {area.top, area.left * n, area.bottom, area.right * n}, 1, &pixels, 0, 0, data, rowBytes,
                    width * n, height);
  }
  return fillFrom(buffer, area, rate, planes.data(), lo, hi, data, rowBytes, document_->width(), document_->height());
}

// The planes lo..hi reduced by `rate` and interleaved: pixel (y, x) holds
// the planes' (rate y, rate x).
Plane& HostServices::reducedPixels(const std::vector<Plane*>& planes, int16_t lo, int16_t hi, int rate) {
  const auto first = planes.begin() + lo, last = planes.begin() + hi + 1;
  for (ReducedPixels& r : reducedPixels_)
    if (r.rate == rate && std::equal(r.sources.begin(), r.sources.end(), first, last)) return r.pixels;
  // Made aside and kept only when whole: a copy that failed for memory
  // must not be found by the next request.
  ReducedPixels r{{first, last}, rate, {}};
  const size_t docW = static_cast<size_t>(document_->width()), docH = static_cast<size_t>(document_->height());
  const size_t step = static_cast<size_t>(rate), n = r.sources.size();
  const size_t width = (docW + step - 1) / step, height = (docH + step - 1) / step;
  r.pixels.resize(width * height * n);
  for (size_t p = 0; p < n; ++p)
    for (size_t y = 0; y < height; ++y) {
      const uint8_t* from = r.sources[p]->data() + y * step * docW;
      uint8_t* to = r.pixels.data() + y * width * n + p;
      for (size_t x = 0; x < width; ++x) to[x * n] = from[x * step];
    }
  return reducedPixels_.emplace_back(std::move(r)).pixels;
}

bool HostServices::fillFrom(StreamBuffer& buffer, const Area& rect, int rate, Plane* const* planes,
                            int16_t lo, int16_t hi, void*& data, int32_t& rowBytes, int64_t docW, int64_t docH) {
  const size_t n = static_cast<size_t>(hi - lo + 1);
  const size_t width = static_cast<size_t>(rect.right - rect.left);
  const size_t height = static_cast<size_t>(rect.bottom - rect.top);
  const int64_t bytes = static_cast<int64_t>(width * height * n);
  if (!memory_.reserve(bytes)) return false;
  buffer.counted = bytes;
  if (buffer.bytes.size() < static_cast<size_t>(bytes)) buffer.bytes.resize(static_cast<size_t>(bytes));
  const size_t stride = width * n;
  // The part of each row inside the image: x from first to end.
  const int64_t left = rect.left;
  const auto [first, end] = columnsInside(left, static_cast<int64_t>(width), rate, docW);
  // Plug-ins walk an image in pieces, row by row: the pieces to the right
  // come next. Asking for their bytes now lets them arrive while the
  // plug-in works, where otherwise every row of every piece would wait for
  // memory on its own. Two pieces ahead, as the plug-in may not take long;
  // of a reduced image only the lines that hold sampled pixels.
  const int64_t aheadBegin = (left + end) * rate;
  const int64_t aheadEnd = std::min<int64_t>(aheadBegin + 2 * static_cast<int64_t>(width) * rate, docW);
  const int64_t aheadStep = std::max<int64_t>(64, rate);
  for (size_t y = 0; y < height; ++y) {
    uint8_t* out = buffer.bytes.data() + y * stride;
    const int64_t docY = (int64_t{rect.top} + static_cast<int64_t>(y)) * rate;
    if (docY < 0 || docY >= docH) {
      std::memset(out, 0, stride);
      continue;
    }
    if (first > 0) std::memset(out, 0, static_cast<size_t>(first) * n);
    if (static_cast<size_t>(end) < width)
      std::memset(out + end * static_cast<int64_t>(n), 0, (width - static_cast<size_t>(end)) * n);
    const size_t count = static_cast<size_t>(end - first);
    for (size_t p = 0; p < n && aheadBegin < aheadEnd; ++p) {
      const uint8_t* src = planes[static_cast<size_t>(lo) + p]->data() + docY * docW;
      for (int64_t x = aheadBegin; x < aheadEnd; x += aheadStep) __builtin_prefetch(src + x);
      __builtin_prefetch(src + aheadEnd - 1);
    }
    if (rate == 1 && n == 3) {
      // The common case, colour pixels: one pass writing whole pixels.
      const uint8_t* __restrict a = planes[static_cast<size_t>(lo)]->data() + docY * docW + left + first;
      const uint8_t* __restrict b = planes[static_cast<size_t>(lo) + 1]->data() + docY * docW + left + first;
      const uint8_t* __restrict c = planes[static_cast<size_t>(lo) + 2]->data() + docY * docW + left + first;
      uint8_t* __restrict o = out + first * 3;
      interleaveThree(simd_, a, b, c, o, count);
    } else {
      for (size_t p = 0; p < n; ++p) {
        const uint8_t* src = planes[static_cast<size_t>(lo) + p]->data() + docY * docW;
        uint8_t* o = out + p;
        if (rate == 1 && n == 1) {
          copyRow(o + first, src + left + first, count);
          continue;
        }
        for (int64_t x = first; x < end; ++x) o[x * static_cast<int64_t>(n)] = src[(left + x) * rate];
      }
    }
  }
  data = buffer.bytes.data();
  rowBytes = static_cast<int32_t>(stride);
  return true;
}

void HostServices::writeBackOutput() {
  if (!pending_.active) return;
  pending_.active = false;
  const HostRect& r = pending_.rect;
  const size_t n = static_cast<size_t>(pending_.hi - pending_.lo + 1);
  const size_t width = static_cast<size_t>(r.right - r.left);
  const int32_t docW = document_->width(), docH = document_->height();
  const int32_t top = std::max<int32_t>(r.top, 0), bottom = std::min<int32_t>(r.bottom, docH);
  const int32_t left = std::max<int32_t>(r.left, 0), right = std::min<int32_t>(r.right, docW);
  if (top >= bottom || left >= right) return;
  const size_t count = static_cast<size_t>(right - left);
  // With autoMask the host keeps the filter's changes inside the selection only.
  const Plane* selection = autoMask_ && filter_.haveMask && document_->selection ? &*document_->selection : nullptr;
  if (rowBuffer_.size() < count) rowBuffer_.resize(count);
  for (int32_t y = top; y < bottom; ++y) {
    const uint8_t* in = out_.bytes.data() + static_cast<size_t>(y - r.top) * width * n + static_cast<size_t>(left - r.left) * n;
    const size_t offset = static_cast<size_t>(y) * static_cast<size_t>(docW) + static_cast<size_t>(left);
    for (size_t p = 0; p < n; ++p) {
      const size_t plane = static_cast<size_t>(pending_.lo) + p;
      if (selection == nullptr && n == 1) {
        commitRow(plane, offset, in, count);
        continue;
      }
      const uint8_t* src = in + p;
      uint8_t* row = rowBuffer_.data();
      if (selection == nullptr) {
        for (size_t x = 0; x < count; ++x, src += n) row[x] = *src;
      } else {
        const uint8_t* old = streamPlanes_[plane]->data() + offset;
        const uint8_t* sel = selection->data() + offset;
        for (size_t x = 0; x < count; ++x, src += n)
          row[x] = static_cast<uint8_t>((old[x] * (255 - sel[x]) + *src * sel[x] + 127) / 255);
      }
      commitRow(plane, offset, row, count);
    }
  }
  finishSavedBlocks(simd_);
}

inline void HostServices::SavedPlane::keep(const Plane& target, size_t block, platform::SimdLevel level) {
  uint8_t* to = log.data() + used * kSavedBlock;
  slot[block] = static_cast<uint32_t>(++used);
  const size_t start = block * kSavedBlock;
  const size_t size = std::min(kSavedBlock, target.size() - start);
  if (size == kSavedBlock)
    saveBlock(level, to, target.data() + start);
  else
    std::memcpy(to, target.data() + start, size);
}

// Writes `count` bytes into the plane at `offset`, block by block: a block
// whose bytes do not change is left alone; one that changes is saved first
// unless it was saved before.
void HostServices::commitRow(size_t plane, size_t offset, const uint8_t* bytes, size_t count) {
  static_assert(kSavedBlock == 64, "sameBlock compares 64 bytes");
  Plane& target = *streamPlanes_[plane];
  // Most rows come back as they were delivered.
  if (sameRow(target.data() + offset, bytes, count)) return;
  SavedPlane& saved = savedPlane(plane);
  uint8_t* dst = target.data();
  const size_t end = offset + count;
  for (size_t at = offset; at < end;) {
    const size_t block = at / kSavedBlock;
    const size_t blockStart = block * kSavedBlock;
    const size_t stop = std::min(end, blockStart + kSavedBlock);
    const uint8_t* from = bytes + (at - offset);
    const bool whole = at == blockStart && stop - at == kSavedBlock;
    if (whole ? sameBlock(dst + at, from) : std::memcmp(dst + at, from, stop - at) == 0) {
      at = stop;
      continue;
    }
    if (!saved.isSaved(block)) saved.keep(target, block, simd_);
    if (whole)
      std::memcpy(dst + at, from, kSavedBlock);
    else
      std::memcpy(dst + at, from, stop - at);
    at = stop;
  }
}

HostServices::SavedPlane& HostServices::savedPlane(size_t plane) {
  if (savedPlanes_.size() <= plane) savedPlanes_.resize(plane + 1);
  SavedPlane& saved = savedPlanes_[plane];
  if (!saved.any) {
    const Plane& target = *streamPlanes_[plane];
    saved.any = true;
    saved.lent.clear();
    const size_t blocks = (target.size() + kSavedBlock - 1) / kSavedBlock;
    if (saved.log.size() < blocks * kSavedBlock) saved.log.resize(blocks * kSavedBlock);
    saved.slot.assign(blocks, 0);
    saved.used = 0;
  }
  return saved;
}

bool HostServices::saveRange(SavedPlane& saved, const Plane& target, size_t offset, size_t count) {
  if (count == 0) return false;
  bool any = false;
  // After the first look at a piece its blocks are saved: the few that are
  // not are copied in line, as a piece's row is only two or three blocks
  // (bench_host advanceState_writeback_vs_memcpy).
  const size_t end = (offset + count - 1) / kSavedBlock + 1;
  for (size_t block = offset / kSavedBlock; block < end; ++block) {
    if (saved.isSaved(block)) continue;
    saved.keep(target, block, simd_);
    any = true;
  }
  return any;
}

// A piece of one plane that lies wholly inside the image, with no selection
// to keep the changes in, is lent where it lies in the plane: nothing is
// copied out or back, and a display that only reads the output costs
// nothing after its first look. Its blocks are saved before the plug-in
// sees them, as any of them may change; it counts against the buffer space
// as a copy would, so that the plug-in meets the same limits.
bool HostServices::canLendOutput() const {
  const FilterRecord& r = filter_;
  if (emptyRect(r.outRect) || r.outLoPlane != r.outHiPlane) return false;
  if (r.outRect.left < 0 || r.outRect.top < 0 || r.outRect.right > document_->width() ||
      r.outRect.bottom > document_->height())
    return false;
  return !(autoMask_ && r.haveMask && document_->selection);
}

bool HostServices::lendOutput() {
  FilterRecord& r = filter_;
  const HostRect& rect = r.outRect;
  const size_t width = static_cast<size_t>(rect.right - rect.left);
  const int64_t bytes = static_cast<int64_t>(width) * (rect.bottom - rect.top);
  if (!memory_.reserve(bytes)) return false;
  out_.counted = bytes;
  const auto plane = static_cast<size_t>(r.outLoPlane);
  Plane& target = *streamPlanes_[plane];
  const size_t docW = static_cast<size_t>(document_->width());
  SavedPlane& saved = savedPlane(plane);
  // A display lends the same pieces again and again: one that was lent
  // before in this run is saved whole already, and nothing of it is read.
  const uint64_t key = uint64_t{static_cast<uint16_t>(rect.top)} << 48 | uint64_t{static_cast<uint16_t>(rect.left)} << 32 |
                       uint64_t{static_cast<uint16_t>(rect.bottom)} << 16 | uint64_t{static_cast<uint16_t>(rect.right)};
  if (saved.lent.insert(key).second) {
    // While rows are being saved, as for a copied piece, the rows of the
    // next two pieces to the right are asked for now: a plug-in walks the
    // image row by row.
    const size_t aheadBegin = static_cast<size_t>(rect.right);
    const size_t aheadEnd = std::min(aheadBegin + 2 * width, docW);
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      const size_t row = static_cast<size_t>(y) * docW;
      if (saveRange(saved, target, row + static_cast<size_t>(rect.left), width))
        for (size_t x = aheadBegin; x < aheadEnd; x += 64) __builtin_prefetch(target.data() + row + x);
    }
    finishSavedBlocks(simd_);
  }
  r.outData = target.data() + static_cast<size_t>(rect.top) * docW + static_cast<size_t>(rect.left);
  r.outRowBytes = static_cast<int32_t>(docW);
  return true;
}

// The input shows the planes as they were when the run began, as an
// editor's source image does: where the output has changed a block, its
// saved bytes stand in for it.
void HostServices::showOriginals(const std::vector<Plane*>& planes) {
  const FilterRecord& r = filter_;
  if (r.inData == nullptr) return;
  const int rate = rateOf(r.inputRate);
  const HostRect& rect = r.inRect;
  const auto n = static_cast<size_t>(r.inHiPlane - r.inLoPlane + 1);
  const int64_t width = rect.right - rect.left, docW = document_->width(), docH = document_->height();
  const int64_t left = rect.left;
  const auto [first, end] = columnsInside(left, width, rate, docW);
  if (first >= end) return;
  auto* out = static_cast<uint8_t*>(r.inData);
  for (size_t p = 0; p < n; ++p) {
    const Plane* plane = planes[static_cast<size_t>(r.inLoPlane) + p];
    const auto stream = std::find(streamPlanes_.begin(), streamPlanes_.end(), plane) - streamPlanes_.begin();
    if (static_cast<size_t>(stream) >= savedPlanes_.size() || !savedPlanes_[static_cast<size_t>(stream)].any) continue;
    const SavedPlane& saved = savedPlanes_[static_cast<size_t>(stream)];
    for (int64_t y = 0; y < rect.bottom - rect.top; ++y) {
      const int64_t docY = (rect.top + y) * rate;
      if (docY < 0 || docY >= docH) continue;
      const auto at = [&](int64_t x) { return static_cast<size_t>(docY * docW + (left + x) * rate); };
      const auto from = saved.slot.begin() + static_cast<std::ptrdiff_t>(at(first) / kSavedBlock);
      const auto to = saved.slot.begin() + static_cast<std::ptrdiff_t>(at(end - 1) / kSavedBlock + 1);
      if (std::all_of(from, to, [](uint32_t s) { return s == 0; })) continue;
      uint8_t* row = out + y * r.inRowBytes + static_cast<int64_t>(p);
      for (int64_t x = first; x < end; ++x) {
        const size_t block = at(x) / kSavedBlock;
        if (saved.isSaved(block)) row[x * static_cast<int64_t>(n)] = saved.savedBlock(block)[at(x) % kSavedBlock];
      }
    }
  }
}

void HostServices::restoreSavedPlanes() {
  for (size_t p = 0; p < savedPlanes_.size() && p < streamPlanes_.size(); ++p) {
    SavedPlane& saved = savedPlanes_[p];
    if (!saved.any) continue;
    Plane& target = *streamPlanes_[p];
    for (size_t block = 0; block < saved.slot.size(); ++block) {
      if (!saved.isSaved(block)) continue;
      const size_t start = block * kSavedBlock;
      std::memcpy(target.data() + start, saved.savedBlock(block), std::min(kSavedBlock, target.size() - start));
    }
  }
}

HostError HostServices::advanceStateProc() {
  HostServices* s = active_;
  if (s == nullptr || s->document_ == nullptr) return kHostFilterBadParameters;
  ++s->advanceCount_;
  if (s->failAdvanceAt_ == s->advanceCount_) {
    s->writeBackOutput();
    s->releaseStreams();
    s->filter_.inData = s->filter_.outData = s->filter_.maskData = nullptr;
    return s->failAdvanceCode_;
  }
  return s->advanceState();
}

HostError HostServices::advanceState() {
  simd_ = platform::simdLevel();
  writeBackOutput();
  releaseStreams();
  FilterRecord& r = filter_;
  r.inData = r.outData = r.maskData = nullptr;
  const std::vector<Plane*>& inPlanes = r.wantsAbsolute ? absolutePlanes_ : streamPlanes_;
  auto planesValid = [](const HostRect& rect, int16_t lo, int16_t hi, size_t count) {
    return emptyRect(rect) || (lo >= 0 && lo <= hi && static_cast<size_t>(hi) < count);
  };
  const bool maskWanted = !emptyRect(r.maskRect) && r.haveMask && document_->selection;
  if (!planesValid(r.inRect, r.inLoPlane, r.inHiPlane, inPlanes.size()) ||
      !planesValid(r.outRect, r.outLoPlane, r.outHiPlane, streamPlanes_.size()))
    return kHostFilterBadParameters;
  std::vector<Plane*> selection;
  if (maskWanted) selection.push_back(&*document_->selection);
  const bool lent = canLendOutput();
  const bool delivered =
      fillStream(in_, r.inRect, rateOf(r.inputRate), inPlanes, r.inLoPlane, r.inHiPlane, r.inData, r.inRowBytes) &&
      (!maskWanted || fillStream(mask_, r.maskRect, rateOf(r.maskRate), selection, 0, 0, r.maskData, r.maskRowBytes)) &&
      (lent ? lendOutput()
            : fillStream(out_, r.outRect, 1, streamPlanes_, r.outLoPlane, r.outHiPlane, r.outData, r.outRowBytes));
  if (!delivered) {
    releaseStreams();
    r.inData = r.outData = r.maskData = nullptr;
    return kHostOutOfMemory;
  }
  showOriginals(inPlanes);
  // A copied piece goes back at the next call; a lent one is in place.
  if (r.outData != nullptr && !lent) pending_ = {true, r.outRect, r.outLoPlane, r.outHiPlane};
  return kHostNoError;
}

}  // namespace host
