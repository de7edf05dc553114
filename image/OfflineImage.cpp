// The operations every Image has on top of locking, and the plane
// primitives. Every walk over an image follows one pattern: lock a piece,
// copy, unlock; a piece whose storage was never written reads as its fill
// byte, and a piece the storage cannot deliver is asked for again smaller
// as long as the iterator can cut it.
#include "image/OfflineImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <immintrin.h>
#include <numbers>
#include <vector>

#include "image/PieceIterator.h"
#include "shell/Exceptions.h"
#include "shell/StProgressIndicator.h"

// ---- Plane primitives ------------------------------------------------------

void CopyRowsOut(const PlaneView& plane, int32_t rows, int32_t rowBytes, uint8_t* buffer,
                 int32_t bufferRowStep) {
  if (rowBytes <= 0) return;
  const uint8_t* source = plane.data;
  for (int32_t row = 0; row < rows; ++row, source += plane.rowStep, buffer += bufferRowStep)
    std::memcpy(buffer, source, static_cast<size_t>(rowBytes));
}

void CopyRowsIn(const PlaneView& plane, int32_t rows, int32_t rowBytes, const uint8_t* buffer,
                int32_t bufferRowStep) {
  if (rowBytes <= 0) return;
  uint8_t* target = plane.data;
  for (int32_t row = 0; row < rows; ++row, target += plane.rowStep, buffer += bufferRowStep)
    std::memcpy(target, buffer, static_cast<size_t>(rowBytes));
}

void FillPlane(const PlaneView& plane, int32_t rows, int32_t rowBytes, uint8_t value) {
  if (rowBytes <= 0) return;
  uint8_t* target = plane.data;
  for (int32_t row = 0; row < rows; ++row, target += plane.rowStep)
    std::memset(target, value, static_cast<size_t>(rowBytes));
}

void InvertPlane(const PlaneView& plane, int32_t rows, int32_t rowBytes) {
  uint8_t* target = plane.data;
  for (int32_t row = 0; row < rows; ++row, target += plane.rowStep)
    for (int32_t i = 0; i < rowBytes; ++i) target[i] = static_cast<uint8_t>(~target[i]);
}

void FillMargins(const PlaneView& plane, const Rect& outer, const Rect& inner, uint8_t value) {
  if (outer.empty()) return;
  const int32_t pixelBytes = plane.colStep;
  const Rect clipped = inner.intersection(outer);
  if (clipped.empty()) {
    FillPlane(plane.offsetBy(outer.top, outer.left), outer.height(), outer.width() * pixelBytes, value);
    return;
  }
  FillPlane(plane.offsetBy(outer.top, outer.left), clipped.top - outer.top,
            outer.width() * pixelBytes, value);
  FillPlane(plane.offsetBy(clipped.bottom, outer.left), outer.bottom - clipped.bottom,
            outer.width() * pixelBytes, value);
  FillPlane(plane.offsetBy(clipped.top, outer.left), clipped.height(),
            (clipped.left - outer.left) * pixelBytes, value);
  FillPlane(plane.offsetBy(clipped.top, clipped.right), clipped.height(),
            (outer.right - clipped.right) * pixelBytes, value);
}

namespace {

// Fills `count` pixels from `target` on with copies of the pixel at
// `pixel`: one copy, then the filled run copied onto its own end, so the
// run doubles with every copy.
void repeatPixel(uint8_t* target, const uint8_t* pixel, int32_t count, int32_t pixelBytes) {
  if (count <= 0) return;
  if (pixelBytes == 1) {
    std::memset(target, *pixel, static_cast<size_t>(count));
    return;
  }
  const size_t total = static_cast<size_t>(count) * static_cast<size_t>(pixelBytes);
  std::memcpy(target, pixel, static_cast<size_t>(pixelBytes));
  size_t done = static_cast<size_t>(pixelBytes);
  while (done < total) {
    const size_t chunk = std::min(done, total - done);
    std::memcpy(target + done, target, chunk);
    done += chunk;
  }
}

}  // namespace

void ReplicateEdges(const PlaneView& plane, const Rect& outer, const Rect& inner) {
  const Rect valid = inner.intersection(outer);
  if (valid.empty()) return;
  const int32_t pixelBytes = plane.colStep;
  for (int32_t v = valid.top; v < valid.bottom; ++v) {
    repeatPixel(plane.at(v, outer.left), plane.at(v, valid.left), valid.left - outer.left, pixelBytes);
    repeatPixel(plane.at(v, valid.right), plane.at(v, valid.right - 1), outer.right - valid.right,
                pixelBytes);
  }
  const size_t rowBytes = static_cast<size_t>(outer.width() * pixelBytes);
  for (int32_t v = outer.top; v < valid.top; ++v)
    std::memcpy(plane.at(v, outer.left), plane.at(valid.top, outer.left), rowBytes);
  for (int32_t v = valid.bottom; v < outer.bottom; ++v)
    std::memcpy(plane.at(v, outer.left), plane.at(valid.bottom - 1, outer.left), rowBytes);
}

namespace {

template <int PixelBytes>
void expandFixed(uint8_t* row, int32_t pixels, int32_t factor) {
  for (int32_t p = pixels - 1; p >= 0; --p) {
    uint8_t pixel[PixelBytes];
    std::memcpy(pixel, row + p * PixelBytes, PixelBytes);
    uint8_t* target = row + static_cast<ptrdiff_t>(p) * factor * PixelBytes;
    for (int32_t j = 0; j < factor; ++j) std::memcpy(target + j * PixelBytes, pixel, PixelBytes);
  }
}

}  // namespace

void ExpandPixels(uint8_t* row, int32_t pixels, int32_t pixelBytes, int32_t factor) {
  if (factor <= 1 || pixels <= 0) return;
  switch (pixelBytes) {
    case 1:
      for (int32_t p = pixels - 1; p >= 0; --p)
        std::memset(row + static_cast<ptrdiff_t>(p) * factor, row[p], static_cast<size_t>(factor));
      return;
    case 3:
      return expandFixed<3>(row, pixels, factor);
    case 4:
      return expandFixed<4>(row, pixels, factor);
    default:
      for (int32_t p = pixels - 1; p >= 0; --p) {
        uint8_t* target = row + static_cast<ptrdiff_t>(p) * factor * pixelBytes;
        // The pixel's first copy may overlap its source only when p is 0,
        // where source and target are the same bytes.
        std::memmove(target, row + static_cast<ptrdiff_t>(p) * pixelBytes, static_cast<size_t>(pixelBytes));
        repeatPixel(target, target, factor, pixelBytes);
      }
  }
}

void ZoomInPlane(const PlaneView& plane, int32_t rows, int32_t columns, int32_t factor) {
  if (factor <= 1 || rows <= 0 || columns <= 0) return;
  const size_t rowBytes = static_cast<size_t>(columns) * static_cast<size_t>(factor * plane.colStep);
  for (int32_t row = rows - 1; row >= 0; --row) {
    uint8_t* source = plane.at(row, 0);
    ExpandPixels(source, columns, plane.colStep, factor);
    for (int32_t j = factor - 1; j >= 0; --j) {
      uint8_t* target = plane.at(row * factor + j, 0);
      if (target != source) std::memcpy(target, source, rowBytes);
    }
  }
}

namespace {

// Every factor-th byte of a row, factor 2 or 4, sixteen at a time: the
// bytes wanted are the low ones of 16- or 32-bit lanes, masked and packed.
// Returns how many were taken; a block reads only bytes of the row.
int32_t takeEveryNthSse2(const uint8_t* from, uint8_t* to, int32_t outColumns, int32_t columns, int32_t factor) {
#if defined(__SSE2__)
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
      const auto load = [&](int k) {
        return _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 4 * c + 16 * k)), low);
      };
      const __m128i ab = _mm_packs_epi32(load(0), load(1));
      const __m128i cd = _mm_packs_epi32(load(2), load(3));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + c), _mm_packus_epi16(ab, cd));
    }
  }
  return std::min(c, outColumns);
#else
  (void)from, (void)to, (void)outColumns, (void)columns, (void)factor;
  return 0;
