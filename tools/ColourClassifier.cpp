#include "tools/ColourClassifier.h"

#include <algorithm>
#include <cmath>

#include "tools/ColourListSource.h"

namespace {

// Fractions of the slider pair: t = (255 - U) / 255, w = (U - L) / 255.
struct Fractions {
  double t;
  double w;
};

Fractions fractionsOf(ThresholdPair pair) {
  return {(255.0 - pair.upper) / 255.0, (pair.upper - pair.lower) / 255.0};
}

double reciprocalOf(double w) { return w > 1e-6 ? 1.0 / w : 0.0; }

int32_t floorToInt(double x) { return static_cast<int32_t>(std::floor(x)); }
int32_t ceilToInt(double x) { return static_cast<int32_t>(std::ceil(x)); }

// A classify result is the low 8 bits of the rounded value.
uint8_t lowByte(double x) { return static_cast<uint8_t>(static_cast<int32_t>(std::floor(x))); }

int32_t squaredDistance(const uint8_t* pixel, const ClassifierColour& colour, int channels) {
  int32_t sum = 0;
  for (int c = 0; c < channels; ++c) {
    const int32_t d = pixel[c] - colour[static_cast<size_t>(c)];
    sum += d * d;
  }
  return sum;
}

}  // namespace

PairClassifier::PairClassifier(const std::vector<ClassifierColour>& keep,
                               const std::vector<ClassifierColour>& drop, ThresholdPair pair,
                               int channels)
    : channels_(channels), keepCount_(keep.size()), dropCount_(drop.size()) {
  Fractions f = fractionsOf(pair);
  f.w = std::max(f.w, 0.0);
  f.t = std::max(f.t, 0.0);
  slope_ = f.w > 1e-6 ? floorToInt(0.5 + 255.0 / f.w) : 0;
  axes_.reserve(keepCount_ * dropCount_);
  for (const ClassifierColour& d : drop) {
    for (const ClassifierColour& k : keep) {
      Axis axis{};
      int32_t base = 0;
      for (int c = 0; c < channels; ++c) {
        const auto i = static_cast<size_t>(c);
        axis.v[i] = k[i] - d[i];
        axis.q += axis.v[i] * axis.v[i];
        base += axis.v[i] * d[i];
      }
      // The projection of a pixel on the axis is `base` at the drop colour
      // and base + q at the keep colour; low and high mark the fractions t
      // and t + w of the way.
      axis.low = floorToInt(f.t * axis.q + base + 0.5);
      axis.high = floorToInt((f.t + f.w) * axis.q + base + 0.5);
      axes_.push_back(axis);
    }
  }
  a_.resize(dropCount_);
  b_.resize(keepCount_);
}

uint8_t PairClassifier::classify(const uint8_t* pixel) {
  std::fill(b_.begin(), b_.end(), uint8_t{255});
  const Axis* axis = axes_.data();
  for (size_t j = 0; j < dropCount_; ++j) {
    uint8_t a = 0;
    for (size_t i = 0; i < keepCount_; ++i, ++axis) {
      int32_t s = 0;
      for (int c = 0; c < channels_; ++c) s += pixel[c] * axis->v[static_cast<size_t>(c)];
      if (s <= axis->low) {
        b_[i] = 0;
      } else if (s >= axis->high) {
        a = 255;
      } else {
        // Inside the transition band s - low < w * q, so the product stays
        // far below 2^31; 64 bits only make that obvious.
        const int64_t e = (int64_t{s - axis->low} * slope_ + axis->q / 2) / axis->q;
        const auto value = static_cast<uint8_t>(std::min<int64_t>(e, 255));
        a = std::max(a, value);
        b_[i] = std::min(b_[i], value);
      }
    }
    a_[j] = a;
  }
  uint8_t r = 255;
  for (uint8_t a : a_) r = std::min(r, a);
  if (r < 128) {
    for (uint8_t b : b_) r = std::max(r, b);
  }
  return r;
}

