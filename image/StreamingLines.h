// The streaming copies' loops, written once for every instruction set: each
// kernel file includes this with its own L and compiles it with its own
// flags. Everything here has internal linkage, so that no file's copy
// stands in for another's. bench_image ReadRect_vs_memcpy and
// WriteRect_vs_memcpy at sse2, avx2 and avx512.
//
// L provides
//   streamLine(uint8_t* line, const uint8_t* from): streams the 64 bytes at
//     `from` (any alignment) to the line at `line`;
//   streamJoined(line, kept, source, offset): streams bytes 0 to offset - 1
//     of `kept` (a line, aligned) and offset to 63 of `source` (any
//     alignment) as one line; bytes of `source` before offset may be read
//     but do not count;
//   kMaskedLoads: whether streamJoined reads only the bytes that count;
//   fence(): orders the streaming stores before whatever comes next.
//
// A destination segment is copied line by line: whole lines are streamed
// straight from the source; a line the segment fills only in part waits in
// a PendingLine until other segments (the tile beside it, or the next row
// of the same tile) fill the rest, and is then streamed whole; a line
// shared with bytes outside the copy is written the ordinary way. The bytes
// that complete a waiting line are joined to it in registers where the
// source may be read before them (any row of a piece but its first): put
// into the line's buffer first, they would be read back at once, before
// the stores that wrote them are done, which costs the processor dearly.
#pragma once

#include "image/Kernels.h"

