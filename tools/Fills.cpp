#include "tools/Fills.h"

#include <memory>
#include <vector>

#include "display/CWorkDocument.h"
#include "image/BufferImage.h"
#include "platform/Cursor.h"
#include "shell/Exceptions.h"
#include "tools/MaskBandWalk.h"
#include "tools/MaskEdit.h"
#include "tools/RegionFill.h"

namespace {

constexpr PixelLayout kOneByte{1, 1};
constexpr Point kRegionTile{128, 128};

uint8_t readByte(Image& image, Point at) {
  uint8_t value = 0;
  image.ReadRect({at.v, at.h, static_cast<int16_t>(at.v + 1), static_cast<int16_t>(at.h + 1)},
                 {&value, 1, 1});
  return value;
}

FillPredicate undecidedPredicate(bool keepMode) { return keepMode ? undecidedForKeep : undecidedForDrop; }

// Runs the region fill; false when the user cancelled it (the mask is then
// untouched and nothing is recorded).
bool fillRegion(Image& source, Image& regionMap, Point seed, FillPredicate predicate) {
  try {
    regionFill(source, regionMap, seed, predicate);
    return true;
  } catch (const XCancel&) {
    return false;
  }
}

// Blends the mask towards the target by the region's values (255 for the
// bucket: the target itself) and records the change.
bool blendRegionAndRecord(CWorkDocument& document, std::unique_ptr<BufferImage> regionMap, uint8_t target) {
  ApplyStrokeToTarget(*regionMap, document, target);
  document.PushCommand(std::make_unique<MaskDeltaRecord>(std::move(regionMap)));
  return true;
}

}  // namespace

bool maskUndecided(uint8_t mask, bool keepMode) { return keepMode ? mask < 253 : mask > 2; }

bool BucketFill(CWorkDocument& document, Point at, bool keepMode) {
  Image& mask = *document.MaskImage();
  if (!mask.bounds().contains(at) || !maskUndecided(readByte(mask, at), keepMode)) return false;
  platform::WaitCursor wait;
  auto regionMap = std::make_unique<BufferImage>(kOneByte, mask.bounds(), kRegionTile, 0);
  if (!fillRegion(mask, *regionMap, at, undecidedPredicate(keepMode))) return false;
  return blendRegionAndRecord(document, std::move(regionMap), fillTarget(keepMode));
}

bool MagicWandFill(CWorkDocument& document, Point at, bool keepMode, PixelFormat format) {
  currentClassifier(format);
  Image& working = *document.WorkingImage();
  if (!working.bounds().contains(at)) return false;
  const FillPredicate predicate = keepMode ? classifiedKeep : classifiedDrop;
  std::vector<uint8_t> pixel(static_cast<size_t>(working.layout().bytesPerPixel));
  working.ReadRect({at.v, at.h, static_cast<int16_t>(at.v + 1), static_cast<int16_t>(at.h + 1)},
                   {pixel.data(), working.layout().bytesPerPixel, working.layout().bytesPerPixel});
  if (predicate(pixel.data()) == 0) return false;
  platform::WaitCursor wait;
  auto regionMap = std::make_unique<BufferImage>(kOneByte, working.bounds(), kRegionTile, 0);
  if (!fillRegion(working, *regionMap, at, predicate)) return false;
  return blendRegionAndRecord(document, std::move(regionMap), fillTarget(keepMode));
}

bool MagicBucketFill(CWorkDocument& document, Point at, int16_t halfSide, bool keepMode) {
  Image& mask = *document.MaskImage();
  const Rect full{static_cast<int16_t>(at.v - halfSide), static_cast<int16_t>(at.h - halfSide),
                  static_cast<int16_t>(at.v + halfSide + 1), static_cast<int16_t>(at.h + halfSide + 1)};
  const Rect square = full.intersection(mask.bounds());
  if (square.empty()) return false;
  auto regionMap = std::make_unique<BufferImage>(kOneByte, square, kRegionTile, 0);
  const FillPredicate predicate = undecidedPredicate(keepMode);

  // Everything undecided that the square's open sides reach is connected to
  // the outside; sides cut by the image border count as closed.
  const auto floodFromSide = [&](Rect side) {
    std::vector<uint8_t> maskLine(static_cast<size_t>(side.height() * side.width()));
    mask.ReadRect(side, {maskLine.data(), 1, side.width()});
    size_t i = 0;
    for (int16_t v = side.top; v < side.bottom; ++v) {
      for (int16_t h = side.left; h < side.right; ++h, ++i) {
        if (!maskUndecided(maskLine[i], keepMode) || readByte(*regionMap, {v, h}) != 0) continue;
        regionFill(mask, *regionMap, {v, h}, predicate);
      }
    }
  };
  try {
    if (full.top == square.top) floodFromSide({square.top, square.left, static_cast<int16_t>(square.top + 1), square.right});
    if (full.bottom == square.bottom)
      floodFromSide({static_cast<int16_t>(square.bottom - 1), square.left, square.bottom, square.right});
    if (full.left == square.left) floodFromSide({square.top, square.left, square.bottom, static_cast<int16_t>(square.left + 1)});
    if (full.right == square.right)
      floodFromSide({square.top, static_cast<int16_t>(square.right - 1), square.bottom, square.right});
  } catch (const XCancel&) {
    return false;
  }

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
            if (region[h] == 0 && maskUndecided(m[h], keepMode)) {
              region[h] = m[h] ^ target;
              m[h] = target;
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