#endif
}

}  // namespace

Point ZoomOutPlane(const PlaneView& source, int32_t rows, int32_t columns, int32_t factor,
                   const PlaneView& destination) {
  if (factor < 1) factor = 1;
  const int32_t outRows = (rows + factor - 1) / factor;
  const int32_t outColumns = (columns + factor - 1) / factor;
  const int32_t pixelBytes = source.colStep;
  const int32_t rowBytes = columns * pixelBytes;
  for (int32_t row = 0; row < outRows; ++row) {
    const uint8_t* from = source.at(row * factor, 0);
    uint8_t* to = destination.at(row, 0);
    // The rows taken lie factor rows apart, each in pages of its own, where
    // the processor does not look ahead by itself.
    if (factor > 1 && row + 2 < outRows) {
      const uint8_t* next = source.at((row + 2) * factor, 0);
      for (int32_t b = 0; b < rowBytes; b += 64) __builtin_prefetch(next + b);
    }
    if (pixelBytes == 1) {
      // Reads stay ahead of writes, so this works in place too.
      for (int32_t c = takeEveryNthSse2(from, to, outColumns, columns, factor); c < outColumns; ++c)
        to[c] = from[c * factor];
    } else {
      // memmove: in place, a pixel's target may be its own source.
      for (int32_t c = 0; c < outColumns; ++c)
        std::memmove(to + c * destination.colStep, from + c * factor * pixelBytes,
                     static_cast<size_t>(pixelBytes));
    }
  }
  return {static_cast<int16_t>(outRows), static_cast<int16_t>(outColumns)};
}

namespace {

bool rowIsZero(const uint8_t* row, int32_t count) {
  uint8_t any = 0;
  for (int32_t i = 0; i < count; ++i) any |= row[i];
  return any == 0;
}

bool columnIsZero(const PlaneView& plane, int32_t column, int32_t top, int32_t bottom) {
  uint8_t any = 0;
  for (int32_t v = top; v < bottom; ++v) any |= *plane.at(v, column);
  return any == 0;
}

}  // namespace

Rect TrimBounds(const PlaneView& plane, const Rect& rect) {
  if (rect.empty()) return {};
  Rect r = rect;
  while (r.top < r.bottom && rowIsZero(plane.at(r.top, r.left), r.width())) ++r.top;
  if (r.top == r.bottom) return {};
  while (rowIsZero(plane.at(r.bottom - 1, r.left), r.width())) --r.bottom;
  while (columnIsZero(plane, r.left, r.top, r.bottom)) ++r.left;
  while (columnIsZero(plane, r.right - 1, r.top, r.bottom)) --r.right;
  return r;
}

void UnionRows(uint8_t* destination, const uint8_t* coverage, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t b = coverage[i], q = destination[i];
    destination[i] = static_cast<uint8_t>(((255 - b) * q + 255 * b + 127) / 255);
  }
}

// ---- Image operations -------------------------------------------------------

PlaneView Image::LockRect(const Rect& rect, LockMode mode, Rect& piece) {
  piece = rect;
  const PlaneView view = lock(piece, mode);
  return view.offsetBy(rect.top - piece.top, rect.left - piece.left);
}

namespace {

// Walks the pieces of rect, locking each in `mode` and handing the locked
// view (at the piece's top-left) and the whole locked piece to `copy`. XReduce asks the iterator for a
// smaller piece and tries again; XUnmapped goes to `unmapped` when given.
template <typename Copy, typename Unmapped>
void walkPieces(Image& image, const Rect& rect, LockMode mode, Copy copy, Unmapped unmapped) {
  const std::unique_ptr<PieceIterator> pieces = image.newRectIterator(rect);
  bool done = pieces->next();
  while (!done) {
    const Rect piece = pieces->piece();
    try {
      StPieceLock locked(image, piece, mode);
      // The image promises a lock that holds the whole piece; copying a
      // part of it would leave the rest unread or unwritten.
      if (!locked.piece().contains(piece)) throw XLock(TESSALY_HERE);
      copy(piece, locked.view(), locked.piece());
    } catch (const XUnmapped& e) {
      if constexpr (std::is_same_v<Unmapped, std::nullptr_t>) {
        throw;
      } else {
        unmapped(piece, e.fill());
      }
    } catch (const XReduce&) {
      if (pieces->reduce()) throw;
      continue;
    }
    done = pieces->next();
  }
}

}  // namespace

