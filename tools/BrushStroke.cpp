#include "tools/BrushStroke.h"

#include <algorithm>
#include <cmath>

#include "display/CMaskView.h"
#include "display/CWorkDocument.h"
#include "image/BufferImage.h"
#include "image/OfflineImage.h"
#include "image/PieceIterator.h"
#include "platform/Time.h"
#include "shell/Exceptions.h"
#include "tools/MaskEdit.h"

namespace {

constexpr PixelLayout kCoverageLayout{1, 1};
constexpr Point kCoverageTile{128, 128};

struct Bounds32 {
  int32_t top, left, bottom, right;
  bool empty() const { return top >= bottom || left >= right; }
  Bounds32 intersection(const Bounds32& o) const {
    return {std::max(top, o.top), std::max(left, o.left), std::min(bottom, o.bottom), std::min(right, o.right)};
  }
  Rect rect() const {
    return {static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(bottom),
            static_cast<int16_t>(right)};
  }
};

Bounds32 bounds32(const Rect& r) { return {r.top, r.left, r.bottom, r.right}; }

// True when no byte of the image differs from 0. Tiles never written are
// 0 and are not looked at.
bool allZero(Image& image) {
  auto pieces = image.newRectIterator(image.bounds());
  while (!pieces->next()) {
    const Rect piece = pieces->piece();
    try {
      StPieceLock lock(image, piece, LockMode::read);
      for (int32_t v = 0; v < piece.height(); ++v) {
        const uint8_t* row = lock.view().at(v, 0);
        if (std::any_of(row, row + piece.width(), [](uint8_t b) { return b != 0; })) return false;
      }
    } catch (const XUnmapped& unmapped) {
      if (unmapped.fill() != 0) return false;
    }
  }
  return true;
}

// Clears every byte of the coverage outside the bands, so that it holds
// old XOR new only where the mask was changed. Tiles never written stay
// as they are: clearing takes no memory.
void keepOnlyBands(Image& coverage, const std::vector<Rect>& bands) {
  auto pieces = coverage.newRectIterator(coverage.bounds());
  std::vector<uint8_t> inBand;
  while (!pieces->next()) {
    const Rect piece = pieces->piece();
    try {
      StPieceLock probe(coverage, piece, LockMode::read);
    } catch (const XUnmapped&) {
      continue;
    }
    StPieceLock lock(coverage, piece, LockMode::write);
    inBand.assign(static_cast<size_t>(piece.width()), 0);
    for (int32_t v = piece.top; v < piece.bottom; ++v) {
      std::fill(inBand.begin(), inBand.end(), 0);
      for (const Rect& band : bands) {
        if (v < band.top || v >= band.bottom) continue;
        const int32_t from = std::max<int32_t>(band.left, piece.left), to = std::min<int32_t>(band.right, piece.right);
        for (int32_t h = from; h < to; ++h) inBand[static_cast<size_t>(h - piece.left)] = 1;
      }
      uint8_t* row = lock.view().at(v - piece.top, 0);
      for (int32_t h = 0; h < piece.width(); ++h)
        if (!inBand[static_cast<size_t>(h)]) row[h] = 0;
    }
  }
}

// The bands already changed become a record of their own. Whatever fails
// here is given up: the failure that ended the step is the one to report.
void recordPartialChange(std::unique_ptr<Image> coverage, const std::vector<Rect>& bandsDone,
                         CWorkDocument& document) noexcept {
  if (bandsDone.empty()) return;
  try {
    keepOnlyBands(*coverage, bandsDone);
    document.PushCommand(std::make_unique<MaskDeltaRecord>(std::move(coverage)));
  } catch (...) {
  }
}

// What the views collected during the step is drawn now, within the time
// of one painting slice; the rest waits for idle time.
void redrawViews(CWorkDocument& document) {
  const uint32_t deadline = platform::tickCount() + CMaskView::kPaintSlice;
  for (DocumentView* view = document.FirstView(); view != nullptr; view = view->nextView())
    if (view->HasPendingWork()) view->DrawPendingUntil(deadline);
}

}  // namespace

Rect BrushStroke::coverageBounds(CWorkDocument& document, const StrokePath::ToImage& toImage) {
  const Rect path = path_.queuedBounds(ring_, &document, toImage);
  if (path.empty()) return {};
  // Every stamp's centre rounds to a pixel inside the path's box or just
  // beyond its bottom or right edge; its rectangle reaches r1 + 1 further.
  const auto margin = static_cast<int32_t>(std::ceil(stamps_.geometry().outerRadius)) + 2;
  const Bounds32 grown{path.top - margin, path.left - margin, path.bottom + margin, path.right + margin};
  const CWorkDocument::Size size = document.GetImageSize();
  return grown.intersection({0, 0, size.height, size.width}).rect();
}

bool BrushStroke::uniteStamp(Image& coverage, ImagePosition centre) {
  const BrushStampCache::Placement at = stamps_.place(centre.v, centre.h);
  const BrushStamp& stamp = stamps_.stamp(at.phaseV, at.phaseH);
  const Bounds32 whole{at.v + stamp.rect.top, at.h + stamp.rect.left, at.v + stamp.rect.bottom,
                       at.h + stamp.rect.right};
  const Bounds32 inside = whole.intersection(bounds32(coverage.bounds()));
  if (inside.empty()) return false;
  const int32_t stampWidth = stamp.rect.width();
  auto pieces = coverage.newRectIterator(inside.rect());
  while (!pieces->next()) {
    const Rect piece = pieces->piece();
    StPieceLock lock(coverage, piece, LockMode::write);
    const Rect done = piece.intersection(lock.piece());
    for (int32_t v = done.top; v < done.bottom; ++v) {
      const uint8_t* source =
          &stamp.bytes[static_cast<size_t>((v - whole.top) * stampWidth + (done.left - whole.left))];
      UnionRows(lock.view().at(v - piece.top, 0), source, done.width());
    }
  }
  return true;
}

bool BrushStroke::step(CWorkDocument& document, const StrokePath::ToImage& toImage, const BrushSetting& setting,
                       const Apply& apply) {
  if (!ring_.snapshot()) return false;
  // A new document may lie where the last one was: the path must not take
  // it for the same one and continue a Shift stroke across.
  if (document.Serial() != document_) path_.forget();
  document_ = document.Serial();
  stamps_.configure(setting.size, setting.sizePlusEdge, setting.strength, setting.spacing);
  const double spacing = stamps_.geometry().spacing;

  const Rect bounds = coverageBounds(document, toImage);
  if (bounds.empty()) {
    // No stamp of these points can reach the image; the path still moves on.
    path_.walk(ring_, &document, spacing, toImage, [](ImagePosition) {});
    return false;
  }

  auto coverage = std::make_unique<BufferImage>(kCoverageLayout, bounds, kCoverageTile, 0);
  bool stamped = false;
  path_.walk(ring_, &document, spacing, toImage,
             [&](ImagePosition centre) { stamped = uniteStamp(*coverage, centre) || stamped; });
  if (!stamped) return false;

  std::vector<Rect> bandsDone;
  try {
    apply(*coverage, document, bandsDone);
  } catch (...) {
    recordPartialChange(std::move(coverage), bandsDone, document);
    throw;
  }
  const bool changed = !allZero(*coverage);
  if (changed) document.PushCommand(std::make_unique<MaskDeltaRecord>(std::move(coverage)));
  redrawViews(document);
  return changed;
}
