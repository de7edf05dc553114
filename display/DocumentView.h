// What the work document needs of a view that shows it: converting an image
// rectangle to the view's window coordinates and invalidating it there.
// CImageView implements it; the document keeps its views in a list linked
// through the views themselves and owns none of them.
#pragma once

#include <cstdint>

#include "platform/Geometry.h"

class DocumentView {
 public:
  virtual ~DocumentView() = default;

  // In place: image coordinates in, window coordinates out.
  virtual void ImageToWindowRect(platform::Rect& rect) const = 0;
  virtual void InvalidateWindowRect(const platform::Rect& rect) = 0;

  // Idle time (the application's idle work): whether parts of the view wait
  // to be drawn, and drawing them until the tick count reaches the deadline.
  // DrawPendingUntil answers true when work is left.
  virtual bool HasPendingWork() const { return false; }
  virtual bool DrawPendingUntil(uint32_t /*deadline*/) { return false; }

 private:
  friend class CWorkDocument;
  DocumentView* nextView_ = nullptr;

 public:
  DocumentView* nextView() const { return nextView_; }
};
