// Follows the pointer's path through the queued samples and says where the
// brush stamps go: one at the start of every stroke, then one every J
// pixels along the path, carrying the remaining distance from one stroke
// step to the next.
#pragma once

#include <functional>

#include "image/Geometry.h"
#include "tools/PointRing.h"

struct ImagePosition {
  double v, h;
};

class StrokePath {
 public:
  using ToImage = std::function<ImagePosition(PointRing::Entry)>;
  using PlaceStamp = std::function<void(ImagePosition)>;

  // The bounding box, in image pixels (rounded outwards), of the path the
  // queued entries will walk: the queued points and, when the path goes on
  // from an earlier step, its current position. Empty when nothing is queued.
  Rect queuedBounds(PointRing& ring, const void* document, const ToImage& toImage) const;

  // Consumes the queued entries of the ring's snapshot, calling placeStamp
  // for every stamp due. A separator without Shift, or any separator when
  // the document changed, starts a new stroke at the point after it; with
  // Shift the path goes on in a straight line from where the last stroke
  // ended. A separator that is the newest entry stays queued: the next
  // press still has to tell whether Shift was held.
  void walk(PointRing& ring, const void* document, double spacing, const ToImage& toImage,
            const PlaceStamp& placeStamp);

  // Forgets where the last stroke ended: the next point starts a stroke
  // even after a Shift press (its document is gone).
  void forget() {
    document_ = nullptr;
    awaitingStart_ = true;
  }

 private:
  bool startsNewStroke(PointRing::Entry separator, const void* document) const;

  ImagePosition current_{0, 0};
  double remaining_ = 0;
  const void* document_ = nullptr;
  bool awaitingStart_ = true;  // the next point starts a stroke
};