namespace {

SimdLevel widestSimd() {
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vnni"))
    return SimdLevel::avx512;
  if (__builtin_cpu_supports("avx2")) return SimdLevel::avx2;
  return SimdLevel::portable;
}

SimdLevel gSimd = widestSimd();

// ---- Streaming copies
//
// A copy of many megabytes would only push everything else out of the
// caches, and every cache line it writes would first be read in. Streaming
// stores write whole lines straight to memory without reading them, as a
// large memcpy does. They pay only for whole lines: a line that a piece
// fills only in part is kept aside until the pieces beside it (the tiles
// to its left and right) have filled the rest; lines the copy shares with
// bytes outside it are written in the ordinary way, byte-masked.

constexpr size_t kStreamingBytes = size_t{8} << 20;

// How far ahead of the copy a piece's rows are asked for, in bytes of the
// piece: far enough that they arrive before they are wanted, near enough
// that they are still in the cache then.
constexpr size_t kAheadBytes = 8192;

int32_t rowsAhead(size_t rowBytes) { return static_cast<int32_t>(std::max<size_t>(1, kAheadBytes / rowBytes)); }

inline void prefetchRow(const uint8_t* row, size_t bytes) {
  for (size_t b = 0; b < bytes; b += 64) __builtin_prefetch(row + b);
}

#define TESSALY_AVX512BW gnu::target("avx512f,avx512bw")

// A destination line that pieces have filled in part, for one row of the
// rectangle.
struct alignas(64) PendingLine {
  uint8_t bytes[64];
  uintptr_t line = 0;
  uint64_t filled = 0;  // one bit per byte
};

[[TESSALY_AVX512BW]] void flushPending(PendingLine& pending) {
  if (pending.filled != 0)
    _mm512_mask_storeu_epi8(reinterpret_cast<void*>(pending.line), pending.filled, _mm512_load_si512(pending.bytes));
  pending.filled = 0;
  pending.line = 0;
}

// Copies n bytes from `from` to `to`, part of the destination row
// [rowBegin, rowEnd) that the copy fills whole; `pending` is that row's
// part-filled line. The masked loads never touch the bytes they leave out.
[[TESSALY_AVX512BW]] void streamSegment(uint8_t* to, const uint8_t* from, size_t n, uintptr_t rowBegin,
                                        uintptr_t rowEnd, PendingLine& pending) {
  uintptr_t at = reinterpret_cast<uintptr_t>(to), source = reinterpret_cast<uintptr_t>(from);
  const uintptr_t end = at + n;
  while (at < end) {
    const uintptr_t line = at & ~uintptr_t{63};
    const uintptr_t offset = at - line;
    const uintptr_t take = std::min<uintptr_t>(64 - offset, end - at);
    if (take == 64) {
      _mm512_stream_si512(reinterpret_cast<__m512i*>(line), _mm512_loadu_si512(reinterpret_cast<const void*>(source)));
    } else {
      const uint64_t mask = ((uint64_t{1} << take) - 1) << offset;
      const void* lineSource = reinterpret_cast<const void*>(source - offset);
      if (line >= rowBegin && line + 64 <= rowEnd) {
        if (pending.line != line) {
          flushPending(pending);
          pending.line = line;
        }
        const __m512i bytes = _mm512_mask_loadu_epi8(_mm512_load_si512(pending.bytes), mask, lineSource);
        pending.filled |= mask;
        if (pending.filled == ~uint64_t{0}) {
          _mm512_stream_si512(reinterpret_cast<__m512i*>(line), bytes);
          pending.filled = 0;
          pending.line = 0;
        } else {
          _mm512_store_si512(pending.bytes, bytes);
        }
      } else {
        _mm512_mask_storeu_epi8(reinterpret_cast<void*>(line), mask, _mm512_maskz_loadu_epi8(mask, lineSource));
      }
    }
    at += take;
    source += take;
  }
}

// A segment of a destination row that does not start on a line, whose
// length is a whole number of lines: each destination line is two source
// lines' bytes, shifted into place by one byte permute, so that every line
// is streamed whole and nothing is loaded across a line. The segment's
// last o bytes start the next line; they wait in the row's ShiftedRow for
// the next segment along, which begins there (the tile beside it).
struct alignas(64) ShiftedRow {
  uint8_t last[64];     // the previous segment's last 64 source bytes
  uintptr_t line = 0;   // the line whose start their last `offset` bytes are; 0: nothing waits
  uintptr_t offset = 0;
};

const bool gPermutes = __builtin_cpu_supports("avx512vbmi");

#define TESSALY_AVX512VBMI gnu::target("avx512f,avx512bw,avx512vbmi")

// The index that takes bytes 64 - o .. 127 - o of two registers side by side.
[[TESSALY_AVX512VBMI]] inline __m512i shiftIndex(uintptr_t o) {
  alignas(64) static constexpr uint8_t kIota[64] = {
      0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
      22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  return _mm512_add_epi8(_mm512_load_si512(kIota), _mm512_set1_epi8(static_cast<char>(64 - o)));
}

// Writes the waiting bytes (the start of their line) the ordinary way.
[[TESSALY_AVX512VBMI]] void flushShifted(ShiftedRow& row) {
  if (row.line == 0) return;
  const __m512i out =
      _mm512_permutex2var_epi8(_mm512_load_si512(row.last), shiftIndex(row.offset), _mm512_setzero_si512());
  _mm512_mask_storeu_epi8(reinterpret_cast<void*>(row.line), (uint64_t{1} << row.offset) - 1, out);
  row.line = 0;
}

[[TESSALY_AVX512VBMI]] void streamShifted(uint8_t* to, const uint8_t* from, size_t n, ShiftedRow& row) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(to);
  const uintptr_t o = at & 63, line = at - o;
  const __m512i index = shiftIndex(o);
  const bool joined = row.line == line && row.offset == o;
  if (!joined) flushShifted(row);
  __m512i previous = joined ? _mm512_load_si512(row.last) : _mm512_setzero_si512();
  for (size_t k = 0; k < n; k += 64) {
    const __m512i chunk = _mm512_loadu_si512(reinterpret_cast<const void*>(from + k));
    const __m512i out = _mm512_permutex2var_epi8(previous, index, chunk);
    if (k == 0 && !joined)
      _mm512_mask_storeu_epi8(reinterpret_cast<void*>(line), ~((uint64_t{1} << o) - 1), out);
    else
      _mm512_stream_si512(reinterpret_cast<__m512i*>(line + k), out);
    previous = chunk;
  }
  _mm512_store_si512(row.last, previous);
  row.line = line + n;
  row.offset = o;
}

// streamShifted for `count` rows of a piece, toStep apart (a whole number
// of lines, so that every row starts at the same offset in its line), the
// first of which is the rectangle's row `first`.
[[TESSALY_AVX512VBMI]] void streamShiftedRows(uint8_t* to, ptrdiff_t toStep, const uint8_t* from, ptrdiff_t fromStep,
                                              int32_t count, size_t n, ShiftedRow* ring, size_t ringSize,
                                              size_t first) {
  const int32_t ahead = rowsAhead(n);
  for (int32_t i = 0; i < count; ++i, to += toStep, from += fromStep) {
    if (i + ahead < count) prefetchRow(from + ahead * fromStep, n);
    streamShifted(to, from, n, ring[(first + static_cast<size_t>(i)) % ringSize]);
  }
}

// Row i of a copy of `rows` rows of n bytes (a whole number of lines),
// fromStep apart, into one run of rows * n bytes at `to` (a piece whose
// rows follow each other in memory, such as a tile), whatever the run's
// offset in its first line: each line is two source lines' bytes shifted
// into place, as in streamShifted, and streamed whole. The run's first and
// last lines, shared with whatever lies around it, are written
// byte-masked. `from` is row i's source.
[[TESSALY_AVX512VBMI]] inline void streamRunRow(uint8_t* to, const uint8_t* from, ptrdiff_t fromStep, size_t n,
                                                int32_t i, int32_t rows) {
  const uintptr_t o = reinterpret_cast<uintptr_t>(to) & 63;
  const __m512i index = shiftIndex(o);
  uintptr_t out = reinterpret_cast<uintptr_t>(to) - o + static_cast<uintptr_t>(i) * n;
  // The bytes before the row's first line are the last of the row above.
  __m512i previous = i > 0 ? _mm512_loadu_si512(reinterpret_cast<const void*>(from - fromStep + n - 64))
                           : _mm512_setzero_si512();
  for (size_t k = 0; k < n; k += 64, out += 64) {
    const __m512i chunk = _mm512_loadu_si512(reinterpret_cast<const void*>(from + k));
    const __m512i bytes = _mm512_permutex2var_epi8(previous, index, chunk);
    if (i == 0 && k == 0 && o != 0)
      _mm512_mask_storeu_epi8(reinterpret_cast<void*>(out), ~((uint64_t{1} << o) - 1), bytes);
    else
      _mm512_stream_si512(reinterpret_cast<__m512i*>(out), bytes);
    previous = chunk;
  }
  if (i == rows - 1 && o != 0)
    _mm512_mask_storeu_epi8(reinterpret_cast<void*>(out), (uint64_t{1} << o) - 1,
                            _mm512_permutex2var_epi8(previous, index, _mm512_setzero_si512()));
}

// Every row of such a run.
[[TESSALY_AVX512VBMI]] void streamRunShifted(uint8_t* to, const uint8_t* from, int32_t rows, size_t n,
                                             ptrdiff_t fromStep) {
  const int32_t ahead = rowsAhead(n);
  for (int32_t i = 0; i < rows; ++i, from += fromStep) {
    if (i + ahead < rows) prefetchRow(from + ahead * fromStep, n);
    streamRunRow(to, from, fromStep, n, i, rows);
  }
}

// A locked piece of a band and where its bytes lie in each source row.
struct BandRun {
  uint8_t* to;     // the piece's first byte; its rows follow each other
  size_t column;   // the piece's first byte in a source row of the band
  size_t n;        // bytes per row, a whole number of lines
};

// Copies `rows` source rows, fromStep apart, into the runs of one band,
// row by row across the runs: the source is read in order, and each run
// is written in order.
[[TESSALY_AVX512VBMI]] void streamBand(const BandRun* runs, size_t count, const uint8_t* from, ptrdiff_t fromStep,
                                       int32_t rows) {
  const size_t span = runs[count - 1].column + runs[count - 1].n - runs[0].column;
  const int32_t ahead = rowsAhead(span);
  for (int32_t i = 0; i < std::min(ahead, rows); ++i) prefetchRow(from + i * fromStep + runs[0].column, span);
  for (int32_t i = 0; i < rows; ++i, from += fromStep) {
    if (i + ahead < rows) prefetchRow(from + ahead * fromStep + runs[0].column, span);
    for (size_t r = 0; r < count; ++r) streamRunRow(runs[r].to, from + runs[r].column, fromStep, runs[r].n, i, rows);
  }
}

#undef TESSALY_AVX512VBMI

// Copies `count` rows of n bytes (a whole number of lines) to rows that
// start on a line, toStep apart.
[[TESSALY_AVX512BW]] void streamLineRows(uint8_t* to, ptrdiff_t toStep, const uint8_t* from, ptrdiff_t fromStep,
                                         int32_t count, size_t n) {
  const int32_t ahead = rowsAhead(n);
  for (int32_t i = 0; i < count; ++i, to += toStep, from += fromStep) {
    if (i + ahead < count) prefetchRow(from + ahead * fromStep, n);
    for (size_t k = 0; k < n; k += 64)
      _mm512_stream_si512(reinterpret_cast<__m512i*>(to + k), _mm512_loadu_si512(reinterpret_cast<const void*>(from + k)));
  }
}

// Copies `rows` rows of rowBytes bytes, rowStep apart at `from`, into one
// run of rows * rowBytes bytes at `to` (a piece whose rows follow each
// other in memory). A row's last, part-filled line is carried in a
// register until the next row's first bytes complete it; the run's first
// and last lines, shared with whatever lies around it, are written
// byte-masked.
[[TESSALY_AVX512BW]] void streamRun(uint8_t* to, const uint8_t* from, int32_t rows, int32_t rowBytes,
                                    int32_t rowStep) {
  auto bits = [](uintptr_t count) { return count >= 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1; };
  uintptr_t at = reinterpret_cast<uintptr_t>(to);
  __m512i carry = _mm512_setzero_si512();
  uintptr_t carryLine = 0;
  uint64_t carried = 0;
  for (int32_t i = 0; i < rows; ++i, from += rowStep) {
    const uintptr_t rowEnd = at + static_cast<uintptr_t>(rowBytes);
    uintptr_t source = reinterpret_cast<uintptr_t>(from);
    if ((at & 63) != 0) {
      const uintptr_t line = at & ~uintptr_t{63}, offset = at - line;
      const uintptr_t take = std::min<uintptr_t>(64 - offset, rowEnd - at);
      if (line != carryLine) {
        carry = _mm512_setzero_si512();
        carried = 0;
        carryLine = line;
      }
      const uint64_t mask = bits(take) << offset;
      carry = _mm512_mask_loadu_epi8(carry, mask, reinterpret_cast<const void*>(source - offset));
      carried |= mask;
      at += take;
      source += take;
      if (carried == ~uint64_t{0}) {
        _mm512_stream_si512(reinterpret_cast<__m512i*>(line), carry);
        carried = 0;
        carryLine = 0;
      } else if (at < rowEnd) {
        // The run's first line: nothing of the run comes before these bytes.
        _mm512_mask_storeu_epi8(reinterpret_cast<void*>(line), carried, carry);
        carried = 0;
        carryLine = 0;
      }
    }
    for (; at + 64 <= rowEnd; at += 64, source += 64)
      _mm512_stream_si512(reinterpret_cast<__m512i*>(at), _mm512_loadu_si512(reinterpret_cast<const void*>(source)));
    if (at < rowEnd) {
      carried = bits(rowEnd - at);
      carry = _mm512_maskz_loadu_epi8(carried, reinterpret_cast<const void*>(source));
      carryLine = at;
      at = rowEnd;
    }
  }
  if (carried != 0) _mm512_mask_storeu_epi8(reinterpret_cast<void*>(carryLine), carried, carry);
}

// The part-filled lines of a streaming copy's rows, written out the
// ordinary way when the copy ends (also by an exception); then the
// streaming stores are fenced, so that whatever comes next sees them.
class StStreamingCopy {
 public:
  StStreamingCopy() : pending_(kRows), shifted_(gPermutes ? kRows : 0) {}
  ~StStreamingCopy() {
    for (ShiftedRow& r : shifted_) flushShifted(r);
    finish(pending_);
  }
  StStreamingCopy(const StStreamingCopy&) = delete;
  StStreamingCopy& operator=(const StStreamingCopy&) = delete;

