// The inner loops of the image operations, one set per vector level: the
// blur's weighted sums, the streaming stores of large copies and the
// sampling of every second or fourth byte. The plain set (Kernels.cpp) is
// the reference; each instruction set's loops live in a file of their own
// (KernelsSse2.cpp, KernelsAvx2.cpp, KernelsAvx512.cpp), compiled with that
// set's flags and only on x86. Every set gives the same bytes.
//
// Nothing here runs code: the kernel files see only these plain types and
// declarations, so that no inline function compiled for a wide instruction
// set can stand in for the plain one at link time (a build step checks their
// objects for such symbols).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/SimdLevel.h"

// ---- The blur

// The blur works on rows of 16-bit words (values 0 to 255): the vector loops
// then read them without widening each byte once per tap.
using Word = uint16_t;

// The widest block of columns a kernel produces at once. Word rows have this
// many words of room past their last column, so that a block that starts
// inside a row may be read whole.
constexpr int32_t kBlock = 64;

// The kernel folded: taps x and -x that weigh the same are added before the
// multiplication, halving the products. The rounding of the weights leaves
// at most one pair a unit apart (at sigma 1 the taps at +-2 weigh 906064 and
// 906063): it is folded with the smaller weight, and the heavier tap, the
// unit tap, adds its value once more. The single taps come first: the
// centre, then both taps of any other pair left unequal; the folded pairs
// follow. The sums are exactly those of the unfolded kernel. Taps are
// indices into a list of 2r + 1 source rows: the same kernel serves the
// horizontal pass (sources one word apart) and the vertical one (sources
// the ring's rows).
struct FoldedKernel {
  // The radius formula peaks at 123 (for sigma near 123).
  static constexpr int32_t kMaxTaps = 2 * 127 + 1;
  int32_t first[kMaxTaps];
  int32_t second[kMaxTaps];  // for terms from `singles` on
  uint32_t weight[kMaxTaps];
  int32_t terms;
  int32_t singles;
  int32_t unitTap;  // -1 when there is none

  FoldedKernel(const uint32_t* weights, int32_t taps);
};

// out[c - begin] = (sum over taps i of weights[i] * sources[i][c]) >> 24 for
// the columns c from begin to end: the loop both passes of the blur spend
// their time in. The weights sum to 2^24, so a sum never exceeds
// 255 * 2^24 < 2^32. The horizontal pass writes a row of words.
using HorizontalSums = void (*)(const FoldedKernel& k, const Word* const* sources, int32_t begin, int32_t end,
                                Word* out);
// The vertical pass writes `rows` rows of bytes, outStep apart: row i the
// sums of the sources from sources[i] on.
using VerticalSums = void (*)(const FoldedKernel& k, const Word* const* sources, int32_t rows, int32_t begin,
                              int32_t end, uint8_t* out, ptrdiff_t outStep);

// ---- Streaming copies
//
// Streaming stores write whole 64-byte lines straight to memory without
// reading them first. A line that a piece fills only in part waits in a
// PendingLine until the pieces beside it have filled the rest; a line shared
// with bytes outside the copy is written the ordinary way.

struct alignas(64) PendingLine {
  uint8_t bytes[64];
  uintptr_t line;     // the line's address; 0 when nothing waits
  uint64_t filled;    // one bit per byte
};

// A copy of `rows` rows of n bytes from `from` (fromStep apart) to `to`
// (toStep apart), the first being the destination's row `first`; the
// destination rows start at rowStart (toStep apart) and are rowBytes long.
// Lines the rows fill in part wait in pending[(first + i) % pendingCount].
struct StreamedRows {
  uint8_t* to;
  ptrdiff_t toStep;
  const uint8_t* from;
  ptrdiff_t fromStep;
  int32_t rows;
  size_t n;
  uint8_t* rowStart;
  size_t rowBytes;
  size_t first;
};

// A locked piece of a band of tiles whose rows follow each other in memory
// (a run of rows * n bytes), and where its bytes lie in each source row.
struct BandRun {
  uint8_t* to;    // the piece's first byte
  size_t column;  // the piece's first byte in a source row of the band
  size_t n;       // bytes per row
};

// ---- One instruction set's loops

struct ImageKernels {
  HorizontalSums horizontalSums;
  VerticalSums verticalSums;
  // Null where there are no streaming stores (the plain set).
  void (*streamRows)(const StreamedRows& job, PendingLine* pending, size_t pendingCount);
  // Copies `rows` source rows, fromStep apart, into the runs of one band,
  // row by row across the runs: the source is read in order, and each run
  // is written in order. pending[r] serves runs[r].
  void (*streamBand)(const BandRun* runs, size_t count, const uint8_t* from, ptrdiff_t fromStep, int32_t rows,
                     PendingLine* pending);
  // Writes what waits the ordinary way and fences the streaming stores, so
  // that whatever comes next sees them.
  void (*finishStreaming)(PendingLine* pending, size_t count);
  // Bytes 0, factor, 2 factor, ... of a row of `columns` bytes into `to`,
  // for factor 2 or 4, as many as whole vectors give: returns how many, at
  // most outColumns. Reads only bytes of the row; works in place.
  int32_t (*takeEveryNth)(const uint8_t* from, uint8_t* to, int32_t outColumns, int32_t columns, int32_t factor);
};

// The loops of `level`.
const ImageKernels& imageKernels(platform::SimdLevel level);

extern const ImageKernels kPortableKernels;
#if defined(TESSALY_IMAGE_X86_KERNELS)
extern const ImageKernels kSse2Kernels;
extern const ImageKernels kAvx2Kernels;
extern const ImageKernels kAvx512Kernels;
// The SSE2 sampling, which the wider sets use too.
int32_t takeEveryNthSse2(const uint8_t* from, uint8_t* to, int32_t outColumns, int32_t columns, int32_t factor);
#endif
