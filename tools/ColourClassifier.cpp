#include "tools/ColourClassifier.h"

#include <algorithm>
#include <cmath>

#include "shell/ErrorRecord.h"
#include "tools/ColourListSource.h"

namespace {

// The slider pair as the classifiers read it: U within 0..255, L within
// 0..U (a pair with L above U has no transition).
ClassifierThresholds normalised(ClassifierThresholds pair) {
  const int upper = std::clamp(pair.upper, 0, 255);
  return {std::clamp(pair.lower, 0, upper), upper};
}

// floor(numerator / denominator) for a positive denominator.
int64_t floorDivide(int64_t numerator, int64_t denominator) {
  const int64_t quotient = numerator / denominator;
  return quotient - (numerator % denominator < 0 ? 1 : 0);
}

// The squared distance over the channels: a fixed count of them (1 grey,
// 3 RGB and Lab, 4 CMYK) unrolls; 0 means `channels` at run time.
template <int Channels>
int32_t squaredDistance(const uint8_t* pixel, const ClassifierColour& colour, int channels) {
  const int n = Channels > 0 ? Channels : channels;
  int32_t sum = 0;
  for (int c = 0; c < n; ++c) {
    const int32_t d = pixel[c] - colour[static_cast<size_t>(c)];
    sum += d * d;
  }
  return sum;
}

template <int Channels>
int32_t dotProduct(const uint8_t* pixel, const ClassifierColour& v, int channels) {
  const int n = Channels > 0 ? Channels : channels;
  int32_t sum = 0;
  for (int c = 0; c < n; ++c) sum += pixel[c] * v[static_cast<size_t>(c)];
  return sum;
}

// Runs the classifier's own classify, not through the table, over the
// unknown pixels of a span.
template <typename Classifier>
void classifyEachUnknown(Classifier& classifier, const uint8_t* pixel, int32_t colStep, int32_t count,
                         uint8_t* values, uint8_t flip) {
  for (int32_t i = 0; i < count; ++i, pixel += colStep)
    if (values[i] == 0) values[i] = classifier.Classifier::classify(pixel) ^ flip;
}

}  // namespace

PairClassifier::PairClassifier(const std::vector<ClassifierColour>& keep,
                               const std::vector<ClassifierColour>& drop, ClassifierThresholds pair,
                               int channels)
    : channels_(channels), keepCount_(keep.size()), dropCount_(drop.size()) {
  // t = (255 - U) / 255 and w = (U - L) / 255 are kept as their numerators
  // over 255, so the bounds and the slope are the exact roundings of their
  // definitions in integers. (0.5 + 255 / w lies exactly on a whole number
  // for U - L = 2, 6, 10, ...; no rounding of w is left to decide it.)
  const ClassifierThresholds p = normalised(pair);
  const int64_t t255 = 255 - p.upper, w255 = p.upper - p.lower;
  slope_ = w255 > 0 ? static_cast<int32_t>((2 * 255 * 255 + w255) / (2 * w255)) : 0;
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
      // and t + w of the way: floor(f * q + base + 0.5) with f = n / 255.
      const auto bound = [&](int64_t n) {
        return static_cast<int32_t>(floorDivide(2 * n * axis.q + 510 * int64_t{base} + 255, 510));
      };
      axis.low = bound(t255);
      axis.high = bound(t255 + w255);
      axes_.push_back(axis);
    }
  }
  a_.resize(dropCount_);
  b_.resize(keepCount_);
}