  PendingLine& row(int32_t v) { return pending_[static_cast<size_t>(v) % kRows]; }

  // Copies the rows of a piece: `count` rows of n bytes from `from`
  // (fromStep apart) to `to` (toStep apart), the first being the
  // destination's row v; rowStart is that row's first byte and rowBytes
  // the length of every destination row. Whole lines at one offset go
  // through the row loops; anything else row by row.
  void piece(int32_t v, int32_t count, uint8_t* to, ptrdiff_t toStep, const uint8_t* from, ptrdiff_t fromStep,
             size_t n, uint8_t* rowStart, size_t rowBytes) {
    const uintptr_t offset = reinterpret_cast<uintptr_t>(to) & 63;
    if (n % 64 == 0 && toStep % 64 == 0) {
      // A row's shifted bytes that still wait lie on a line these rows do
      // not fill: they stay until the row's next shifted segment or the end.
      if (offset == 0) return streamLineRows(to, toStep, from, fromStep, count, n);
      if (!shifted_.empty())
        return streamShiftedRows(to, toStep, from, fromStep, count, n, shifted_.data(), kRows,
                                 static_cast<size_t>(v));
    }
    const int32_t ahead = rowsAhead(n);
    for (int32_t i = 0; i < count; ++i, to += toStep, from += fromStep, rowStart += toStep) {
      if (i + ahead < count) prefetchRow(from + ahead * fromStep, n);
      const auto begin = reinterpret_cast<uintptr_t>(rowStart);
      segment(v + i, to, from, n, begin, begin + rowBytes);
    }
  }

  // Copies one segment of destination row v: shifted into place when it
  // is whole lines long and does not start on a line, else line by line.
  void segment(int32_t v, uint8_t* to, const uint8_t* from, size_t n, uintptr_t rowBegin, uintptr_t rowEnd) {
    if (!shifted_.empty()) {
      ShiftedRow& shifted = shifted_[static_cast<size_t>(v) % kRows];
      if (n % 64 == 0 && (reinterpret_cast<uintptr_t>(to) & 63) != 0) {
        streamShifted(to, from, n, shifted);
        return;
      }
      flushShifted(shifted);
    }
    streamSegment(to, from, n, rowBegin, rowEnd, row(v));
  }

 private:
  // More rows than a tile has: a row's line waits for the next tile along.
  static constexpr size_t kRows = 256;
  [[TESSALY_AVX512BW]] static void finish(std::vector<PendingLine>& pending) {
    for (PendingLine& p : pending) flushPending(p);
    _mm_sfence();
  }
  std::vector<PendingLine> pending_;
  std::vector<ShiftedRow> shifted_;
};

#undef TESSALY_AVX512BW

bool streams(const Rect& rect, int32_t pixelBytes) {
  return gSimd == SimdLevel::avx512 && !rect.empty() &&
         static_cast<size_t>(rect.height()) * static_cast<size_t>(rect.width()) * static_cast<size_t>(pixelBytes) >=
             kStreamingBytes;
}

// Writes one piece of a large copy on its own. A piece whose rows follow
// each other in memory, as a tile's do, is written whole (no line is
// shared with a neighbour), and its bytes are in memory before its lock is
// released; any other piece is copied row by row.
void streamPiece(const PlaneView& target, int32_t rows, int32_t rowBytes, const uint8_t* from, int32_t fromStep) {
  if (target.rowStep != rowBytes) return CopyRowsIn(target, rows, rowBytes, from, fromStep);
  if (gPermutes && rowBytes % 64 == 0)
    streamRunShifted(target.data, from, rows, static_cast<size_t>(rowBytes), fromStep);
  else
    streamRun(target.data, from, rows, rowBytes, fromStep);
  _mm_sfence();
}

// WriteRect's streaming walk for images whose pieces may be locked
// together. Written one piece at a time, each piece would take a little of
// every source row and wait for each row on its own; instead the pieces
// of a band are locked (up to kBandPieces of them), copied row by row
// across, made visible in memory and released, last first. A piece whose
// rows do not follow each other as whole lines is written on its own.
// When a lock fails, or the storage asks for smaller pieces, the pieces
// held are written first, as the one-piece walk would have.
class BandWriter {
 public:
  BandWriter(Image& image, const Rect& rect, const PlaneView& source, int32_t pixelBytes)
      : image_(image), rect_(rect), source_(source), pixelBytes_(pixelBytes) {}
  ~BandWriter() { release(); }
  BandWriter(const BandWriter&) = delete;
  BandWriter& operator=(const BandWriter&) = delete;

  void write() {
    const std::unique_ptr<PieceIterator> pieces = image_.newRectIterator(rect_);
    bool done = pieces->next();
    while (!done) {
      const Rect piece = pieces->piece();
      if (!held_.empty() && (piece.top != band_.top || piece.bottom != band_.bottom || held_.size() == kBandPieces))
        flush();
      try {
        take(piece);
      } catch (const XReduce&) {
        flush();
        if (pieces->reduce()) throw;
        continue;
      } catch (...) {
        flush();
        throw;
      }
      done = pieces->next();
    }
    flush();
  }

