// An image view with a zoom factor. Zoom factors are normally snapped to
// whole numbers and unit fractions (..., 1/3, 1/2, 1, 2, 3, ...), so that
// every image pixel covers a whole number of window pixels or the reverse.
//
// Conversions (z the zoom, O the window base, each axis alike):
//   image to window: w = ceil((i − 1e-7) · z − O)
//   window to image: i = floor((w + 1e-7 + O) / z)
// The nudges keep exact products on the right side of the rounding: a
// window pixel on a boundary belongs to the image pixel below or right of
// it. A window rectangle converts to the image pixels it touches at all.
#pragma once

#include <memory>

#include "display/CBezierPath.h"
#include "display/CImageView.h"

class StFeedbackDC;

class CZoomView : public CImageView, public BezierPathView {
 public:
  CZoomView();
  ~CZoomView() override;
  static constexpr double kMaxZoom = 20.0;

  double Zoom() const { return zoom_; }
  bool SnapsZoom() const { return snap_; }
  void SetSnap(bool snap) { snap_ = snap; }

  // The next step in and out from z, snapped.
  static double ZoomInStep(double z);
  static double ZoomOutStep(double z);
  // Whole numbers above 1, unit fractions below.
  static double SnapZoom(double z);

  double ZoomIn() const { return ZoomInStep(zoom_); }
  double ZoomOut() const { return ZoomOutStep(zoom_); }

  // Clamps z to [1 / min(image height, width), 20] (the image never gets
  // smaller than a pixel), snaps it when snapping is on and takes it; a
  // changed content size repaints everything.
  void SetZoom(double z);
  // Zooms to z (0: the zoom at which the rectangle fits the window) with
  // the rectangle's centre at the centre of the window. A rectangle wholly
  // outside the image beeps and changes nothing. Image coordinates.
  void ZoomToRect(const platform::Rect& imageRect, double z);
  // The zoom at which the whole image fits the window, snapped.
  double FitZoom() const;
  // Zooms to z around the centre of the visible part of the image (the
  // zoom keys: twice or half the zoom, 1.0).
  void ZoomAroundCentre(double z) { ZoomToRect(VisibleImageRect(), z); }
  // Shows the whole image as large as the window allows.
  void ZoomToFit() { ZoomToRect(ImageRect(), 0); }
  // The visible area in image coordinates.
  platform::Rect VisibleImageRect() const;

  void ImageToWindowRect(platform::Rect& rect) const override;
  void ImageToWindowPoint(platform::Point& point) const override;
  void WindowToImageRect(platform::Rect& rect) const override;
  void WindowToImagePoint(platform::Point& point) const override;

  // Drawing of the pen's path, by inversion through the feedback kit.
  double zoom() const override { return zoom_; }
  platform::Point windowOffset() const override { return WindowBase(); }
  void invertRect(const platform::Rect& rect) override;
  void moveTo(platform::Point point) override;
  void lineTo(platform::Point point) override;
  void beginDrawing() override;
  void endDrawing() override;

 protected:
  platform::Size ContentForImage(int32_t height, int32_t width) const override;

 private:
  int32_t ToWindow(int32_t image, int32_t base) const;
  int32_t ToImage(int32_t window, int32_t base) const;

  double zoom_ = 1.0;
  bool snap_ = true;
  platform::Point pathPosition_;
  // The context an edit of the path draws through, and how deep in
  // beginDrawing the edit is.
  std::unique_ptr<StFeedbackDC> pathDrawing_;
  int pathDrawingDepth_ = 0;
};
