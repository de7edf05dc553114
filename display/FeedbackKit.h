// The small drawing kit tools draw their feedback with: rubber bands,
// outlines and pattern fills over a view, mostly in inverting mode so that
// drawing a figure twice restores the screen.
//
// One device context is current at a time. While a view paints, the view
// makes its own current; otherwise opening the kit for a view creates a
// client device context with the view's origin (window coordinates), which
// is released when the opener ends.
#pragma once

#include <memory>

#include "platform/DeviceContext.h"
#include "platform/Geometry.h"

class CImageView;

// Monochrome 2 × 2 patterns, as bitmap resources.
enum FeedbackPattern : int {
  kPatternChecker = 135,       // one pixel set per row, alternating
  kPatternQuarter = 136,       // one pixel of four
  kPatternThreeQuarters = 137, // three pixels of four
  kPatternSolid = 138,         // all four
};

// The current feedback context, or null.
platform::DeviceContext* CurrentFeedbackDC();
// The view the current context draws into, or null.
CImageView* CurrentFeedbackView();

// Makes a feedback context current for `view` for its lifetime: the one
// given, or (without one) the current context when it already draws into
// this view, or else a new client context. The previous one comes back
// afterwards.
class StFeedbackDC {
 public:
  explicit StFeedbackDC(CImageView& view);
  StFeedbackDC(CImageView& view, platform::DeviceContext& dc);
  ~StFeedbackDC();
  StFeedbackDC(const StFeedbackDC&) = delete;
  StFeedbackDC& operator=(const StFeedbackDC&) = delete;

  platform::DeviceContext& dc() { return *dc_; }
  bool opened() const { return owned_ != nullptr; }

 private:
  void makeCurrent(CImageView& view, platform::DeviceContext& dc);
  std::unique_ptr<platform::DeviceContext> owned_;
  platform::DeviceContext* dc_ = nullptr;
  platform::DeviceContext* previousDC_ = nullptr;
  CImageView* previousView_ = nullptr;
};

// Inverting mode for its lifetime: each drawn pixel inverts the screen.
// The previous raster operation and colours come back afterwards.
class StInvertMode {
 public:
  explicit StInvertMode(platform::DeviceContext& dc);
  ~StInvertMode();
  StInvertMode(const StInvertMode&) = delete;
  StInvertMode& operator=(const StInvertMode&) = delete;

 private:
  platform::DeviceContext& dc_;
  int rop_;
  platform::Pen pen_;
  platform::Colour text_;
  platform::Colour bk_;
};

// Primitives in window coordinates, with a solid one-pixel pen in the
// current pen colour.
void FeedbackMoveTo(platform::DeviceContext& dc, platform::Point p);
void FeedbackLineTo(platform::DeviceContext& dc, platform::Point p);
void FeedbackRectangle(platform::DeviceContext& dc, const platform::Rect& r);
void FeedbackEllipse(platform::DeviceContext& dc, const platform::Rect& r);
// Fills with the current pattern (no pen).
void FeedbackFillRect(platform::DeviceContext& dc, const platform::Rect& r);
// Chooses the pattern by resource number.
void SelectFeedbackPattern(platform::DeviceContext& dc, int pattern);
// The pattern bitmaps (registered as resources when the library loads).
platform::Bitmap FeedbackPatternBitmap(int pattern);