 private:
  static constexpr size_t kBandPieces = 64;

  void take(const Rect& piece) {
    auto lock = std::make_unique<StPieceLock>(image_, piece, LockMode::write);
    if (!lock->piece().contains(piece)) throw XLock(TESSALY_HERE);
    const PlaneView& target = lock->view();
    const size_t n = static_cast<size_t>(piece.width() * pixelBytes_);
    const uint8_t* from = source_.at(piece.top - rect_.top, piece.left - rect_.left);
    if (static_cast<size_t>(target.rowStep) != n || n % 64 != 0) {
      streamPiece(target, piece.height(), static_cast<int32_t>(n), from, source_.rowStep);
      return;
    }
    if (held_.empty()) band_ = piece;
    runs_.push_back({target.data, static_cast<size_t>(from - source_.at(band_.top - rect_.top, 0)), n});
    held_.push_back(std::move(lock));
  }

  // Copies the band held, fences the streaming stores so that the bytes
  // are in memory before any lock is released, and releases the pieces.
  void flush() {
    if (!runs_.empty())
      streamBand(runs_.data(), runs_.size(), source_.at(band_.top - rect_.top, 0), source_.rowStep, band_.height());
    _mm_sfence();
    release();
  }

  void release() {
    runs_.clear();
    while (!held_.empty()) held_.pop_back();
  }

  Image& image_;
  const Rect rect_;
  const PlaneView source_;
  const int32_t pixelBytes_;
  Rect band_;
  std::vector<BandRun> runs_;
  std::vector<std::unique_ptr<StPieceLock>> held_;
};

}  // namespace

SimdLevel limitSimd(SimdLevel widest) {
  const SimdLevel before = gSimd;
  gSimd = std::min(widest, widestSimd());
  return before;
}

void Image::ReadRect(const Rect& rect, const PlaneView& destination) {
  const int32_t pixelBytes = layout_.bytesPerPixel;
  if (streams(rect, pixelBytes)) {
    StStreamingCopy streaming;
    const size_t rowBytes = static_cast<size_t>(rect.width() * pixelBytes);
    walkPieces(
        *this, rect, LockMode::read,
        [&](const Rect& piece, const PlaneView& source, const Rect&) {
          streaming.piece(piece.top - rect.top, piece.height(),
                          destination.at(piece.top - rect.top, piece.left - rect.left), destination.rowStep,
                          source.data, source.rowStep, static_cast<size_t>(piece.width() * pixelBytes),
                          destination.at(piece.top - rect.top, 0), rowBytes);
        },
        [&](const Rect& piece, uint8_t fill) {
          FillPlane(destination.offsetBy(piece.top - rect.top, piece.left - rect.left), piece.height(),
                    piece.width() * pixelBytes, fill);
        });
    return;
  }
  walkPieces(
      *this, rect, LockMode::read,
      [&](const Rect& piece, const PlaneView& source, const Rect&) {
        CopyRowsOut(source, piece.height(), piece.width() * pixelBytes,
                    destination.at(piece.top - rect.top, piece.left - rect.left),
                    destination.rowStep);
      },
      [&](const Rect& piece, uint8_t fill) {
        FillPlane(destination.offsetBy(piece.top - rect.top, piece.left - rect.left),
                  piece.height(), piece.width() * pixelBytes, fill);
      });
}

void Image::WriteRect(const Rect& rect, const PlaneView& source) {
  const int32_t pixelBytes = layout_.bytesPerPixel;
  if (streams(rect, pixelBytes)) {
    if (gPermutes && locksPiecesTogether()) {
      BandWriter(*this, rect, source, pixelBytes).write();
      return;
    }
    walkPieces(
        *this, rect, LockMode::write,
        [&](const Rect& piece, const PlaneView& target, const Rect&) {
          const int32_t rowBytes = piece.width() * pixelBytes;
          const uint8_t* from = source.at(piece.top - rect.top, piece.left - rect.left);
          // At the start of a band of pieces, the band's source rows are
          // asked for whole: read in order they stream from memory, where
          // the pieces, each taking a little of every row, would wait for
          // each row on its own.
          if (piece.left == rect.left) {
            for (int32_t v = 0; v < piece.height(); ++v)
              prefetchRow(source.at(piece.top - rect.top + v, 0), static_cast<size_t>(rect.width() * pixelBytes));
          }
          streamPiece(target, piece.height(), rowBytes, from, source.rowStep);
        },
        nullptr);
    return;
  }
  walkPieces(
      *this, rect, LockMode::write,
      [&](const Rect& piece, const PlaneView& target, const Rect&) {
        CopyRowsIn(target, piece.height(), piece.width() * pixelBytes,
                   source.at(piece.top - rect.top, piece.left - rect.left), source.rowStep);
      },
      nullptr);
}

namespace {

int16_t clampTo16(int32_t value) {
  return static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}

// Moves `along` (one dimension of a request wholly outside the image in
// that dimension) so that it overlaps the image's range by exactly one.
void shiftToOverlapOne(int16_t& first, int16_t& last, int16_t imageFirst, int16_t imageLast) {
  int32_t shift = 0;
  if (last <= imageFirst)
    shift = imageFirst + 1 - last;
  else if (first >= imageLast)
    shift = imageLast - 1 - first;
  first = clampTo16(first + shift);
  last = clampTo16(last + shift);
}

}  // namespace

void Image::ReadPadded(const Rect& rect, const PlaneView& destination, int32_t padding) {
  if (padding < kPadInsideOnly || padding > 255) throw XPadding(TESSALY_HERE);
  if (rect.empty()) return;
  const int32_t pixelBytes = layout_.bytesPerPixel;
  Rect work = rect;
  if (!rect.meets(bounds_)) {
    switch (padding) {
      case kPadInsideOnly:
        throw XPadding(TESSALY_HERE);
      case kPadUntouched:
        return;
      case kPadReplicate:
        if (bounds_.empty()) throw XPadding(TESSALY_HERE);
        shiftToOverlapOne(work.top, work.bottom, bounds_.top, bounds_.bottom);
        shiftToOverlapOne(work.left, work.right, bounds_.left, bounds_.right);
        break;
      default:
        FillPlane(destination, rect.height(), rect.width() * pixelBytes, static_cast<uint8_t>(padding));
        return;
    }
  }
  const Rect clipped = work.intersection(bounds_);
  if (padding == kPadInsideOnly && clipped != rect) throw XPadding(TESSALY_HERE);
  const Rect inner = clipped.offsetBy(static_cast<int16_t>(-work.top), static_cast<int16_t>(-work.left));
  ReadRect(clipped, destination.offsetBy(inner.top, inner.left));

  const Rect outer{0, 0, static_cast<int16_t>(rect.height()), static_cast<int16_t>(rect.width())};
  if (padding == kPadReplicate)
    ReplicateEdges(destination, outer, inner);
  else if (padding >= 0)
    FillMargins(destination, outer, inner, static_cast<uint8_t>(padding));
}

// ---- Gaussian blur ------------------------------------------------------------

int32_t GaussianRadius(double sigma) {
  if (!(sigma > 0)) return 0;
  const double peak = sigma * std::sqrt(2 * std::numbers::pi) / 510;
  if (peak >= 1) return 0;
  return static_cast<int32_t>(std::floor(std::sqrt(-2 * sigma * sigma * std::log(peak))));
}

