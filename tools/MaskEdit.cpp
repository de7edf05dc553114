#include "tools/MaskEdit.h"

#include "display/CWorkDocument.h"
#include "platform/Cursor.h"
#include "tools/MaskBandWalk.h"

namespace {

// Runs `perPixel(coverage byte, mask byte, image pixel)` over every covered
// pixel of the band, row by row.
template <typename PerPixel>
void forEachCoveredPixel(const MaskBand& band, PerPixel perPixel) {
  const int32_t rows = band.rect.height();
  const int32_t columns = band.rect.width();
  for (int32_t v = 0; v < rows; ++v) {
    uint8_t* coverage = band.coverage.at(v, 0);
    uint8_t* mask = band.mask.at(v, 0);
    const uint8_t* pixel = band.image.data ? band.image.at(v, 0) : nullptr;
    for (int32_t h = 0; h < columns; ++h) {
      if (coverage[h] != 0) perPixel(coverage[h], mask[h * band.mask.colStep], pixel);
      if (pixel) pixel += band.image.colStep;
    }
  }
}

}  // namespace

void ApplyStrokeToTarget(Image& coverage, CWorkDocument& document, uint8_t target, std::vector<Rect>* bandsDone) {
  forEachMaskBand(coverage, *document.MaskImage(), nullptr, document, [target, bandsDone](const MaskBand& band) {
    forEachCoveredPixel(band, [target](uint8_t& c, uint8_t& m, const uint8_t*) {
      const uint8_t blended = blendMask(m, c, target);
      c = m ^ blended;
      m = blended;
    });
    if (bandsDone) bandsDone->push_back(band.rect);
  });
}

void ApplyStrokeClassified(Image& coverage, CWorkDocument& document, PixelFormat format,
                           std::vector<Rect>* bandsDone) {
  currentClassifier(format);
  forEachMaskBand(coverage, *document.MaskImage(), document.WorkingImage(), document,
                  [bandsDone](const MaskBand& band) {
                    forEachCoveredPixel(band, [](uint8_t& c, uint8_t& m, const uint8_t* pixel) {
                      const uint8_t blended = blendMask(m, c, classifyPixel(pixel));
                      c = m ^ blended;
                      m = blended;
                    });
                    if (bandsDone) bandsDone->push_back(band.rect);
                  });
}

void MaskDeltaRecord::applyDelta(Image& delta, CWorkDocument& document) {
  platform::WaitCursor wait;
  forEachMaskBand(delta, *document.MaskImage(), nullptr, document, [](const MaskBand& band) {
    forEachCoveredPixel(band, [](uint8_t& c, uint8_t& m, const uint8_t*) { m ^= c; });
  });
}

std::unique_ptr<Command> MaskDeltaRecord::apply(CWorkDocument& document) {
  applyDelta(*delta_, document);
  return nullptr;
}
