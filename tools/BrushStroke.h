// The stroke pipeline the painting tools share: the point ring that the
// sampling thread fills, the path through the queued points, the brush
// stamps, and the stroke step that turns the points queued so far into one
// change of the mask with one undo record.
//
// A step unites the stamps due along the path into a fresh coverage image
// (one byte per pixel, 128 × 128 tiles, untouched tiles cost nothing), has
// the tool blend the mask under it, and keeps the coverage, which then
// holds old XOR new, as a MaskDeltaRecord in the document's history.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "image/Geometry.h"
#include "tools/BrushStamps.h"
#include "tools/PointRing.h"
#include "tools/StrokePath.h"

class CWorkDocument;
class Image;

// What a step paints with: the brush pair (size s, size plus edge e), the
// strength and the stamp spacing setting H.
struct BrushSetting {
  int size = 64;
  int sizePlusEdge = 192;
  int32_t strength = kFullBrushStrength;
  int spacing = kDefaultStampSpacing;
};

class BrushStroke {
 public:
  // The tool's part of a step: blends the mask under the coverage, leaves
  // old XOR new in it, and adds every band it finished to `bandsDone`.
  using Apply = std::function<void(Image& coverage, CWorkDocument& document, std::vector<Rect>& bandsDone)>;

  PointRing& ring() { return ring_; }
  // Drops the points not yet painted (a stroke cancelled before they
  // were). Only while no sampling thread writes the ring.
  void dropQueued() { ring_.reset(); }

  // One stroke step over the points queued so far (toImage converts a
  // ring entry to image coordinates). True when the mask changed and an
  // undo record was added.
  //
  // A step that changes nothing adds no record, so every Undo undoes
  // something. When the tool's blending fails part way, the bands already
  // changed still become a record (so that undoing earlier strokes stays
  // exact) and the failure passes on.
  bool step(CWorkDocument& document, const StrokePath::ToImage& toImage, const BrushSetting& setting,
            const Apply& apply);

 private:
  // The coverage image for the path about to be walked: its bounding box
  // grown by the stamps' reach, inside the image. Empty when nothing of
  // the path's stamps can reach the image.
  Rect coverageBounds(CWorkDocument& document, const StrokePath::ToImage& toImage);
  // Unites the stamp centred at `centre` into the coverage; false when
  // none of it lies inside.
  bool uniteStamp(Image& coverage, ImagePosition centre);

  PointRing ring_;
  StrokePath path_;
  BrushStampCache stamps_;
  uint64_t document_ = 0;  // serial of the document painted in last
};
