// The plain image loops, the reference every vector set is tested against,
// and the choice of a set by level.
#include "image/Kernels.h"

#include <algorithm>

namespace {

// Taps outermost over spans of whole rows: each pass over a span adds one
// term to every column's sum, a loop the compiler turns into vector code for
// whatever processor it compiles for. The sums are exact, so every set's
// bytes are these. bench_image GaussianBlur_sigma*@portable.
template <typename Out>
void weightedSumsPortable(const FoldedKernel& k, const Word* const* sources, int32_t begin, int32_t end, Out* out) {
  constexpr int32_t kSpan = 512;  // 2 KiB of sums, which stay in the nearest cache
  uint32_t sums[kSpan];
  for (int32_t start = begin; start < end; start += kSpan) {
    const int32_t n = std::min(kSpan, end - start);
    // The centre is the first single term.
    const Word* centre = sources[k.first[0]] + start;
    for (int32_t i = 0; i < n; ++i) sums[i] = centre[i] * k.weight[0];
    for (int32_t t = 1; t < k.singles; ++t) {
      const Word* a = sources[k.first[t]] + start;
      const uint32_t w = k.weight[t];
      for (int32_t i = 0; i < n; ++i) sums[i] += a[i] * w;
    }
    for (int32_t t = k.singles; t < k.terms; ++t) {
      const Word* a = sources[k.first[t]] + start;
      const Word* b = sources[k.second[t]] + start;
      const uint32_t w = k.weight[t];
      for (int32_t i = 0; i < n; ++i) sums[i] += (uint32_t{a[i]} + b[i]) * w;
    }
    if (k.unitTap >= 0) {
      const Word* unit = sources[k.unitTap] + start;
      for (int32_t i = 0; i < n; ++i) sums[i] += unit[i];
    }
    Out* to = out + (start - begin);
    for (int32_t i = 0; i < n; ++i) to[i] = static_cast<Out>(sums[i] >> 24);
  }
}

void horizontalSumsPortable(const FoldedKernel& k, const Word* const* sources, int32_t begin, int32_t end, Word* out) {
  weightedSumsPortable(k, sources, begin, end, out);
}

void verticalSumsPortable(const FoldedKernel& k, const Word* const* sources, int32_t rows, int32_t begin, int32_t end,
                          uint8_t* out, ptrdiff_t outStep) {
  for (int32_t i = 0; i < rows; ++i, out += outStep) weightedSumsPortable(k, sources + i, begin, end, out);
}

}  // namespace

// Streaming stores need the vector sets' instructions: the plain set copies
// the ordinary way, and its sampling is the plain loop of ZoomOutPlane.
constinit const ImageKernels kPortableKernels{
    horizontalSumsPortable, verticalSumsPortable, nullptr, nullptr, nullptr, nullptr,
};

const ImageKernels& imageKernels(platform::SimdLevel level) {
#if defined(TESSALY_IMAGE_X86_KERNELS)
  switch (level) {
    case platform::SimdLevel::avx512:
      return kAvx512Kernels;
    case platform::SimdLevel::avx2:
      return kAvx2Kernels;
    case platform::SimdLevel::sse2:
      return kSse2Kernels;
    case platform::SimdLevel::portable:
      break;
  }
#endif
  (void)level;
  return kPortableKernels;
}
