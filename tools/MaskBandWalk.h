// The one walk every mask edit uses: the coverage image of the edit, the
// mask and (for the magic tools) the working image, locked together band by
// band, so that no tool does tile arithmetic of its own.
#pragma once

#include <functional>

#include "image/Image.h"

class CWorkDocument;

// One band of an edit, in image coordinates; every view starts at the
// band's top-left.
struct MaskBand {
  Rect rect;
  PlaneView coverage;  // one byte per pixel; the edit may write it
  PlaneView mask;      // one byte per pixel, locked for writing
  PlaneView image;     // the working image's pixels; null data when not asked for
};

using MaskBandBody = std::function<void(const MaskBand&)>;

enum class UntouchedCoverage {
  skip,   // bands whose coverage was never written are left out
  visit,  // every band is visited; the coverage is locked for writing
};

// Calls body for the whole of the coverage image's bounds, piece by piece.
// When a lock asks for a smaller piece the band is halved down to one row;
// when the host reports a cancel while delivering, the band is tried again.
// Every band done is invalidated in the document's views when `invalidate`.
void forEachMaskBand(Image& coverage, Image& mask, Image* working, CWorkDocument& document,
                     const MaskBandBody& body, UntouchedCoverage untouched = UntouchedCoverage::skip,
                     bool invalidate = true);
