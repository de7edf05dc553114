#include "tools/StrokePath.h"

#include <algorithm>
#include <cmath>

bool StrokePath::startsNewStroke(PointRing::Entry separator, const void* document) const {
  return separator.v == 0 || document != document_ || document_ == nullptr;
}

Rect StrokePath::queuedBounds(PointRing& ring, const void* document, const ToImage& toImage) const {
  double top = INFINITY, left = INFINITY, bottom = -INFINITY, right = -INFINITY;
  const auto include = [&](ImagePosition p) {
    top = std::min(top, p.v);
    left = std::min(left, p.h);
    bottom = std::max(bottom, p.v);
    right = std::max(right, p.h);
  };
  bool continues = !awaitingStart_ && document == document_;
  bool any = false;
  ring.forEachQueued([&](PointRing::Entry e) {
    if (e.isSeparator()) {
      if (startsNewStroke(e, document)) continues = false;
      return;
    }
    include(toImage(e));
    any = true;
  });
  if (!any) return {};
  if (continues) include(current_);
  const auto clampCoordinate = [](double x) { return static_cast<int16_t>(std::clamp(x, -32768.0, 32767.0)); };
  return {clampCoordinate(std::floor(top)), clampCoordinate(std::floor(left)),
          clampCoordinate(std::floor(bottom) + 1), clampCoordinate(std::floor(right) + 1)};
}

void StrokePath::walk(PointRing& ring, const void* document, double spacing, const ToImage& toImage,
                      const PlaceStamp& placeStamp) {
  while (ring.queued()) {
    const PointRing::Entry entry = ring.oldest();
    if (entry.isSeparator()) {
      if (ring.onlyOneQueued()) return;
      if (startsNewStroke(entry, document)) awaitingStart_ = true;
      ring.consume();
      continue;
    }
    const ImagePosition point = toImage(entry);
    if (awaitingStart_ || document != document_) {
      document_ = document;
      awaitingStart_ = false;
      current_ = point;
      placeStamp(current_);
      remaining_ = spacing;
      ring.consume();
      continue;
    }
    const double dv = point.v - current_.v;
    const double dh = point.h - current_.h;
    const double length = std::sqrt(dv * dv + dh * dh);
    if (length <= remaining_) {
      current_ = point;
      remaining_ -= length;
      ring.consume();
      continue;
    }
    // A stamp is due on the way to the point; the point stays queued and
    // the next stamp is due one spacing further from the same position.
    placeStamp({current_.v + dv * remaining_ / length, current_.h + dh * remaining_ / length});
    remaining_ += spacing;
  }
}
