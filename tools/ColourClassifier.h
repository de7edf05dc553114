// The colour classifier: turns one image pixel into a mask value from the
// colours the user picked. 255 keeps, 0 drops, values between are the
// transition. The magic brush and the magic wand are its only users.
//
// With keep colours alone the mask falls off linearly with the distance to
// the nearest keep colour (full keep within L, full drop beyond U); with
// drop colours alone it rises with the distance to the nearest drop colour;
// with both, each pixel is projected onto the axis from every drop colour to
// every keep colour and keeps only as much as it wins against its hardest
// drop colour.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The working pixel format: interleaved channels of the image mode.
struct PixelFormat {
  int16_t channels;  // 1 grey, 3 RGB and Lab, 4 CMYK
  int16_t mode;      // the host's image mode
  bool operator==(const PixelFormat&) const = default;
};

// A colour in the working mode: `channels` values 0 to 255.
using ClassifierColour = std::array<int32_t, 4>;

class ColourClassifier {
 public:
  virtual ~ColourClassifier() = default;
  // The mask value of the pixel at `pixel` (its interleaved channel bytes).
  virtual uint8_t classify(const uint8_t* pixel) = 0;
  // Whether the cache may hand this classifier out again when nothing
  // changed. The sample classifier is rebuilt at every request.
  virtual bool isReusable() const { return true; }
  // classify for the `count` pixels `colStep` bytes apart from `pixel` whose
  // value byte is 0, storing the value XOR `flip` there (255 - value with
  // flip 255): the unknown pixels of a magic wand span, in one call.
  virtual void classifyUnknown(const uint8_t* pixel, int32_t colStep, int32_t count, uint8_t* values,
                               uint8_t flip);
};

// The threshold slider pair: lower L (threshold) and upper U (threshold
// plus transition), 0 <= L <= U <= 255. The classifiers take U outside
// 0..255 as its nearest limit and L above U as U (no transition).
struct ClassifierThresholds {
  int lower;
  int upper;
};

// Keep and drop colours both picked.
class PairClassifier : public ColourClassifier {
 public:
  PairClassifier(const std::vector<ClassifierColour>& keep, const std::vector<ClassifierColour>& drop,
                 ClassifierThresholds pair, int channels);
  uint8_t classify(const uint8_t* pixel) final;
  void classifyUnknown(const uint8_t* pixel, int32_t colStep, int32_t count, uint8_t* values,
                       uint8_t flip) override;

 private:
  template <int Channels>
  uint8_t classifyWith(const uint8_t* pixel);

  struct Axis {  // from one drop colour to one keep colour
    ClassifierColour v;
    int32_t q;  // squared length of v
    int32_t low, high;
  };
  int channels_;
  size_t keepCount_, dropCount_;
  int32_t slope_;
  std::vector<Axis> axes_;  // drop-major: j * keepCount + i
  std::vector<uint8_t> a_, b_;
};

// How the single-kind classifiers turn a squared distance m to their
// nearest colour into a mask value: the inside value up to the inner bound,
// the outside value from the outer bound on, and a linear ramp over the
// distance between. The radii are the slider's integers, so a pixel at
// exactly the inner radius gets the inside value and one at exactly the
// outer radius the outside value.
struct RadialFalloff {
  uint8_t inside;        // 255 around keep colours, 0 around drop colours
  int32_t radius;        // R: where the ramp is measured from (U, or 255 - U)
  int32_t inner, outer;  // squared-distance bounds
  int32_t span;          // U - L: the ramp's length
  // Keep: full keep within L, full drop beyond U. Drop: full drop within
  // 255 - U, full keep beyond 255 - L.
  static RadialFalloff aroundKeep(ClassifierThresholds pair);
  static RadialFalloff aroundDrop(ClassifierThresholds pair);
  uint8_t value(int32_t m) const;
};

// The value of the nearest of some colours, by a falloff.
class NearestColourClassifier : public ColourClassifier {
 public:
  NearestColourClassifier(std::vector<ClassifierColour> colours, RadialFalloff falloff, int channels)
      : colours_(std::move(colours)), falloff_(falloff), channels_(channels) {}
  uint8_t classify(const uint8_t* pixel) final;
  void classifyUnknown(const uint8_t* pixel, int32_t colStep, int32_t count, uint8_t* values,
                       uint8_t flip) override;

 private:
  template <int Channels>
  uint8_t classifyWith(const uint8_t* pixel) const;

  std::vector<ClassifierColour> colours_;
  RadialFalloff falloff_;
  int channels_;
};

// Keep colours alone.
class KeepClassifier : public NearestColourClassifier {
 public:
  KeepClassifier(std::vector<ClassifierColour> keep, ClassifierThresholds pair, int channels)
      : NearestColourClassifier(std::move(keep), RadialFalloff::aroundKeep(pair), channels) {}
};

// Drop colours alone.
class DropClassifier : public NearestColourClassifier {
 public:
  DropClassifier(std::vector<ClassifierColour> drop, ClassifierThresholds pair, int channels)
      : NearestColourClassifier(std::move(drop), RadialFalloff::aroundDrop(pair), channels) {}
};

// No colour picked: the colour under the pointer is the one colour, kept in
// keep mode and dropped in drop mode. Rebuilt at every request, so it
// follows the pointer.
class SampleClassifier : public NearestColourClassifier {
 public:
  SampleClassifier(const ClassifierColour& reference, bool keepMode, ClassifierThresholds pair, int channels)
      : NearestColourClassifier({reference},
                                keepMode ? RadialFalloff::aroundKeep(pair) : RadialFalloff::aroundDrop(pair),
                                channels) {}
  bool isReusable() const override { return false; }
};

// Where the classifier's inputs come from: the colour lists, the threshold
// slider, the toolbox's keep mode and the pixel under the pointer
// (ColourListSource.h); tests put sources of their own.
class ClassifierSource {
 public:
  virtual ~ClassifierSource() = default;
  // Selected entries in list order, converted to the working format.
  virtual std::vector<ClassifierColour> selectedKeepColours(PixelFormat format) = 0;
  virtual std::vector<ClassifierColour> selectedDropColours(PixelFormat format) = 0;
  virtual ClassifierThresholds thresholdPair() = 0;
  virtual bool keepMode() = 0;
  // The pixel under the pointer; none when the pointer is off the image.
  virtual std::optional<ClassifierColour> colourUnderPointer(PixelFormat format) = 0;
};

// Null gives the inputs back to the colour lists and the work window.
void setClassifierSource(ClassifierSource* source);

// The classifier for the working format, rebuilt when an input changed.
ColourClassifier& currentClassifier(PixelFormat format);
// classify on the current classifier. Without one (before the first
// currentClassifier, after discardClassifier or a failed build) it throws
// XError instead of classifying.
uint8_t classifyPixel(const uint8_t* pixel);
// Destroys the current classifier (the work window closes).
void discardClassifier();
// The colours-changed flag: the colour lists set it whenever their
// entries, keys, selection or current row change; the next request builds
// a new classifier and clears it.
void invalidateClassifier();
bool classifierInvalidated();
