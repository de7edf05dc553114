#include "tools/MaskBandWalk.h"

#include <optional>

#include "display/CWorkDocument.h"
#include "image/PieceIterator.h"
#include "shell/Exceptions.h"

namespace {

class BandWalk {
 public:
  BandWalk(Image& coverage, Image& mask, Image* working, CWorkDocument& document, const MaskBandBody& body,
           UntouchedCoverage untouched, bool invalidate)
      : coverage_(coverage),
        mask_(mask),
        working_(working),
        document_(document),
        body_(body),
        untouched_(untouched),
        invalidate_(invalidate) {}

  // Processes `band`; pieces that do not cover it leave remainders, which
  // are processed in turn once the locks are released (the host has one
  // buffer per stream).
  void process(const Rect& band) {
    if (band.empty()) return;
    for (;;) {
      try {
        const Rect done = processLocked(band);
        if (done.empty()) return;  // untouched coverage
        if (invalidate_) document_.InvalidateImageRect(done);
        process({done.top, done.right, done.bottom, band.right});
        process({done.bottom, band.left, band.bottom, band.right});
        return;
      } catch (const XReduce&) {
        if (band.height() < 2) throw;
        const auto middle = static_cast<int16_t>(band.top + (band.height() + 1) / 2);
        process({band.top, band.left, middle, band.right});
        process({middle, band.left, band.bottom, band.right});
        return;
      } catch (const XCancel&) {
        // The host gave up delivering this band; ask again.
      }
    }
  }

 private:
  // Returns the part of band that was processed.
  Rect processLocked(const Rect& band) {
    std::optional<StPieceLock> coverage;
    try {
      coverage.emplace(coverage_, band,
                       untouched_ == UntouchedCoverage::visit ? LockMode::write : LockMode::read);
    } catch (const XUnmapped& unmapped) {
      if (unmapped.fill() != 0) throw;
      return {};
    }
    StPieceLock mask(mask_, band, LockMode::write);
    std::optional<StPieceLock> image;
    if (working_ != nullptr) image.emplace(*working_, band, LockMode::read);

    Rect done = band.intersection(coverage->piece()).intersection(mask.piece());
    if (image) done = done.intersection(image->piece());
    body_({done, coverage->view(), mask.view(), image ? image->view() : PlaneView{}});
    return done;
  }

  Image& coverage_;
  Image& mask_;
  Image* working_;
  CWorkDocument& document_;
  const MaskBandBody& body_;
  UntouchedCoverage untouched_;
  bool invalidate_;
};

}  // namespace

void forEachMaskBand(Image& coverage, Image& mask, Image* working, CWorkDocument& document,
                     const MaskBandBody& body, UntouchedCoverage untouched, bool invalidate) {
  BandWalk walk(coverage, mask, working, document, body, untouched, invalidate);
  auto pieces = coverage.newRectIterator(coverage.bounds());
  while (!pieces->next()) walk.process(pieces->piece());
}
