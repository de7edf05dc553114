#include "tools/Fills.h"

#include <algorithm>
#include <vector>

#include "display/CWorkDocument.h"
#include "image/BufferImage.h"
#include "platform/Cursor.h"
#include "shell/Exceptions.h"
#include "tools/MaskBandWalk.h"
#include "tools/MaskEdit.h"

namespace {

constexpr PixelLayout kOneByte{1, 1};
constexpr Point kRegionTile{128, 128};

uint8_t readByte(Image& image, Point at) {
  uint8_t value = 0;
  image.ReadRect({at.v, at.h, static_cast<int16_t>(at.v + 1), static_cast<int16_t>(at.h + 1)}, {&value, 1, 1});
  return value;
}

std::unique_ptr<BufferImage> newRegionMap(const Rect& bounds) {
  return std::make_unique<BufferImage>(kOneByte, bounds, kRegionTile, 0);
}

// Runs the region fill; false when the user cancelled it (the mask is then
// untouched and nothing is recorded).
template <typename Seeds>
bool fillRegion(Image& source, Image& regionMap, const Seeds& seeds, FillJudge& judge, int64_t* taken = nullptr) {
  try {
    const int64_t count = regionFill(source, regionMap, seeds, judge);
    if (taken != nullptr) *taken = count;
    return true;
  } catch (const XCancel&) {
    return false;
  }
}

// Blends one row towards the target by the region's values, leaving old
// XOR new there; returns the OR of every XOR. A region byte of 0 blends to
// the old byte ((255 m + 127) / 255 = m), so no pixel needs a branch, and
// every sum fits in 16 bits: the compiler makes vector code of it.
uint8_t blendRowTowards(uint8_t* __restrict region, uint8_t* __restrict mask, int32_t width, uint8_t target) {
  uint8_t differences = 0;
  for (int32_t h = 0; h < width; ++h) {
    const uint16_t c = region[h], m = mask[h];
    const auto blended = static_cast<uint8_t>(static_cast<uint16_t>((255 - c) * m + c * target + 127) / 255);
    region[h] = m ^ blended;
    mask[h] = blended;
    differences |= m ^ blended;
  }
  return differences;
}

// Blends the mask towards the target by the region's values, leaving old
// XOR new in the region map; true when any mask byte changed.
bool blendRegionTowards(Image& regionMap, CWorkDocument& document, uint8_t target) {
  bool changed = false;
  forEachMaskBand(regionMap, *document.MaskImage(), nullptr, document, [&](const MaskBand& band) {
    for (int32_t v = 0; v < band.rect.height(); ++v) {
      uint8_t* region = band.coverage.at(v, 0);
      uint8_t* mask = band.mask.at(v, 0);
      if (band.mask.colStep == 1) {
        changed = blendRowTowards(region, mask, band.rect.width(), target) != 0 || changed;
        continue;
      }
      for (int32_t h = 0; h < band.rect.width(); ++h) {
        if (region[h] == 0) continue;
        uint8_t& m = mask[h * band.mask.colStep];
        const uint8_t blended = blendMask(m, region[h], target);
        region[h] = m ^ blended;
        changed = changed || m != blended;
        m = blended;
      }
    }
  });
  return changed;
}

}  // namespace

ByteRangeJudge undecidedJudge(bool keepMode) {
  return keepMode ? ByteRangeJudge(0, kKeepDecisionLimit - 1) : ByteRangeJudge(kDropDecisionLimit + 1, 255);
}

uint8_t ClassifierJudge::judge(const uint8_t* pixel, int32_t, int32_t, FillFrom) {
  const uint8_t value = classifier_.classify(pixel);
  return keepMode_ ? value : static_cast<uint8_t>(255 - value);
}

void ClassifierJudge::judgeUnknown(const uint8_t* pixel, int32_t, int32_t colStep, int32_t count, uint8_t* region,
                                   FillFrom) {
  classifier_.classifyUnknown(pixel, colStep, count, region, keepMode_ ? 0 : 255);
}

namespace {

// Branch-free over restricted pointers, so that the compiler turns it into
// vector selects.
void setRowToTarget(uint8_t* __restrict region, uint8_t* __restrict mask, int32_t width, uint8_t target) {
  for (int32_t h = 0; h < width; ++h) {
    const uint8_t inside = region[h] != 0 ? 0xFF : 0;
    const uint8_t m = mask[h];
    region[h] = static_cast<uint8_t>((m ^ target) & inside);
    mask[h] = static_cast<uint8_t>((m & ~inside) | (target & inside));
  }
}

}  // namespace

void SetRegionToTarget(std::unique_ptr<Image> regionMap, CWorkDocument& document, uint8_t target) {
  forEachMaskBand(*regionMap, *document.MaskImage(), nullptr, document, [target](const MaskBand& band) {
    const int32_t width = band.rect.width();
    for (int32_t v = 0; v < band.rect.height(); ++v) {
      uint8_t* region = band.coverage.at(v, 0);
      uint8_t* mask = band.mask.at(v, 0);
      if (band.mask.colStep == 1) {
        setRowToTarget(region, mask, width, target);
        continue;
      }
      for (int32_t h = 0; h < width; ++h) {
        if (region[h] == 0) continue;
        uint8_t& m = mask[h * band.mask.colStep];
        region[h] = m ^ target;
        m = target;
      }
    }
  });
  document.PushCommand(std::make_unique<MaskDeltaRecord>(std::move(regionMap)));
}