template <int Channels>
uint8_t PairClassifier::classifyWith(const uint8_t* pixel) {
  std::fill(b_.begin(), b_.end(), uint8_t{255});
  const Axis* axis = axes_.data();
  for (size_t j = 0; j < dropCount_; ++j) {
    uint8_t a = 0;
    for (size_t i = 0; i < keepCount_; ++i, ++axis) {
      const int32_t s = dotProduct<Channels>(pixel, axis->v, channels_);
      if (s <= axis->low) {
        b_[i] = 0;
      } else if (s >= axis->high) {
        a = 255;
      } else {
        // Inside the transition band s - low <= w q + 1 and S <= 255 / w +
        // 0.5 with w >= 1/255, so the sum stays below 255 q + 2^17 + 65025,
        // about 2^26 for the longest axis (q = 4 * 255^2): 32 bits divide
        // faster than 64.
        const int32_t e = ((s - axis->low) * slope_ + axis->q / 2) / axis->q;
        const auto value = static_cast<uint8_t>(std::min(e, 255));
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

uint8_t PairClassifier::classify(const uint8_t* pixel) {
  switch (channels_) {
    case 1: return classifyWith<1>(pixel);
    case 3: return classifyWith<3>(pixel);
    case 4: return classifyWith<4>(pixel);
    default: return classifyWith<0>(pixel);
  }
}

void PairClassifier::classifyUnknown(const uint8_t* pixel, int32_t colStep, int32_t count, uint8_t* values,
                                     uint8_t flip) {
  classifyEachUnknown(*this, pixel, colStep, count, values, flip);
}

RadialFalloff RadialFalloff::aroundKeep(ClassifierThresholds pair) {
  const ClassifierThresholds p = normalised(pair);
  return {255, p.upper, p.lower * p.lower, p.upper * p.upper, p.upper - p.lower};
}

RadialFalloff RadialFalloff::aroundDrop(ClassifierThresholds pair) {
  const ClassifierThresholds p = normalised(pair);
  const int32_t radius = 255 - p.upper, outer = 255 - p.lower;
  return {0, radius, radius * radius, outer * outer, p.upper - p.lower};
}

// Between the bounds: floor(d * 255 / span + 0.5), d the distance into the
// ramp. Divided, not multiplied by a rounded reciprocal, so that whole
// distances whose value lies exactly halfway round up as the definition
// says. Without a transition (span 0) the bounds coincide and no pixel
// gets here.
uint8_t RadialFalloff::value(int32_t m) const {
  if (m <= inner) return inside;
  if (m >= outer) return static_cast<uint8_t>(255 - inside);
  const double x = std::sqrt(static_cast<double>(m));
  const double into = inside == 255 ? radius - x : x - radius;
  return static_cast<uint8_t>(static_cast<int32_t>(std::floor((into * 255.0 + 0.5 * span) / span)));
}

template <int Channels>
uint8_t NearestColourClassifier::classifyWith(const uint8_t* pixel) const {
  int32_t m = INT32_MAX;
  for (const ClassifierColour& colour : colours_) {
    m = std::min(m, squaredDistance<Channels>(pixel, colour, channels_));
    if (m <= falloff_.inner) break;
  }
  return falloff_.value(m);
}

uint8_t NearestColourClassifier::classify(const uint8_t* pixel) {
  switch (channels_) {
    case 1: return classifyWith<1>(pixel);
    case 3: return classifyWith<3>(pixel);
    case 4: return classifyWith<4>(pixel);
    default: return classifyWith<0>(pixel);
  }
}

void NearestColourClassifier::classifyUnknown(const uint8_t* pixel, int32_t colStep, int32_t count,
                                              uint8_t* values, uint8_t flip) {
  classifyEachUnknown(*this, pixel, colStep, count, values, flip);
}

void ColourClassifier::classifyUnknown(const uint8_t* pixel, int32_t colStep, int32_t count, uint8_t* values,
                                       uint8_t flip) {
  for (int32_t i = 0; i < count; ++i, pixel += colStep)
    if (values[i] == 0) values[i] = classify(pixel) ^ flip;
}

// ---- The cache ----------------------------------------------------------

namespace {

struct ClassifierCache {
  ClassifierSource* source = nullptr;
  std::unique_ptr<ColourClassifier> current;
  ClassifierThresholds pair{-1, -1};
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

std::unique_ptr<ColourClassifier> build(ClassifierSource& source, PixelFormat format, ClassifierThresholds pair) {
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
  const ClassifierThresholds pair = source.thresholdPair();
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

uint8_t classifyPixel(const uint8_t* pixel) {
  ColourClassifier* classifier = cache().current.get();
  if (classifier == nullptr) THROW_ERROR(2, kGroupPlugIn);
  return classifier->classify(pixel);
}

void discardClassifier() {
  cache().current.reset();
  cache().invalid = true;
}

void invalidateClassifier() { cache().invalid = true; }

bool classifierInvalidated() { return cache().invalid; }