std::vector<uint32_t> GaussianWeights(double sigma, int32_t radius) {
  constexpr double kOne = 16777216;
  const size_t taps = static_cast<size_t>(2 * radius + 1);
  std::vector<double> g(taps);
  double sum = 0;
  for (int32_t x = -radius; x <= radius; ++x) {
    const double t = x / sigma;
    g[static_cast<size_t>(x + radius)] = std::exp(-0.5 * t * t);
    sum += g[static_cast<size_t>(x + radius)];
  }
  std::vector<uint32_t> weights(taps);
  std::vector<double> remainder(taps);
  int64_t missing = 16777216;
  for (size_t i = 0; i < taps; ++i) {
    const double exact = g[i] * kOne / sum;
    weights[i] = static_cast<uint32_t>(std::floor(exact + 0.5));
    remainder[i] = exact - weights[i];
    missing -= weights[i];
  }
  // Rounding each tap alone may miss 2^24 by a few units; they go to (or
  // come from) the taps that rounding treated worst.
  for (; missing > 0; --missing) {
    const size_t i = static_cast<size_t>(std::max_element(remainder.begin(), remainder.end()) - remainder.begin());
    ++weights[i];
    remainder[i] -= 1;
  }
  for (; missing < 0; ++missing) {
    const size_t i = static_cast<size_t>(std::min_element(remainder.begin(), remainder.end()) - remainder.begin());
    --weights[i];
    remainder[i] += 1;
  }
  return weights;
}

namespace {

// The blur works on rows of 16-bit words (values 0 to 255): the vector
// loops then read them without widening each byte once per tap.
using Word = uint16_t;

// The widest block of columns the inner loop produces at once. Word rows
// have this many words of room past their last column, so that a block
// that starts inside a row may be read whole.
constexpr int32_t kBlock = 64;

int32_t roundUpToBlock(int32_t count) { return (count + kBlock - 1) / kBlock * kBlock; }

// The kernel folded: taps x and -x that weigh the same are added before
// the multiplication, halving the products. The single taps come first:
// the centre, then both taps of any pair that the rounding of the weights
// left unequal; the folded pairs follow. The sums are exactly those of the
// unfolded kernel. Taps are indices into a list of 2r + 1 source rows: the
// same kernel serves the horizontal pass (sources one word apart) and the
// vertical one (sources the ring's rows).
struct FoldedKernel {
  // The radius formula peaks at 123 (for sigma near 123).
  static constexpr int32_t kMaxTaps = 2 * 127 + 1;
  int32_t first[kMaxTaps];
  int32_t second[kMaxTaps];  // for terms from `singles` on
  uint32_t weight[kMaxTaps];
  int32_t terms = 0;
  int32_t singles = 0;

  FoldedKernel(const uint32_t* weights, int32_t taps) {
    const int32_t r = taps / 2;
    add(r, r, weights[r]);
    for (int32_t x = 1; x <= r; ++x)
      if (weights[r - x] != weights[r + x]) {
        add(r - x, r - x, weights[r - x]);
        add(r + x, r + x, weights[r + x]);
      }
    singles = terms;
    for (int32_t x = 1; x <= r; ++x)
      if (weights[r - x] == weights[r + x]) add(r - x, r + x, weights[r - x]);
  }
  void add(int32_t a, int32_t b, uint32_t w) {
    first[terms] = a;
    second[terms] = b;
    weight[terms++] = w;
  }
};

// out[c - begin] = (sum over taps i of weights[i] * sources[i][c]) >> 24 for
// the columns c from begin to end: the loop both passes of the blur spend
// their time in. The weights sum to 2^24, so a sum never exceeds
// 255 * 2^24 < 2^32.
//
// The vector versions work in blocks: whole blocks from begin on, then one
// block ending at end, overlapping the one before (out is never a source,
// so its columns come out the same twice); a span shorter than a block
// goes through a scratch block, reading sources past end (rows have room).
//
// The multiply-add of 16-bit pairs does two products per 32-bit lane, but
// takes 16-bit factors: each 24-bit weight is split into its upper and
// lower 12 bits, and two terms share one instruction. A term is at most
// 510 and both halves are below 2^12, so neither partial sum overflows;
// (upper << 12) + lower is the exact sum, and below 2^32.

// ---- AVX2: blocks of 32 columns

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i load256(const Word* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

template <typename Out, int32_t Terms, int32_t Singles>
[[gnu::target("avx2"), gnu::always_inline]] inline void blockAvx2(int32_t terms, int32_t singles, const Word* const* a,
                                                                  const Word* const* b, const __m256i* upperWeights,
                                                                  const __m256i* lowerWeights, int32_t start,
                                                                  Out* out) {
  // Per 16 columns: the sums of the upper and of the lower weight halves,
  // for the columns the unpacks put in the low and the high half of each
  // 128-bit lane.
  if constexpr (Terms > 0) {
    terms = Terms;
    singles = Singles;
  }
  __m256i upper[4], lower[4];
  for (int j = 0; j < 4; ++j) upper[j] = lower[j] = _mm256_setzero_si256();
  const int32_t pairs = (terms + 1) / 2;
#pragma GCC unroll 8
  for (int32_t p = 0; p < pairs; ++p) {
    const int32_t t = 2 * p, u = t + 1;
    const __m256i wu = upperWeights[p], wl = lowerWeights[p];
#pragma GCC unroll 2
    for (int g = 0; g < 2; ++g) {
      const int32_t at = start + 16 * g;
      __m256i x = load256(a[t] + at), y = _mm256_setzero_si256();
      if (t >= singles) x = _mm256_add_epi16(x, load256(b[t] + at));
      if (u < terms) y = load256(a[u] + at);
      if (u < terms && u >= singles) y = _mm256_add_epi16(y, load256(b[u] + at));
      const __m256i low = _mm256_unpacklo_epi16(x, y), high = _mm256_unpackhi_epi16(x, y);
      upper[2 * g] = _mm256_add_epi32(upper[2 * g], _mm256_madd_epi16(low, wu));
      lower[2 * g] = _mm256_add_epi32(lower[2 * g], _mm256_madd_epi16(low, wl));
      upper[2 * g + 1] = _mm256_add_epi32(upper[2 * g + 1], _mm256_madd_epi16(high, wu));
      lower[2 * g + 1] = _mm256_add_epi32(lower[2 * g + 1], _mm256_madd_epi16(high, wl));
    }
  }
  __m256i results[4];
  for (int j = 0; j < 4; ++j)
    results[j] = _mm256_srli_epi32(_mm256_add_epi32(_mm256_slli_epi32(upper[j], 12), lower[j]), 24);
  // The packs undo the unpacks within each lane. Results are at most 255.
  const __m256i words0 = _mm256_packus_epi32(results[0], results[1]);
  const __m256i words1 = _mm256_packus_epi32(results[2], results[3]);
  if constexpr (sizeof(Out) == 2) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), words0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16), words1);
  } else {
    const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words0, words1), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
  }
}

template <typename Out, int32_t Terms, int32_t Singles>
[[gnu::target("avx2")]] void weightedSumAvx2(const FoldedKernel& k, const Word* const* sources, int32_t begin,
                                             int32_t end, Out* out) {
  constexpr int32_t kWidth = 32;
  const int32_t terms = Terms > 0 ? Terms : k.terms, pairs = (terms + 1) / 2;
  const Word* a[FoldedKernel::kMaxTaps];
  const Word* b[FoldedKernel::kMaxTaps];
  __m256i upperWeights[FoldedKernel::kMaxTaps / 2 + 1], lowerWeights[FoldedKernel::kMaxTaps / 2 + 1];
  for (int32_t t = 0; t < terms; ++t) {
    a[t] = sources[k.first[t]];
    b[t] = sources[k.second[t]];
  }
  for (int32_t p = 0; p < pairs; ++p) {
    const uint32_t x = k.weight[2 * p], y = 2 * p + 1 < terms ? k.weight[2 * p + 1] : 0;
    upperWeights[p] = _mm256_set1_epi32(static_cast<int32_t>((x >> 12) | (y >> 12) << 16));
    lowerWeights[p] = _mm256_set1_epi32(static_cast<int32_t>((x & 0xFFF) | (y & 0xFFF) << 16));
  }
  int32_t start = begin;
  for (; start + kWidth <= end; start += kWidth)
    blockAvx2<Out, Terms, Singles>(terms, k.singles, a, b, upperWeights, lowerWeights, start, out + (start - begin));
  if (start == end) return;
  if (end - begin >= kWidth) {
    blockAvx2<Out, Terms, Singles>(terms, k.singles, a, b, upperWeights, lowerWeights, end - kWidth, out + (end - kWidth - begin));
  } else {
    Out scratch[kWidth];
    blockAvx2<Out, Terms, Singles>(terms, k.singles, a, b, upperWeights, lowerWeights, start, scratch);
    std::copy(scratch, scratch + (end - start), out + (start - begin));
  }
}