RadialFalloff RadialFalloff::aroundKeep(ThresholdPair pair) {
  const Fractions f = fractionsOf(pair);
  const double radius = 255.0 * (1.0 - f.t);  // U
  const double inner = radius - 255.0 * f.w;  // L
  return {255, radius, floorToInt(inner * inner), ceilToInt(radius * radius), reciprocalOf(f.w)};
}

RadialFalloff RadialFalloff::aroundDrop(ThresholdPair pair) {
  const Fractions f = fractionsOf(pair);
  const double radius = 255.0 * f.t;          // 255 - U
  const double outer = radius + 255.0 * f.w;  // 255 - L
  return {0, radius, floorToInt(radius * radius), ceilToInt(outer * outer), reciprocalOf(f.w)};
}

uint8_t RadialFalloff::value(int32_t m) const {
  if (m <= inner) return inside;
  if (m >= outer) return static_cast<uint8_t>(255 - inside);
  const double x = std::sqrt(static_cast<double>(m));
  return lowByte((inside == 255 ? radius - x : x - radius) * reciprocal + 0.5);
}

uint8_t NearestColourClassifier::classify(const uint8_t* pixel) {
  int32_t m = INT32_MAX;
  for (const ClassifierColour& colour : colours_) {
    m = std::min(m, squaredDistance(pixel, colour, channels_));
    if (m <= falloff_.inner) break;
  }
  return falloff_.value(m);
}

// ---- The cache ----------------------------------------------------------

namespace {

struct ClassifierCache {
  ClassifierSource* source = nullptr;
  std::unique_ptr<ColourClassifier> current;
  ThresholdPair pair{-1, -1};
  PixelFormat format{0, -1};
  bool invalid = true;
  // The sample classifier keeps the last colour it saw under the pointer
  // for requests made while the pointer is off the image; mid-grey before
  // any was seen.
  ClassifierColour lastSample{128, 128, 128, 128};
};

ClassifierCache& cache() {
  static ClassifierCache instance;
  return instance;
}

std::unique_ptr<ColourClassifier> build(ClassifierSource& source, PixelFormat format, ThresholdPair pair) {
  auto keep = source.selectedKeepColours(format);
  auto drop = source.selectedDropColours(format);
  if (!keep.empty() && !drop.empty())
    return std::make_unique<PairClassifier>(keep, drop, pair, format.channels);
  if (!keep.empty()) return std::make_unique<KeepClassifier>(std::move(keep), pair, format.channels);
  if (!drop.empty()) return std::make_unique<DropClassifier>(std::move(drop), pair, format.channels);
  ClassifierCache& c = cache();
  if (auto sample = source.colourUnderPointer(format)) c.lastSample = *sample;
  return std::make_unique<SampleClassifier>(c.lastSample, source.keepMode(), pair, format.channels);
}

}  // namespace

void setClassifierSource(ClassifierSource* source) {
  discardClassifier();
  cache().source = source;
}

ColourClassifier& currentClassifier(PixelFormat format) {
  ClassifierCache& c = cache();
  ClassifierSource& source = c.source != nullptr ? *c.source : TheColourListSource();
  const ThresholdPair pair = source.thresholdPair();
  if (!c.invalid && c.current && pair.lower == c.pair.lower && pair.upper == c.pair.upper &&
      format == c.format && c.current->isReusable())
    return *c.current;
  // Until the new classifier is stored, none is current and a failed build
  // leaves the flag set so the next request builds again.
  c.invalid = true;
  c.pair = pair;
  c.format = format;
  c.current.reset();
  c.current = build(source, format, pair);
  c.invalid = false;
  return *c.current;
}

uint8_t classifyPixel(const uint8_t* pixel) { return cache().current->classify(pixel); }

void discardClassifier() {
  cache().current.reset();
  cache().invalid = true;
}

void invalidateClassifier() { cache().invalid = true; }

bool classifierInvalidated() { return cache().invalid; }
