// The round soft brush of the painting tools: its geometry from the brush
// slider pair and the stamps it leaves, one per subpixel phase.
//
// A stamp is a solid disc of radius r0 whose rim falls off as a Gaussian
// until it reaches 1/510 (half a grey level) at r1. Stamps are placed along
// the pointer's path every J pixels and united into a coverage image.
#pragma once

#include <cstdint>
#include <vector>

#include "image/Geometry.h"

// Full strength: every stamp value is (dither + strength) >> 8.
constexpr int32_t kFullBrushStrength = 255 * 256;
// Spacing setting (one-value setting 1037): stamps every R * H * 2 / 255.
constexpr int32_t kDefaultStampSpacing = 64;

struct BrushGeometry {
  double hardRadius;   // r0
  double softness;     // g
  double sigma;        // Gaussian width
  double falloff;      // k = -0.5 / sigma^2
  double outerRadius;  // r1: where the falloff reaches 1/510
  double reach;        // R, used for spacing
  int32_t strength;
  int phases;          // f subpixel phases per pixel and axis
  double spacing;      // J

  // From the brush pair (size s, size plus edge e, 0..255, e >= s), the
  // strength and the spacing setting H.
  static BrushGeometry from(int size, int sizePlusEdge, int32_t strength,
                            int spacingSetting = kDefaultStampSpacing);
};

// One stamp: its rectangle relative to the pixel that holds its centre,
// and its bytes row by row.
struct BrushStamp {
  Rect rect;
  std::vector<uint8_t> bytes;
};

// The 256-byte dither table, read backwards one byte per stamp pixel; its
// position carries over from stamp to stamp and stroke to stroke, so the
// fractional part of the stamp values is dithered away over the stroke.
class StampDither {
 public:
  uint8_t next();

 private:
  int position_ = 0;
};

// Stamps for every pair of phases, built on first use, thrown away when the
// brush setting or strength changes.
class BrushStampCache {
 public:
  // Makes the cache fit the setting; true when the geometry changed.
  bool configure(int size, int sizePlusEdge, int32_t strength, int spacingSetting);

  const BrushGeometry& geometry() const { return geometry_; }

  // The stamp for a centre at offset (phaseV / f, phaseH / f) from the
  // top-left corner of its pixel.
  const BrushStamp& stamp(int phaseV, int phaseH);

  // Where a stamp centred at (v, h) in image pixels goes: the pixel that
  // holds the centre, rounded to the nearest 1/f pixel, and its phases.
  struct Placement {
    int32_t v, h;
    int phaseV, phaseH;
  };
  Placement place(double v, double h) const;

 private:
  BrushStamp build(int phaseV, int phaseH);

  bool valid_ = false;
  int size_ = -1, sizePlusEdge_ = -1, spacingSetting_ = -1;
  int32_t strength_ = -1;
  BrushGeometry geometry_{};
  std::vector<BrushStamp> stamps_;  // f * f, built on demand
  std::vector<bool> built_;
  StampDither dither_;
};