// Small kernels, as for the AVX-512 loops below.
template <typename Out>
void weightedSumAvx2(const FoldedKernel& k, const Word* const* sources, int32_t begin, int32_t end, Out* out) {
  if (k.singles == 1) {
    switch (k.terms) {
      case 2: return weightedSumAvx2<Out, 2, 1>(k, sources, begin, end, out);
      case 3: return weightedSumAvx2<Out, 3, 1>(k, sources, begin, end, out);
      case 4: return weightedSumAvx2<Out, 4, 1>(k, sources, begin, end, out);
      case 5: return weightedSumAvx2<Out, 5, 1>(k, sources, begin, end, out);
      case 6: return weightedSumAvx2<Out, 6, 1>(k, sources, begin, end, out);
    }
  } else if (k.singles == 3) {
    switch (k.terms) {
      case 3: return weightedSumAvx2<Out, 3, 3>(k, sources, begin, end, out);
      case 4: return weightedSumAvx2<Out, 4, 3>(k, sources, begin, end, out);
      case 5: return weightedSumAvx2<Out, 5, 3>(k, sources, begin, end, out);
      case 6: return weightedSumAvx2<Out, 6, 3>(k, sources, begin, end, out);
    }
  }
  return weightedSumAvx2<Out, 0, 0>(k, sources, begin, end, out);
}

// ---- AVX-512 with VNNI: blocks of 64 columns, the multiply-add and the
// accumulation in one instruction. Small kernels (the common small sigmas)
// have their term count fixed at compile time, so that the loops over the
// terms unroll and the sums stay in registers.

#define TESSALY_AVX512 gnu::target("avx512f,avx512bw,avx512vnni")

template <typename Out, int32_t Terms, int32_t Singles>
[[TESSALY_AVX512, gnu::always_inline]] inline void blockAvx512(int32_t terms, int32_t singles, const Word* const* a,
                                                               const Word* const* b, const __m512i* upperWeights,
                                                               const __m512i* lowerWeights, int32_t start,
                                                               Out* out) {
  if constexpr (Terms > 0) {
    terms = Terms;
    singles = Singles;
  }
  __m512i upper[4], lower[4];
  for (int j = 0; j < 4; ++j) upper[j] = lower[j] = _mm512_setzero_si512();
  const int32_t pairs = (terms + 1) / 2;
#pragma GCC unroll 8
  for (int32_t p = 0; p < pairs; ++p) {
    const int32_t t = 2 * p, u = t + 1;
    const __m512i wu = upperWeights[p], wl = lowerWeights[p];
#pragma GCC unroll 2
    for (int g = 0; g < 2; ++g) {
      const int32_t at = start + 32 * g;
      __m512i x = _mm512_loadu_si512(a[t] + at), y = _mm512_setzero_si512();
      if (t >= singles) x = _mm512_add_epi16(x, _mm512_loadu_si512(b[t] + at));
      if (u < terms) y = _mm512_loadu_si512(a[u] + at);
      if (u < terms && u >= singles) y = _mm512_add_epi16(y, _mm512_loadu_si512(b[u] + at));
      const __m512i low = _mm512_unpacklo_epi16(x, y), high = _mm512_unpackhi_epi16(x, y);
      upper[2 * g] = _mm512_dpwssd_epi32(upper[2 * g], low, wu);
      lower[2 * g] = _mm512_dpwssd_epi32(lower[2 * g], low, wl);
      upper[2 * g + 1] = _mm512_dpwssd_epi32(upper[2 * g + 1], high, wu);
      lower[2 * g + 1] = _mm512_dpwssd_epi32(lower[2 * g + 1], high, wl);
    }
  }
  // The unmasked shifts and permutation of GCC 12's headers start from an
  // "undefined" vector that -Wuninitialized takes for a fault; with every
  // lane selected the masked ones are the same instructions.
  constexpr __mmask16 kAll = 0xFFFF;
  __m512i results[4];
  for (int j = 0; j < 4; ++j)
    results[j] = _mm512_maskz_srli_epi32(kAll, _mm512_add_epi32(_mm512_maskz_slli_epi32(kAll, upper[j], 12), lower[j]), 24);
  const __m512i words0 = _mm512_packus_epi32(results[0], results[1]);
  const __m512i words1 = _mm512_packus_epi32(results[2], results[3]);
  if constexpr (sizeof(Out) == 2) {
    _mm512_storeu_si512(out, words0);
    _mm512_storeu_si512(out + 32, words1);
  } else {
    // Each 128-bit lane of the pack holds eight bytes of words0, then eight
    // of words1; the permutation puts all of words0's first.
    const __m512i order = _mm512_set_epi64(7, 5, 3, 1, 6, 4, 2, 0);
    _mm512_storeu_si512(out, _mm512_maskz_permutexvar_epi64(0xFF, order, _mm512_packus_epi16(words0, words1)));
  }
}

template <typename Out, int32_t Terms, int32_t Singles>
[[TESSALY_AVX512]] void weightedSumAvx512(const FoldedKernel& k, const Word* const* sources, int32_t begin,
                                          int32_t end, Out* out) {
  constexpr int32_t kWidth = 64;
  const int32_t terms = Terms > 0 ? Terms : k.terms, pairs = (terms + 1) / 2;
  const Word* a[FoldedKernel::kMaxTaps];
  const Word* b[FoldedKernel::kMaxTaps];
  __m512i upperWeights[FoldedKernel::kMaxTaps / 2 + 1], lowerWeights[FoldedKernel::kMaxTaps / 2 + 1];
  for (int32_t t = 0; t < terms; ++t) {
    a[t] = sources[k.first[t]];
    b[t] = sources[k.second[t]];
  }
  for (int32_t p = 0; p < pairs; ++p) {
    const uint32_t x = k.weight[2 * p], y = 2 * p + 1 < terms ? k.weight[2 * p + 1] : 0;
    upperWeights[p] = _mm512_set1_epi32(static_cast<int32_t>((x >> 12) | (y >> 12) << 16));
    lowerWeights[p] = _mm512_set1_epi32(static_cast<int32_t>((x & 0xFFF) | (y & 0xFFF) << 16));
  }
  int32_t start = begin;
  for (; start + kWidth <= end; start += kWidth)
    blockAvx512<Out, Terms, Singles>(terms, k.singles, a, b, upperWeights, lowerWeights, start, out + (start - begin));
  if (start == end) return;
  if (end - begin >= kWidth) {
    blockAvx512<Out, Terms, Singles>(terms, k.singles, a, b, upperWeights, lowerWeights, end - kWidth, out + (end - kWidth - begin));
  } else {
    Out scratch[kWidth];
    blockAvx512<Out, Terms, Singles>(terms, k.singles, a, b, upperWeights, lowerWeights, start, scratch);
    std::copy(scratch, scratch + (end - start), out + (start - begin));
  }
}

#undef TESSALY_AVX512

template <typename Out>
void weightedSumAvx512(const FoldedKernel& k, const Word* const* sources, int32_t begin, int32_t end, Out* out) {
  // Radii up to 4 or 5, with all pairs equal or one left unequal.
  if (k.singles == 1) {
    switch (k.terms) {
      case 2: return weightedSumAvx512<Out, 2, 1>(k, sources, begin, end, out);
      case 3: return weightedSumAvx512<Out, 3, 1>(k, sources, begin, end, out);
      case 4: return weightedSumAvx512<Out, 4, 1>(k, sources, begin, end, out);
      case 5: return weightedSumAvx512<Out, 5, 1>(k, sources, begin, end, out);
      case 6: return weightedSumAvx512<Out, 6, 1>(k, sources, begin, end, out);
    }
  } else if (k.singles == 3) {
    switch (k.terms) {
      case 3: return weightedSumAvx512<Out, 3, 3>(k, sources, begin, end, out);
      case 4: return weightedSumAvx512<Out, 4, 3>(k, sources, begin, end, out);
      case 5: return weightedSumAvx512<Out, 5, 3>(k, sources, begin, end, out);
      case 6: return weightedSumAvx512<Out, 6, 3>(k, sources, begin, end, out);
    }
  }
  return weightedSumAvx512<Out, 0, 0>(k, sources, begin, end, out);
}