bool BucketFill(CWorkDocument& document, Point at, bool keepMode) {
  Image& mask = *document.MaskImage();
  if (!mask.bounds().contains(at) || !maskUndecided(readByte(mask, at), keepMode)) return false;
  platform::WaitCursor wait;
  auto regionMap = newRegionMap(mask.bounds());
  ByteRangeJudge judge = undecidedJudge(keepMode);
  if (!fillRegion(mask, *regionMap, at, judge)) return false;
  SetRegionToTarget(std::move(regionMap), document, fillTarget(keepMode));
  return true;
}

bool MagicWandFill(CWorkDocument& document, Point at, bool keepMode, PixelFormat format) {
  ColourClassifier& classifier = currentClassifier(format);
  Image& working = *document.WorkingImage();
  if (!working.bounds().contains(at)) return false;
  platform::WaitCursor wait;
  auto regionMap = newRegionMap(working.bounds());
  ClassifierJudge judge(classifier, keepMode);
  // The seed is judged by the fill itself, once: nothing taken means the
  // classifier rejects it.
  int64_t taken = 0;
  if (!fillRegion(working, *regionMap, at, judge, &taken) || taken == 0) return false;
  if (!blendRegionTowards(*regionMap, document, fillTarget(keepMode))) return false;
  document.PushCommand(std::make_unique<MaskDeltaRecord>(std::move(regionMap)));
  return true;
}

bool MagicBucketFill(CWorkDocument& document, Point at, int16_t halfSide, bool keepMode) {
  if (halfSide < 0) return false;
  Image& mask = *document.MaskImage();
  const auto clampCoordinate = [](int32_t c) {
    return static_cast<int16_t>(std::clamp<int32_t>(c, INT16_MIN, INT16_MAX));
  };
  // The square's sides in 32 bits: a square reaching beyond the coordinate
  // range is cut there like at any image border.
  const int32_t top = at.v - halfSide, left = at.h - halfSide;
  const int32_t bottom = at.v + halfSide + 1, right = at.h + halfSide + 1;
  const Rect full{clampCoordinate(top), clampCoordinate(left), clampCoordinate(bottom), clampCoordinate(right)};
  const Rect square = full.intersection(mask.bounds());
  if (square.empty()) return false;
  auto regionMap = newRegionMap(square);

  // Everything undecided that the square's open sides reach is connected to
  // the outside; sides cut by the image border count as closed.
  std::vector<Point> seeds;
  const auto seedFromSide = [&](Rect side) {
    std::vector<uint8_t> line(static_cast<size_t>(side.height() * side.width()));
    mask.ReadRect(side, {line.data(), 1, side.width()});
    size_t i = 0;
    for (int16_t v = side.top; v < side.bottom; ++v)
      for (int16_t h = side.left; h < side.right; ++h, ++i)
        if (maskUndecided(line[i], keepMode)) seeds.push_back({v, h});
  };
  const auto below = [](int16_t c) { return static_cast<int16_t>(c + 1); };
  const auto above = [](int16_t c) { return static_cast<int16_t>(c - 1); };
  if (top == square.top) seedFromSide({square.top, square.left, below(square.top), square.right});
  if (bottom == square.bottom) seedFromSide({above(square.bottom), square.left, square.bottom, square.right});
  if (left == square.left) seedFromSide({square.top, square.left, square.bottom, below(square.left)});
  if (right == square.right) seedFromSide({square.top, above(square.right), square.bottom, square.right});
  ByteRangeJudge judge = undecidedJudge(keepMode);
  if (!fillRegion(mask, *regionMap, seeds, judge)) return false;

  // What the sides did not reach and is undecided is an enclosed hole.
  const uint8_t target = fillTarget(keepMode);
  bool changed = false;
  forEachMaskBand(
      *regionMap, mask, nullptr, document,
      [&](const MaskBand& band) {
        for (int32_t v = 0; v < band.rect.height(); ++v) {
          uint8_t* region = band.coverage.at(v, 0);
          uint8_t* m = band.mask.at(v, 0);
          for (int32_t h = 0; h < band.rect.width(); ++h) {
            uint8_t& byte = m[h * band.mask.colStep];
            if (region[h] == 0 && maskUndecided(byte, keepMode)) {
              region[h] = byte ^ target;
              byte = target;
              changed = true;
            } else {
              region[h] = 0;
            }
          }
        }
      },
      UntouchedCoverage::visit, false);
  if (!changed) return false;
  document.InvalidateImageRect(square);
  document.PushCommand(std::make_unique<MaskDeltaRecord>(std::move(regionMap)));
  return true;
}