namespace {

inline uint64_t lowBits(uintptr_t count) { return count >= 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1; }

template <size_t N>
inline void move(uint8_t* to, const uint8_t* from) {
  uint8_t bytes[N];
  __builtin_memcpy(bytes, from, N);
  __builtin_memcpy(to, bytes, N);
}

// Copies 1 to 64 bytes with ordinary moves that stay inside both ranges:
// two moves of the largest power of two not above count, overlapping.
inline void copyShort(uint8_t* to, const uint8_t* from, size_t count) {
  if (count >= 32) {
    move<32>(to, from);
    move<32>(to + count - 32, from + count - 32);
  } else if (count >= 16) {
    move<16>(to, from);
    move<16>(to + count - 16, from + count - 16);
  } else if (count >= 8) {
    move<8>(to, from);
    move<8>(to + count - 8, from + count - 8);
  } else if (count >= 4) {
    move<4>(to, from);
    move<4>(to + count - 4, from + count - 4);
  } else {
    to[0] = from[0];
    if (count >= 2) move<2>(to + count - 2, from + count - 2);
  }
}

// Writes the bytes that wait the ordinary way, run by run.
inline void writePending(PendingLine& pending) {
  uint64_t filled = pending.filled;
  while (filled != 0) {
    const int begin = __builtin_ctzll(filled);
    const uint64_t rest = ~(filled >> begin);
    const int length = rest == 0 ? 64 - begin : __builtin_ctzll(rest);
    copyShort(reinterpret_cast<uint8_t*>(pending.line) + begin, pending.bytes + begin, static_cast<size_t>(length));
    filled &= ~(lowBits(static_cast<uintptr_t>(length)) << begin);
  }
  pending.filled = 0;
  pending.line = 0;
}

// `count` bytes (fewer than a line) at `at`, within one line, from `from`;
// the copy's bytes around them lie in [begin, end). `readBefore`: the 63
// bytes before `from` may be read.
template <typename L>
inline void copyPart(uintptr_t at, const uint8_t* from, uintptr_t count, uintptr_t begin, uintptr_t end,
                     bool readBefore, PendingLine& pending) {
  const uintptr_t line = at & ~uintptr_t{63}, offset = at - line;
  if (line < begin || line + 64 > end) {
    copyShort(reinterpret_cast<uint8_t*>(at), from, count);
    return;
  }
  if (pending.line != line) {
    writePending(pending);
    pending.line = line;
  }
  const uint64_t part = lowBits(count) << offset;
  if ((pending.filled | part) == ~uint64_t{0} && pending.filled == lowBits(offset) &&
      (readBefore || L::kMaskedLoads)) {
    L::streamJoined(reinterpret_cast<uint8_t*>(line), pending.bytes, from - offset, offset);
    pending.filled = 0;
    pending.line = 0;
    return;
  }
  copyShort(pending.bytes + offset, from, count);
  pending.filled |= part;
  if (pending.filled == ~uint64_t{0}) {
    L::streamLine(reinterpret_cast<uint8_t*>(line), pending.bytes);
    pending.filled = 0;
    pending.line = 0;
  }
}

// Copies n bytes from `from` to `to`, part of the destination range
// [begin, end) that the copy fills whole.
template <typename L>
inline void copySegment(uint8_t* to, const uint8_t* from, size_t n, uintptr_t begin, uintptr_t end,
                        bool readBefore, PendingLine& pending) {
  uintptr_t at = reinterpret_cast<uintptr_t>(to);
  const uintptr_t stop = at + n;
  const uintptr_t firstLineEnd = (at + 63) & ~uintptr_t{63};
  if (firstLineEnd != at) {
    const uintptr_t head = (firstLineEnd < stop ? firstLineEnd : stop) - at;
    copyPart<L>(at, from, head, begin, end, readBefore, pending);
    at += head;
    from += head;
  }
  for (; at + 64 <= stop; at += 64, from += 64) L::streamLine(reinterpret_cast<uint8_t*>(at), from);
  if (at < stop) copyPart<L>(at, from, stop - at, begin, end, readBefore, pending);
}

// copyPart for the rows that the loop below cannot take its short way with,
// kept out of the loop so that the loop keeps its values in registers.
template <typename L>
[[gnu::noinline]] void copyPartOf(uintptr_t at, const uint8_t* from, uintptr_t count, uintptr_t begin, uintptr_t end,
                                  PendingLine& pending) {
  copyPart<L>(at, from, count, begin, end, true, pending);
}

// Where a piece's rows start within their lines, when it is known at compile
// time (the joins are then worked out once); kAnyOffset reads it from the job.
constexpr uintptr_t kAnyOffset = 64;

// Rows 1 on of a piece whose destination rows all start at the same place
// in a line and hold at least the rest of that line: every row is a head
// that completes the line the piece to its left left waiting, whole lines,
// and a tail that waits for the piece to its right. These places are the
// same in every row, so only the waiting line is looked at row by row.
// bench_image ReadRect_vs_memcpy (its destination starts 16 bytes into a
// line): 1.2 to 1.4 at sse2 and avx2 this way, 1.2 to 1.8 and 1.4 to 1.5
// through copySegment.
template <typename L, uintptr_t kOffset>
void streamAlikeRows(const StreamedRows& job, PendingLine* pending, size_t pendingCount) {
  const uintptr_t to = reinterpret_cast<uintptr_t>(job.to), offset = kOffset != kAnyOffset ? kOffset : to & 63;
  const size_t head = offset == 0 ? 0 : 64 - offset, lines = (job.n - head) / 64, tail = (job.n - head) % 64;
  const uintptr_t rowStart = reinterpret_cast<uintptr_t>(job.rowStart);
  const bool headWaits = head != 0 && to - offset >= rowStart;
  const bool tailWaits = tail != 0 && to + job.n - tail + 64 <= rowStart + job.rowBytes;
  const uint64_t headFilled = lowBits(offset), tailFilled = lowBits(tail);
  const ptrdiff_t toStep = job.toStep, fromStep = job.fromStep;
  // A row's first byte in the destination and the source; `line` and
  // `source` below: its first whole line.
  uintptr_t at = to + static_cast<uintptr_t>(toStep);
  const uint8_t* from = job.from + fromStep;
  size_t slot = (job.first + 1) % pendingCount;
  for (int32_t i = 1; i < job.rows; ++i, at += static_cast<uintptr_t>(toStep), from += fromStep) {
    PendingLine& waiting = pending[slot];
    if (++slot == pendingCount) slot = 0;
    const uintptr_t begin = at - (to - rowStart);
    if (head != 0) {
      if (headWaits && waiting.line == at - offset && waiting.filled == headFilled) {
        L::streamJoined(reinterpret_cast<uint8_t*>(at - offset), waiting.bytes, from - offset, offset);
        waiting.filled = 0;
        waiting.line = 0;
      } else {
        copyPartOf<L>(at, from, head, begin, begin + job.rowBytes, waiting);
      }
    }
    uintptr_t line = at + head;
    const uint8_t* source = from + head;
    for (size_t k = 0; k < lines; ++k, line += 64, source += 64) L::streamLine(reinterpret_cast<uint8_t*>(line), source);
    if (tail != 0) {
      if (tailWaits && waiting.line == 0) {
        copyShort(waiting.bytes, source, tail);
        waiting.line = line;
        waiting.filled = tailFilled;
      } else {
        copyPartOf<L>(line, source, tail, begin, begin + job.rowBytes, waiting);
      }
    }
  }
}

template <typename L>
void streamRows(const StreamedRows& job, PendingLine* pending, size_t pendingCount) {
  const uintptr_t offset = reinterpret_cast<uintptr_t>(job.to) & 63;
  if (job.rows > 1 && job.toStep % 64 == 0 && job.fromStep >= 64 && job.n >= (64 - offset) % 64) {
    // The first row may not read before its bytes.
    copySegment<L>(job.to, job.from, job.n, reinterpret_cast<uintptr_t>(job.rowStart),
                   reinterpret_cast<uintptr_t>(job.rowStart) + job.rowBytes, false, pending[job.first % pendingCount]);
    // Constant offsets let the joins be worked out once, at compile time.
    switch (offset) {
      case 0: return streamAlikeRows<L, 0>(job, pending, pendingCount);
      case 16: return streamAlikeRows<L, 16>(job, pending, pendingCount);
      case 32: return streamAlikeRows<L, 32>(job, pending, pendingCount);
      case 48: return streamAlikeRows<L, 48>(job, pending, pendingCount);
      default: return streamAlikeRows<L, kAnyOffset>(job, pending, pendingCount);
    }
  }
  uint8_t* to = job.to;
  const uint8_t* from = job.from;
  uintptr_t rowStart = reinterpret_cast<uintptr_t>(job.rowStart);
  size_t slot = job.first % pendingCount;
  for (int32_t i = 0; i < job.rows; ++i, to += job.toStep, from += job.fromStep, rowStart += job.toStep) {
    // The rows of a piece lie within one block of memory: from its second
    // row on, the bytes before a row are the piece's too.
    copySegment<L>(to, from, job.n, rowStart, rowStart + job.rowBytes, i > 0 && job.fromStep >= 64, pending[slot]);
    if (++slot == pendingCount) slot = 0;
  }
}

template <typename L>
void streamBand(const BandRun* runs, size_t count, const uint8_t* from, ptrdiff_t fromStep, int32_t rows,
                PendingLine* pending) {
  for (int32_t i = 0; i < rows; ++i, from += fromStep) {
    for (size_t r = 0; r < count; ++r) {
      const BandRun& run = runs[r];
      const auto begin = reinterpret_cast<uintptr_t>(run.to);
      copySegment<L>(run.to + static_cast<size_t>(i) * run.n, from + run.column, run.n, begin,
                     begin + static_cast<size_t>(rows) * run.n, i > 0 && fromStep >= 64, pending[r]);
    }
  }
}

template <typename L>
void finishStreaming(PendingLine* pending, size_t count) {
  for (size_t i = 0; i < count; ++i) writePending(pending[i]);
  L::fence();
}

}  // namespace