template <typename Out>
void weightedSumPortable(const FoldedKernel& k, const Word* const* sources, int32_t begin, int32_t end, Out* out) {
  for (int32_t c = begin; c < end; ++c) {
    uint32_t sum = 0;
    for (int32_t t = 0; t < k.terms; ++t)
      sum += (t < k.singles ? sources[k.first[t]][c] : uint32_t{sources[k.first[t]][c]} + sources[k.second[t]][c]) *
             k.weight[t];
    out[c - begin] = static_cast<Out>(sum >> 24);
  }
}


template <typename Out>
void weightedSum(const FoldedKernel& k, const Word* const* sources, int32_t begin, int32_t end, Out* out) {
  switch (gSimd) {
    case SimdLevel::avx512:
      return weightedSumAvx512(k, sources, begin, end, out);
    case SimdLevel::avx2:
      return weightedSumAvx2(k, sources, begin, end, out);
    case SimdLevel::portable:
      return weightedSumPortable(k, sources, begin, end, out);
  }
}

void widen(const uint8_t* bytes, int32_t count, Word* words) {
  for (int32_t i = 0; i < count; ++i) words[i] = bytes[i];
}

}  // namespace


int Image::GaussianBlur(const Rect& rect, double sigma) {
  const Rect area = rect.intersection(bounds_);
  if (area.empty()) return 1;
  if (layout_.bytesPerPixel != 1) throw XLock(TESSALY_HERE);
  const int32_t r = GaussianRadius(sigma);
  if (r == 0) return 0;
  const std::vector<uint32_t> weights = GaussianWeights(sigma, r);
  const int32_t taps = 2 * r + 1;
  const int32_t width = area.width();

  // Each image row is read once, with r replicated or true neighbours on
  // either side, widened to words straight from the locked pieces and
  // convolved horizontally into the ring of convolved rows. Output rows go
  // in batches: the ring holds the 2r + batch rows that a batch needs, and
  // the vertical pass writes straight into the locked pieces of the batch,
  // walking narrow column strips through all rows of the batch, so the
  // ring's bytes come from the nearest cache rather than once per output
  // row from farther away. A batch's rows are read before any of them is
  // written; rows read are at or below the batch's first row, which no
  // earlier batch wrote.
  constexpr int32_t kBatch = 8;
  constexpr int32_t kStrip = 2 * kBlock;
  const int32_t slots = taps + kBatch - 1;
  const int32_t stride = roundUpToBlock(width);
  // Input rows: columns area.left - r to area.right + r - 1.
  const int32_t inputStride = roundUpToBlock(width + 2 * r) + kBlock;
  std::vector<Word> input(static_cast<size_t>(kBatch) * static_cast<size_t>(inputStride));
  // Ring rows one cache line longer than a block multiple: at a power-of-two
  // pitch every row would fall into the same cache sets and evict the others.
  const int32_t pitch = stride + 32;
  std::vector<Word> ring(static_cast<size_t>(slots) * static_cast<size_t>(pitch) + kBlock);
  const FoldedKernel kernel(weights.data(), taps);
  // Sources of the horizontal pass (one word apart in an input row) and of
  // the vertical one (the ring rows from r above a batch to r below it).
  std::vector<const Word*> rowTaps(static_cast<size_t>(taps));
  std::vector<const Word*> batchRows(static_cast<size_t>(slots));
  const StProgressIndicator progress(area.top - r, area.height() + 2 * r);
  auto slotRow = [&](int32_t y) {  // where image row y lives in the ring
    const int32_t slot = (y - (area.top - r)) % slots;
    return ring.data() + static_cast<size_t>(slot) * static_cast<size_t>(pitch);
  };
  auto inputRow = [&](int32_t i) { return input.data() + static_cast<size_t>(i) * static_cast<size_t>(inputStride); };
  auto clampRow = [&](int32_t y) { return std::clamp<int32_t>(y, bounds_.top, bounds_.bottom - 1); };
  // The input columns inside the image; those left and right of them
  // repeat the image's edge pixels.
  const int32_t inputLeft = area.left - r;
  const int32_t readLeft = std::max<int32_t>(inputLeft, bounds_.left);
  const int32_t readRight = std::min<int32_t>(area.right + r, bounds_.right);
  const int32_t marginLeft = readLeft - inputLeft, marginRight = area.right + r - readRight;

  // Reads image rows first .. first + count - 1 into the ring; rows beyond
  // the bounds are copies of the nearest edge row.
  auto readRows = [&](int32_t first, int32_t count) {
    for (int32_t done = 0; done < count; done += kBatch) {
      const int32_t n = std::min(kBatch, count - done), y = first + done;
      for (int32_t i = 0; i < n; ++i) progress.step(y + i);
      const int32_t top = clampRow(y), bottom = clampRow(y + n - 1) + 1;
      walkPieces(
          *this, Rect{clampTo16(top), clampTo16(readLeft), clampTo16(bottom), clampTo16(readRight)},
          LockMode::read,
          [&](const Rect& piece, const PlaneView& source, const Rect& locked) {
            for (int32_t v = piece.top; v < piece.bottom; ++v)
              widen(source.at(v - piece.top, 0), piece.width(), inputRow(v - top) + (piece.left - inputLeft));
            // The rows two batches on, where the locked piece (a tile) holds
            // them, are fetched while this batch and the next are worked on:
            // a batch reads only a few rows of each tile, too short a run for
            // the processor to guess the next.
            const int32_t ahead = std::min<int32_t>(piece.bottom + 2 * kBatch, locked.bottom);
            for (int32_t v = piece.top == locked.top ? piece.bottom : piece.bottom + kBatch; v < ahead; ++v)
              for (int32_t c = 0; c < piece.width(); c += 64) __builtin_prefetch(source.at(v - piece.top, c), 0, 2);
          },
          [&](const Rect& piece, uint8_t fill) {
            for (int32_t v = piece.top; v < piece.bottom; ++v)
              std::fill_n(inputRow(v - top) + (piece.left - inputLeft), piece.width(), Word{fill});
          });
      for (int32_t i = 0; i < bottom - top; ++i) {
        Word* row = inputRow(i);
        std::fill_n(row, marginLeft, row[marginLeft]);
        std::fill_n(row + (readRight - inputLeft), marginRight, row[readRight - inputLeft - 1]);
      }
      for (int32_t i = 0; i < n; ++i) {
        const Word* row = inputRow(clampRow(y + i) - top);
        for (int32_t t = 0; t < taps; ++t) rowTaps[static_cast<size_t>(t)] = row + t;
        weightedSum(kernel, rowTaps.data(), 0, width, slotRow(y + i));
      }
    }
  };

  readRows(area.top - r, 2 * r);
  for (int32_t y = area.top; y < area.bottom; y += kBatch) {
    const int32_t n = std::min<int32_t>(kBatch, area.bottom - y);
    readRows(y + r, n);
    for (int32_t i = 0; i < n + 2 * r; ++i) batchRows[static_cast<size_t>(i)] = slotRow(y - r + i);
    walkPieces(
        *this, Rect{static_cast<int16_t>(y), area.left, static_cast<int16_t>(y + n), area.right}, LockMode::write,
        [&](const Rect& piece, const PlaneView& target, const Rect&) {
          for (int32_t strip = piece.left; strip < piece.right; strip += kStrip) {
            const int32_t stripEnd = std::min<int32_t>(strip + kStrip, piece.right);
            for (int32_t v = piece.top; v < piece.bottom; ++v)
              weightedSum(kernel, batchRows.data() + (v - y), strip - area.left, stripEnd - area.left,
                          target.at(v - piece.top, strip - piece.left));
          }
        },
        nullptr);
  }
  return 0;
}
