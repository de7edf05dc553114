// Properties every traced path must have, checked on many random masks
// against the exact iso-line: the set of all crossings, computed here
// independently of the sweep.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <utility>

#include "path/PathTracer.h"
#include "tests/path/TraceTestSupport.h"
#include "tests/support/AutomatedTest.h"

namespace {

using path_testing::describe;
using path_testing::distanceToPath;
using path_testing::MaskImage;

constexpr int32_t S = 256;

struct Mask {
  std::string kind;
  int32_t rows = 0;
  int32_t columns = 0;
  std::vector<uint8_t> pixels;

  uint8_t at(int32_t r, int32_t c) const {
    if (r < 0 || r >= rows || c < 0 || c >= columns) return 0;
    return pixels[size_t(r) * size_t(columns) + size_t(c)];
  }
  void set(int32_t r, int32_t c, uint8_t value) {
    if (r >= 0 && r < rows && c >= 0 && c < columns) pixels[size_t(r) * size_t(columns) + size_t(c)] = value;
  }
};

uint8_t softEdge(double insideBy, double softness) {
  return uint8_t(std::clamp(insideBy / softness * 255.0 + 127.5, 0.0, 255.0));
}

Mask randomMask(std::mt19937& random, int kind) {
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  auto real = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
  Mask m;
  // Noise is kept small: its outlines are many and short.
  const int largest = kind == 2 ? 24 : 48;
  m.rows = uniform(1, largest);
  m.columns = uniform(1, largest);
  m.pixels.assign(size_t(m.rows) * size_t(m.columns), 0);
  switch (kind) {
    case 0: {
      m.kind = "blobs";
      for (int n = uniform(1, 6); n > 0; --n) {
        const double cv = real(-5, m.rows + 5), ch = real(-5, m.columns + 5);
        const double radius = real(0.5, 15), softness = real(0.5, 6);
        for (int r = 0; r < m.rows; ++r)
          for (int c = 0; c < m.columns; ++c)
            m.set(r, c, std::max(m.at(r, c), softEdge(radius - std::hypot(r - cv, c - ch), softness)));
      }
      break;
    }
    case 1: {
      m.kind = "holes inside holes";
      const double cv = real(0, m.rows), ch = real(0, m.columns), ring = real(1.5, 5);
      const double softness = real(0.3, 2);
      for (int r = 0; r < m.rows; ++r)
        for (int c = 0; c < m.columns; ++c) {
          const double phase = std::hypot(r - cv, c - ch) / ring;
          const double toEdge = (std::abs(phase - std::floor(phase) - 0.5) - 0.25) * ring;
          m.set(r, c, softEdge(int(phase) % 2 == 0 ? toEdge : -toEdge, softness));
        }
      break;
    }
    case 2: {
      m.kind = "noise";
      for (uint8_t& p : m.pixels) p = uint8_t(uniform(0, 255));
      break;
    }
    case 3: {
      m.kind = "one-pixel lines";
      for (int n = uniform(1, 5); n > 0; --n) {
        const int r0 = uniform(0, m.rows - 1), c0 = uniform(0, m.columns - 1);
        const int dv = uniform(-1, 1), dh = uniform(-1, 1);
        for (int i = 0, length = uniform(1, 40); i < length; ++i) m.set(r0 + i * dv, c0 + i * dh, 255);
      }
      break;
    }
    default: {
      m.kind = "border touching";
      for (int n = uniform(1, 6); n > 0; --n) {
        const int top = uniform(-3, m.rows), left = uniform(-3, m.columns);
        const int bottom = top + uniform(1, m.rows + 3), right = left + uniform(1, m.columns + 3);
        const uint8_t value = uint8_t(uniform(0, 1) ? 255 : uniform(0, 255));
        for (int r = top; r < bottom; ++r)
          for (int c = left; c < right; ++c) m.set(r, c, value);
      }
      break;
    }
  }
  return m;
}

// Every point where the iso-line crosses between two pixel centres, with
// the zeros around the image.
std::set<std::pair<int32_t, int32_t>> exactCrossings(const Mask& m, int32_t threshold) {
  std::set<std::pair<int32_t, int32_t>> crossings;
  auto inside = [&](int32_t value) { return value > threshold; };
  for (int32_t r = -1; r <= m.rows; ++r)
    for (int32_t c = -1; c <= m.columns; ++c) {
      const int32_t here = m.at(r, c);
      const int32_t right = m.at(r, c + 1), below = m.at(r + 1, c);
      if (inside(here) != inside(right))
        crossings.insert({r * S + S / 2, c * S + S / 2 + crossingOffset(here, right, threshold, S)});
      if (inside(here) != inside(below))
        crossings.insert({r * S + S / 2 + crossingOffset(here, below, threshold, S), c * S + S / 2});
    }
  return crossings;
}

// The values around a sub-pixel point, for failure messages.
std::string neighbourhood(const Mask& m, int32_t v, int32_t h) {
  std::string out = "\n";
  const int32_t r0 = v / S, c0 = h / S;
  for (int32_t r = r0 - 3; r <= r0 + 3; ++r) {
    for (int32_t c = c0 - 3; c <= c0 + 3; ++c) out += std::to_string(m.at(r, c)) + "\t";
    out += "\n";
  }
  return out;
}

class TraceProperties : public testing_support::AutomatedTest {};

TEST_F(TraceProperties, RandomMasksGiveClosedOutlinesOnTheExactIsoLine) {
  std::mt19937 random(20261208);
  const double tolerances[3] = {0.0, 0.3, 1.0};
  for (int round = 0; round < 400; ++round) {
    const Mask mask = randomMask(random, round % 5);
    const int32_t thresholds[4] = {2, 127, 252, std::uniform_int_distribution<int32_t>(0, 254)(random)};
    const int32_t threshold = thresholds[round / 5 % 4];
    const std::set<std::pair<int32_t, int32_t>> crossings = exactCrossings(mask, threshold);
    MaskImage image(mask.rows, mask.columns);
    for (int32_t r = 0; r < mask.rows; ++r)
      for (int32_t c = 0; c < mask.columns; ++c) image.at(r, c) = mask.at(r, c);

    for (int t = 0; t < 3; ++t) {
      const TracedPath path = trace(image, uint8_t(threshold), tolerances[t], S);
      const std::string what = mask.kind + " " + std::to_string(mask.rows) + "x" +
                               std::to_string(mask.columns) + " round " + std::to_string(round) +
                               " T " + std::to_string(threshold) + " t " + std::to_string(tolerances[t]);
      for (const Subpath& s : path.subpaths) ASSERT_GE(s.size(), 3) << what;
      for (const PathPoint& p : path.points) {
        ASSERT_TRUE(crossings.count({p.v, p.h})) << what << ": " << describe(p) << " is no crossing";
        ASSERT_TRUE(p.v >= -S / 2 && p.v <= mask.rows * S + S / 2 && p.h >= -S / 2 &&
                    p.h <= mask.columns * S + S / 2)
            << what << ": " << describe(p) << " outside the image grown by half a pixel";
      }
      if (t != 0) continue;
      for (const auto& [v, h] : crossings) {
        // A pixel at exactly the threshold draws the line through its
        // centre; a one-pixel hole of that value shrinks to a point there
        // and rightly vanishes.
        if (v % S == S / 2 && h % S == S / 2) continue;
        // Without tolerance only points in line with their neighbours go;
        // the closing edge of each polygon counts like every other edge.
        ASSERT_LT(distanceToPath({v, h}, path), 1e-9)
            << what << ": crossing " << describe({v, h}) << " lost" << neighbourhood(mask, v, h);
      }
    }
  }
}

// The simplifier bounds the average distance of the outline from each kept
// chord (2/3 of the tolerance), not the largest one: a narrow bump on a long
// chord may stand out further. On smooth wobbly outlines the largest
// distance measured is about 2.5 times the tolerance; three times is a
// fault.
TEST_F(TraceProperties, SimplifiedOutlinesStayNearTheExactIsoLine) {
  std::mt19937 random(8122026);
  for (double tolerance : {0.3, 0.5, 1.0}) {
    double worst = 0;
    for (int round = 0; round < 60; ++round) {
      Mask mask = randomMask(random, 0);
      MaskImage image(48, 48);
      // Blobs large enough that no outline is swallowed by the tolerance.
      const double cv = std::uniform_real_distribution<double>(10, 38)(random);
      const double ch = std::uniform_real_distribution<double>(10, 38)(random);
      const double radius = std::uniform_real_distribution<double>(4, 9)(random);
      const double softness = std::uniform_real_distribution<double>(0.5, 5)(random);
      mask.rows = mask.columns = 48;
      mask.pixels.assign(48 * 48, 0);
      for (int32_t r = 0; r < 48; ++r)
        for (int32_t c = 0; c < 48; ++c) {
          const double wobble = 1.5 * std::sin(std::atan2(r - cv, c - ch) * 5);
          mask.set(r, c, softEdge(radius + wobble - std::hypot(r - cv, c - ch), softness));
          image.at(r, c) = mask.at(r, c);
        }
      const TracedPath path = trace(image, 127, tolerance, S);
      ASSERT_EQ(path.subpaths.size(), 1u);
      for (const auto& [v, h] : exactCrossings(mask, 127)) {
        const double deviation = distanceToPath({v, h}, path) / S;
        worst = std::max(worst, deviation);
        ASSERT_LE(deviation, 3 * tolerance) << "round " << round << " crossing " << describe({v, h});
      }
    }
    RecordProperty("worst deviation at tolerance " + std::to_string(tolerance), std::to_string(worst));
  }
}

}  // namespace
