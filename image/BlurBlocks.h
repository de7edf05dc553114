// The blur's weighted sums in vector blocks, written once for every
// instruction set: each kernel file includes this with its own vector type
// V and compiles it with its own flags. Everything here has internal
// linkage, so that no file's copy stands in for another's.
// bench_image GaussianBlur_sigma*@sse2, @avx2 and @avx512.
//
// V provides, for registers of V::kWords 16-bit words:
//   Reg; load(const Word*); zero(); add16(a, b); add32(a, b);
//   unpackLow16(a, b), unpackHigh16(a, b); broadcast32(int32_t);
//   multiplyAdd(sum, pairs, weights): sum + the products of the 16-bit
//     pairs with the weights' halves, added pairwise into 32-bit lanes;
//   finish(upper, lower): ((upper << 12) + lower) >> 24 in each lane;
//   kGroups: how many registers of columns a block takes at once (as many
//     as the sums of all of them leave registers for);
//   storeWords(Word*, Reg r[2 kGroups]) and storeBytes(uint8_t*, ...): the
//     finished lanes of a block, put back in column order.
//
// A block is kGroups V::kWords columns: whole blocks from begin on, then one
// block ending at end, overlapping the one before (out is never a source,
// so its columns come out the same twice); a span shorter than a block goes
// through a scratch block, reading sources past end (rows have room).
//
// The multiply-add of 16-bit pairs does two products per 32-bit lane but
// takes 16-bit factors: each 24-bit weight is split into its upper and lower
// 12 bits, and two terms share one instruction. A term is at most 510 and
// both halves are below 2^12, so neither partial sum overflows;
// (upper << 12) + lower is the exact sum, and below 2^32. The unit tap of
// the kernel (FoldedKernel) adds its value to the lower sums as it is.
#pragma once

#include "image/Kernels.h"

namespace {

// The weights of a kernel's pairs of terms as the multiply-adds take them,
// and the sources of each term.
template <typename V>
struct Terms {
  typename V::Reg upperWeights[FoldedKernel::kMaxTaps / 2 + 1], lowerWeights[FoldedKernel::kMaxTaps / 2 + 1];
  const Word* a[FoldedKernel::kMaxTaps];
  const Word* b[FoldedKernel::kMaxTaps];
  const Word* unit;

