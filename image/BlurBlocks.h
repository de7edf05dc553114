// The blur's weighted sums in vector blocks, written once for every
// instruction set: each kernel file includes this with its own vector type
// V and compiles it with its own flags. Everything here has internal
// linkage, so that no file's copy stands in for another's.
//
// V provides, for registers of V::kWords 16-bit words:
//   Reg; load(const Word*); zero(); add16(a, b); unpackLow16(a, b),
//   unpackHigh16(a, b); broadcast32(int32_t);
//   multiplyAdd(sum, pairs, weights): sum + the products of the 16-bit
//     pairs with the weights' halves, added pairwise into 32-bit lanes;
//   finish(upper, lower): ((upper << 12) + lower) >> 24 in each lane;
//   storeWords(Word*, Reg r[4]) and storeBytes(uint8_t*, Reg r[4]): the
//     finished lanes of 2 V::kWords columns, put back in column order.
//
// A block is 2 V::kWords columns: whole blocks from begin on, then one block
// ending at end, overlapping the one before (out is never a source, so its
// columns come out the same twice); a span shorter than a block goes
// through a scratch block, reading sources past end (rows have room).
//
// The multiply-add of 16-bit pairs does two products per 32-bit lane but
// takes 16-bit factors: each 24-bit weight is split into its upper and lower
// 12 bits, and two terms share one instruction. A term is at most 510 and
// both halves are below 2^12, so neither partial sum overflows;
// (upper << 12) + lower is the exact sum, and below 2^32.
#pragma once

#include "image/Kernels.h"

namespace {

template <typename V, typename Out, int32_t Terms, int32_t Singles>
[[gnu::always_inline]] inline void sumBlock(int32_t terms, int32_t singles, const Word* const* a, const Word* const* b,
                                            const typename V::Reg* upperWeights,
                                            const typename V::Reg* lowerWeights, int32_t start, Out* out) {
  using Reg = typename V::Reg;
  if constexpr (Terms > 0) {
    terms = Terms;
    singles = Singles;
  }
  // Per V::kWords columns: the sums of the upper and of the lower weight
  // halves, for the columns the unpacks put in the low and the high half of
  // each 128-bit lane.
  Reg upper[4], lower[4];
  for (int j = 0; j < 4; ++j) upper[j] = lower[j] = V::zero();
  const int32_t pairs = (terms + 1) / 2;
#pragma GCC unroll 8
  for (int32_t p = 0; p < pairs; ++p) {
    const int32_t t = 2 * p, u = t + 1;
    const Reg wu = upperWeights[p], wl = lowerWeights[p];
#pragma GCC unroll 2
    for (int g = 0; g < 2; ++g) {
      const int32_t at = start + V::kWords * g;
      Reg x = V::load(a[t] + at), y = V::zero();
      if (t >= singles) x = V::add16(x, V::load(b[t] + at));
      if (u < terms) y = V::load(a[u] + at);
      if (u < terms && u >= singles) y = V::add16(y, V::load(b[u] + at));
      const Reg low = V::unpackLow16(x, y), high = V::unpackHigh16(x, y);
      upper[2 * g] = V::multiplyAdd(upper[2 * g], low, wu);
      lower[2 * g] = V::multiplyAdd(lower[2 * g], low, wl);
      upper[2 * g + 1] = V::multiplyAdd(upper[2 * g + 1], high, wu);
      lower[2 * g + 1] = V::multiplyAdd(lower[2 * g + 1], high, wl);
    }
  }
  Reg results[4];
  for (int j = 0; j < 4; ++j) results[j] = V::finish(upper[j], lower[j]);
  if constexpr (sizeof(Out) == 2)
    V::storeWords(out, results);
  else
    V::storeBytes(out, results);
}

template <typename V, typename Out, int32_t Terms, int32_t Singles>
void sumColumns(const FoldedKernel& k, const Word* const* sources, int32_t begin, int32_t end, Out* out) {
  using Reg = typename V::Reg;
  constexpr int32_t kWidth = 2 * V::kWords;
  const int32_t terms = Terms > 0 ? Terms : k.terms, pairs = (terms + 1) / 2;
  const Word* a[FoldedKernel::kMaxTaps];
  const Word* b[FoldedKernel::kMaxTaps];
  Reg upperWeights[FoldedKernel::kMaxTaps / 2 + 1], lowerWeights[FoldedKernel::kMaxTaps / 2 + 1];
  for (int32_t t = 0; t < terms; ++t) {
    a[t] = sources[k.first[t]];
    b[t] = sources[k.second[t]];
  }
  for (int32_t p = 0; p < pairs; ++p) {
    const uint32_t x = k.weight[2 * p], y = 2 * p + 1 < terms ? k.weight[2 * p + 1] : 0;
    upperWeights[p] = V::broadcast32(static_cast<int32_t>((x >> 12) | (y >> 12) << 16));
    lowerWeights[p] = V::broadcast32(static_cast<int32_t>((x & 0xFFF) | (y & 0xFFF) << 16));
  }
  int32_t start = begin;
  for (; start + kWidth <= end; start += kWidth)
    sumBlock<V, Out, Terms, Singles>(terms, k.singles, a, b, upperWeights, lowerWeights, start, out + (start - begin));
  if (start == end) return;
  if (end - begin >= kWidth) {
    sumBlock<V, Out, Terms, Singles>(terms, k.singles, a, b, upperWeights, lowerWeights, end - kWidth,
                                     out + (end - kWidth - begin));
  } else {
    Out scratch[kWidth];
    sumBlock<V, Out, Terms, Singles>(terms, k.singles, a, b, upperWeights, lowerWeights, start, scratch);
    for (int32_t c = 0; c < end - start; ++c) out[start - begin + c] = scratch[c];
  }
}

// Small kernels (the common small sigmas: radius up to 4 or 5, with all
// pairs equal or one left unequal) have their term count fixed at compile
// time, so that the loops over the terms unroll and the sums stay in
// registers.
template <typename V, typename Out>
void weightedSums(const FoldedKernel& k, const Word* const* sources, int32_t begin, int32_t end, Out* out) {
  if (k.singles == 1) {
    switch (k.terms) {
      case 2: return sumColumns<V, Out, 2, 1>(k, sources, begin, end, out);
      case 3: return sumColumns<V, Out, 3, 1>(k, sources, begin, end, out);
      case 4: return sumColumns<V, Out, 4, 1>(k, sources, begin, end, out);
      case 5: return sumColumns<V, Out, 5, 1>(k, sources, begin, end, out);
      case 6: return sumColumns<V, Out, 6, 1>(k, sources, begin, end, out);
    }
  } else if (k.singles == 3) {
    switch (k.terms) {
      case 3: return sumColumns<V, Out, 3, 3>(k, sources, begin, end, out);
      case 4: return sumColumns<V, Out, 4, 3>(k, sources, begin, end, out);
      case 5: return sumColumns<V, Out, 5, 3>(k, sources, begin, end, out);
      case 6: return sumColumns<V, Out, 6, 3>(k, sources, begin, end, out);
    }
  }
  return sumColumns<V, Out, 0, 0>(k, sources, begin, end, out);
}

}  // namespace
