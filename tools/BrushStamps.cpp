#include "tools/BrushStamps.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// q(a, x): 0 at a = 0 and x at a = 255, growing with the square of a + 10,
// so small slider values give fine control over small brushes.
double scaled(int a, double x) {
  return ((a + 10.0) * (a + 10.0) - 100.0) * x / 70125.0;  // 70125 = 265^2 - 100
}

// Values spread evenly over 5 .. 253 in bit-reversed order, so that any run
// of consecutive entries is close to uniform.
constexpr std::array<uint8_t, 256> makeDitherTable() {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    int reversed = 0;
    for (int bit = 0; bit < 8; ++bit)
      if (i & (1 << bit)) reversed |= 1 << (7 - bit);
    table[static_cast<size_t>(i)] = static_cast<uint8_t>(5 + reversed * 248 / 255);
  }
  return table;
}
constexpr std::array<uint8_t, 256> kDitherTable = makeDitherTable();

// floor(x) as an integer, for coordinates.
int32_t floorInt(double x) { return static_cast<int32_t>(std::floor(x)); }

}  // namespace

BrushGeometry BrushGeometry::from(int size, int sizePlusEdge, int32_t strength, int spacingSetting) {
  BrushGeometry g{};
  g.hardRadius = scaled(size, 128);
  g.softness = scaled(sizePlusEdge - size, 64);
  g.sigma = (g.softness + 0.4) * 1.3;
  g.falloff = -0.5 / (g.sigma * g.sigma);
  g.outerRadius = g.hardRadius + std::sqrt(std::log(1.0 / 510.0) / g.falloff);
  g.reach = g.hardRadius + (g.softness + 0.4) * 2.5;
  g.strength = strength;
  g.phases = std::clamp(static_cast<int>(100.0 / g.outerRadius), 1, 10);
  g.spacing = std::max(1.0 / g.phases, g.reach * spacingSetting * 2.0 / 255.0);
  return g;
}

uint8_t StampDither::next() {
  position_ = position_ == 0 ? 255 : position_ - 1;
  return kDitherTable[static_cast<size_t>(position_)];
}

bool BrushStampCache::configure(int size, int sizePlusEdge, int32_t strength, int spacingSetting) {
  if (valid_ && size == size_ && sizePlusEdge == sizePlusEdge_ && strength == strength_ &&
      spacingSetting == spacingSetting_)
    return false;
  size_ = size;
  sizePlusEdge_ = sizePlusEdge;
  strength_ = strength;
  spacingSetting_ = spacingSetting;
  geometry_ = BrushGeometry::from(size, sizePlusEdge, strength, spacingSetting);
  const auto count = static_cast<size_t>(geometry_.phases * geometry_.phases);
  stamps_.assign(count, BrushStamp{});
  built_.assign(count, false);
  valid_ = true;
  return true;
}

BrushStampCache::Placement BrushStampCache::place(double v, double h) const {
  const int f = geometry_.phases;
  const int32_t fineV = floorInt(f * v + 0.5);
  const int32_t fineH = floorInt(f * h + 0.5);
  const int32_t pixelV = floorDiv(fineV, f);
  const int32_t pixelH = floorDiv(fineH, f);
  return {pixelV, pixelH, static_cast<int>(fineV - f * pixelV), static_cast<int>(fineH - f * pixelH)};
}

const BrushStamp& BrushStampCache::stamp(int phaseV, int phaseH) {
  const auto index = static_cast<size_t>(phaseV * geometry_.phases + phaseH);
  if (!built_[index]) {
    stamps_[index] = build(phaseV, phaseH);
    built_[index] = true;
  }
  return stamps_[index];
}

BrushStamp BrushStampCache::build(int phaseV, int phaseH) {
  const BrushGeometry& g = geometry_;
  const double centreV = static_cast<double>(phaseV) / g.phases;
  const double centreH = static_cast<double>(phaseH) / g.phases;
  // Both ends inclusive: the rectangle covers every pixel whose centre can
  // lie within r1 of the stamp centre.
  BrushStamp stamp;
  stamp.rect.top = static_cast<int16_t>(floorInt(centreV - g.outerRadius + 0.5));
  stamp.rect.bottom = static_cast<int16_t>(floorInt(centreV + g.outerRadius + 0.5) + 1);
  stamp.rect.left = static_cast<int16_t>(floorInt(centreH - g.outerRadius + 0.5));
  stamp.rect.right = static_cast<int16_t>(floorInt(centreH + g.outerRadius + 0.5) + 1);
  stamp.bytes.resize(static_cast<size_t>(stamp.rect.height() * stamp.rect.width()));

  const double inner2 = g.hardRadius * g.hardRadius;
  const double outer2 = g.outerRadius * g.outerRadius;
  uint8_t* out = stamp.bytes.data();
  for (int32_t row = stamp.rect.top; row < stamp.rect.bottom; ++row) {
    const double dv = row + 0.5 - centreV;
    // d^2 along the row, grown incrementally: (dh + 1)^2 = dh^2 + 2 dh + 1.
    double dh = stamp.rect.left + 0.5 - centreH;
    double d2 = dv * dv + dh * dh;
    for (int32_t column = stamp.rect.left; column < stamp.rect.right; ++column) {
      const int32_t n = dither_.next();
      int32_t value;
      if (d2 <= inner2) {
        value = (n + g.strength) >> 8;
      } else if (d2 >= outer2) {
        value = 0;
      } else {
        const double rim = std::sqrt(d2) - g.hardRadius;
        value = (n + floorInt(g.strength * std::exp(g.falloff * rim * rim))) >> 8;
      }
      *out++ = static_cast<uint8_t>(value);
      d2 += 2 * dh + 1;
      dh += 1;
    }
  }
  return stamp;
}