  Terms(const FoldedKernel& k, int32_t terms) : unit(nullptr) {
    for (int32_t p = 0; p < (terms + 1) / 2; ++p) {
      const uint32_t x = k.weight[2 * p], y = 2 * p + 1 < terms ? k.weight[2 * p + 1] : 0;
      upperWeights[p] = V::broadcast32(static_cast<int32_t>((x >> 12) | (y >> 12) << 16));
      lowerWeights[p] = V::broadcast32(static_cast<int32_t>((x & 0xFFF) | (y & 0xFFF) << 16));
    }
  }
  void point(const FoldedKernel& k, int32_t terms, const Word* const* sources) {
    for (int32_t t = 0; t < terms; ++t) {
      a[t] = sources[k.first[t]];
      b[t] = sources[k.second[t]];
    }
    unit = k.unitTap >= 0 ? sources[k.unitTap] : nullptr;
  }
};

// A kernel's shape: its number of terms, how many of them are single taps
// and whether it has a unit tap. Small kernels (the common small sigmas:
// radius up to 9) have theirs fixed at compile time, so that the loops over
// the terms unroll and the sums stay in registers; Count 0 reads them from
// the kernel. bench_image GaussianBlur_sigma1 and GaussianBlur_sigma3.
template <int32_t Count, int32_t Singles, bool Unit>
struct Shape {
  int32_t terms, singles;
  bool unit;
  explicit Shape(const FoldedKernel& k)
      : terms(Count > 0 ? Count : k.terms), singles(Count > 0 ? Singles : k.singles),
        unit(Count > 0 ? Unit : k.unitTap >= 0) {}
};

template <typename V, typename Out, typename S>
[[gnu::always_inline]] inline void sumBlock(const S& shape, const Terms<V>& s, int32_t start, Out* out) {
  using Reg = typename V::Reg;
  // Per V::kWords columns: the sums of the upper and of the lower weight
  // halves, for the columns the unpacks put in the low and the high half of
  // each 128-bit lane.
  constexpr int kSums = 2 * V::kGroups;
  Reg upper[kSums], lower[kSums];
  for (int j = 0; j < kSums; ++j) upper[j] = lower[j] = V::zero();
  const int32_t terms = shape.terms, singles = shape.singles, pairs = (terms + 1) / 2;
#pragma GCC unroll 8
  for (int32_t p = 0; p < pairs; ++p) {
    const int32_t t = 2 * p, u = t + 1;
    const Reg wu = s.upperWeights[p], wl = s.lowerWeights[p];
#pragma GCC unroll 2
    for (int g = 0; g < V::kGroups; ++g) {
      const int32_t at = start + V::kWords * g;
      Reg x = V::load(s.a[t] + at), y = V::zero();
      if (t >= singles) x = V::add16(x, V::load(s.b[t] + at));
      if (u < terms) y = V::load(s.a[u] + at);
      if (u < terms && u >= singles) y = V::add16(y, V::load(s.b[u] + at));
      const Reg low = V::unpackLow16(x, y), high = V::unpackHigh16(x, y);
      upper[2 * g] = V::multiplyAdd(upper[2 * g], low, wu);
      lower[2 * g] = V::multiplyAdd(lower[2 * g], low, wl);
      upper[2 * g + 1] = V::multiplyAdd(upper[2 * g + 1], high, wu);
      lower[2 * g + 1] = V::multiplyAdd(lower[2 * g + 1], high, wl);
    }
  }
  if (shape.unit) {
    for (int g = 0; g < V::kGroups; ++g) {
      const Reg x = V::load(s.unit + start + V::kWords * g);
      lower[2 * g] = V::add32(lower[2 * g], V::unpackLow16(x, V::zero()));
      lower[2 * g + 1] = V::add32(lower[2 * g + 1], V::unpackHigh16(x, V::zero()));
    }
  }
  Reg results[kSums];
  for (int j = 0; j < kSums; ++j) results[j] = V::finish(upper[j], lower[j]);
  if constexpr (sizeof(Out) == 2)
    V::storeWords(out, results);
  else
    V::storeBytes(out, results);
}

// The columns begin..end of one output row from the sources `s` points at.
template <typename V, typename Out, typename S>
[[gnu::always_inline]] inline void sumSpan(const S& shape, const Terms<V>& s, int32_t begin, int32_t end, Out* out) {
  constexpr int32_t kWidth = V::kGroups * V::kWords;
  int32_t start = begin;
  for (; start + kWidth <= end; start += kWidth) sumBlock<V>(shape, s, start, out + (start - begin));
  if (start == end) return;
  if (end - begin >= kWidth) {
    sumBlock<V>(shape, s, end - kWidth, out + (end - kWidth - begin));
  } else {
    Out scratch[kWidth];
    sumBlock<V>(shape, s, start, scratch);
    for (int32_t c = 0; c < end - start; ++c) out[start - begin + c] = scratch[c];
  }
}

// The horizontal pass: one row of words.
template <typename V, typename S>
void sumRow(const FoldedKernel& k, const Word* const* sources, int32_t begin, int32_t end, Word* out) {
  const S shape(k);
  Terms<V> s(k, shape.terms);
  s.point(k, shape.terms, sources);
  sumSpan<V>(shape, s, begin, end, out);
}

// The vertical pass: `rows` rows of bytes, outStep apart, row i from the
// sources from sources[i] on. The weights are set up once for them all.
template <typename V, typename S>
void sumRows(const FoldedKernel& k, const Word* const* sources, int32_t rows, int32_t begin, int32_t end,
             uint8_t* out, ptrdiff_t outStep) {
  const S shape(k);
  Terms<V> s(k, shape.terms);
  for (int32_t i = 0; i < rows; ++i, out += outStep) {
    s.point(k, shape.terms, sources + i);
    sumSpan<V>(shape, s, begin, end, out);
  }
}

// Calls Pass<S> with the shape of k: fixed for the small kernels of one
// single tap (the centre), else read from the kernel.
template <template <typename> class Pass, typename... Args>
void withShape(const FoldedKernel& k, Args... args) {
  if (k.singles == 1) {
    const bool unit = k.unitTap >= 0;
    switch (k.terms) {
      case 2: return unit ? Pass<Shape<2, 1, true>>::run(k, args...) : Pass<Shape<2, 1, false>>::run(k, args...);
      case 3: return unit ? Pass<Shape<3, 1, true>>::run(k, args...) : Pass<Shape<3, 1, false>>::run(k, args...);
      case 4: return unit ? Pass<Shape<4, 1, true>>::run(k, args...) : Pass<Shape<4, 1, false>>::run(k, args...);
      case 5: return unit ? Pass<Shape<5, 1, true>>::run(k, args...) : Pass<Shape<5, 1, false>>::run(k, args...);
      case 6: return unit ? Pass<Shape<6, 1, true>>::run(k, args...) : Pass<Shape<6, 1, false>>::run(k, args...);
      case 7: return unit ? Pass<Shape<7, 1, true>>::run(k, args...) : Pass<Shape<7, 1, false>>::run(k, args...);
      case 8: return unit ? Pass<Shape<8, 1, true>>::run(k, args...) : Pass<Shape<8, 1, false>>::run(k, args...);
      case 9: return unit ? Pass<Shape<9, 1, true>>::run(k, args...) : Pass<Shape<9, 1, false>>::run(k, args...);
      case 10: return unit ? Pass<Shape<10, 1, true>>::run(k, args...) : Pass<Shape<10, 1, false>>::run(k, args...);
    }
  }
  return Pass<Shape<0, 0, false>>::run(k, args...);
}

template <typename V>
struct Passes {
  template <typename S>
  struct Row {
    static void run(const FoldedKernel& k, const Word* const* sources, int32_t begin, int32_t end, Word* out) {
      sumRow<V, S>(k, sources, begin, end, out);
    }
  };
  template <typename S>
  struct Rows {
    static void run(const FoldedKernel& k, const Word* const* sources, int32_t rows, int32_t begin, int32_t end,
                    uint8_t* out, ptrdiff_t outStep) {
      sumRows<V, S>(k, sources, rows, begin, end, out, outStep);
    }
  };
};

template <typename V>
void horizontalSums(const FoldedKernel& k, const Word* const* sources, int32_t begin, int32_t end, Word* out) {
  withShape<Passes<V>::template Row>(k, sources, begin, end, out);
}

template <typename V>
void verticalSums(const FoldedKernel& k, const Word* const* sources, int32_t rows, int32_t begin, int32_t end,
                  uint8_t* out, ptrdiff_t outStep) {
  withShape<Passes<V>::template Rows>(k, sources, rows, begin, end, out, outStep);
}

}  // namespace
