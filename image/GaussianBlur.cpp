// The Gaussian blur of a one-byte image in place: the kernel's radius and
// integer weights, and the walk that feeds rows through the weighted sums
// of the vector level in use (Kernels.h).
#include "image/OfflineImage.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "image/Kernels.h"
#include "image/PieceWalk.h"
#include "shell/StProgressIndicator.h"

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


FoldedKernel::FoldedKernel(const uint32_t* weights, int32_t taps) : terms(0), singles(0), unitTap(-1) {
  auto add = [&](int32_t a, int32_t b, uint32_t w) {
    first[terms] = a;
    second[terms] = b;
    weight[terms++] = w;
  };
  const int32_t r = taps / 2;
  int32_t unitPair = 0;
  for (int32_t x = 1; x <= r && unitPair == 0; ++x)
    if (weights[r - x] + 1 == weights[r + x] || weights[r + x] + 1 == weights[r - x]) unitPair = x;
  if (unitPair != 0) unitTap = weights[r - unitPair] > weights[r + unitPair] ? r - unitPair : r + unitPair;
  add(r, r, weights[r]);
  for (int32_t x = 1; x <= r; ++x)
    if (weights[r - x] != weights[r + x] && x != unitPair) {
      add(r - x, r - x, weights[r - x]);
      add(r + x, r + x, weights[r + x]);
    }
  singles = terms;
  for (int32_t x = 1; x <= r; ++x)
    if (weights[r - x] == weights[r + x] || x == unitPair) add(r - x, r + x, std::min(weights[r - x], weights[r + x]));
}

namespace {

int32_t roundUpToBlock(int32_t count) { return (count + kBlock - 1) / kBlock * kBlock; }

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
  const ImageKernels& kernels = imageKernels(platform::simdLevel());
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
        kernels.horizontalSums(kernel, rowTaps.data(), 0, width, slotRow(y + i));
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
            kernels.verticalSums(kernel, batchRows.data() + (piece.top - y), piece.height(), strip - area.left,
                                 stripEnd - area.left, target.at(0, strip - piece.left), target.rowStep);
          }
        },
        nullptr);
  }
  return 0;
}
