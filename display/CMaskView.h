// The view that shows the document's image with the mask over it: the work
// window's main view and each navigator's view derive from it.
//
// Changed areas are collected in a pending region (window coordinates) and
// drawn piece by piece in time slices: at most one piece overruns the
// deadline, the rest stays pending for the next slice (idle time or the
// next paint).
//
// The first mask view that is created makes the single work document; the
// last one that goes deletes it.
#pragma once

#include <cstdint>

#include "display/CZoomView.h"
#include "image/Image.h"
#include "platform/DeviceContext.h"
#include "platform/Region.h"

class CMaskView : public CZoomView {
 public:
  // Painting slices last at most this long (milliseconds).
  static constexpr uint32_t kPaintSlice = 200;

  CMaskView();
  ~CMaskView() override;

  // The single work document, null while no mask view exists.
  static CWorkDocument* WorkDocument();
  // The work window's view (navigators outline its visible area and steer
  // it, idle time goes to it first); null when there is none. It is the
  // document's main view.
  static CMaskView* MainView();
  static void SetMainView(CMaskView* view);

  // Creates the view as a visible child of `parent` with the given client
  // rectangle and attaches it to the work document (creating that when it
  // is the first).
  bool CreateView(platform::Window& parent, const platform::Rect& rect, int id);

  // Adds the rectangle (clamped to 16 bits) to the pending region.
  void InvalidateWindowRect(const platform::Rect& rect) override;
  void PaintRegion(const platform::Region& region) override;
  void OnFocusLost() override;
  // The navigator draws the main view's visible area here.
  virtual void DrawFeedbackOverlay() {}
  // Outlines an image area by inversion with a frame two pixels thick just
  // outside it, each side kept at least two pixels inside the window (the
  // navigator's box); drawing it again erases it.
  void InvertAreaFrame(const platform::Rect& imageArea);
  // Draws the region (window coordinates) until it is done or the deadline
  // (tick count) has passed; what is drawn leaves the region. True when it
  // stopped at the deadline with something left.
  virtual bool DrawPending(platform::Region& region, uint32_t deadline);

  // Idle work: draws the pending region until the deadline; true when
  // something is still pending.
  bool DrawIdle(uint32_t deadline);
  bool HasPendingWork() const override { return !pending_.isEmpty(); }
  bool DrawPendingUntil(uint32_t deadline) override { return DrawIdle(deadline); }
  const platform::Region& PendingRegion() const { return pending_; }
  // Everything visible becomes pending and is painted at the next paint.
  void Repaint();

  // ---- Display state ----
  // 0: the composite; n > 0: input plane n − 1 alone, as grey.
  int32_t ShownChannel() const { return shownChannel_; }
  void SetShownChannel(int32_t channel);
  // 0: the image with the mask; 1: the mask being edited as grey; 2: the
  // document's original coverage (the input's last plane) as grey.
  int32_t DisplayMode() const { return displayMode_; }
  void SetDisplayMode(int32_t mode);
  bool FirstCoverage() const { return firstCoverage_; }
  bool SecondCoverage() const { return secondCoverage_; }
  void SetCoverage(bool first, bool second);
  // How strongly the mask covers the image: 255 fully, 0 not at all.
  uint8_t OverlayOpacity() const { return opacity_; }
  void SetOverlayOpacity(uint8_t opacity);
  // The grey-mask tone curve's midpoint: the coverage shown as middle grey.
  uint8_t GreyMidpoint() const { return greyMidpoint_; }
  void SetGreyMidpoint(uint8_t value);

  // The piece plan for a zoom: magnifying by `factor` with pieces of
  // `size` image pixels, or reducing by `factor` with pieces of `size`
  // reduced pixels.
  struct PiecePlan {
    bool reducing;
    int32_t factor;
    int32_t size;
  };
  static PiecePlan PlanFor(double zoom);

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void WindowBaseMoved(int32_t dx, int32_t dy) override;

  // Hands one piece to the host's display service, restores the feedback
  // over it and takes it out of the region.
  void BlitPiece(const platform::Rect& windowRect, const uint8_t* image, int32_t imageRowBytes,
                 const PixelLayout& layout, const uint8_t* mask, int32_t maskRowBytes,
                 platform::Region& region);
  // Removes what lies outside the content from the region, redrawing the
  // feedback there (the background painting drew the rest).
  void DrawOutside(platform::Region& region);

 private:
  struct Band;
  // Draws the pending region and `region` until the deadline; the undrawn
  // rest stays pending, also when drawing throws.
  void DrawSlice(const platform::Region& region, uint32_t deadline);
  void DrawBand(const Band& band, platform::Region& region);
  void DrawPieceInBands(const platform::Rect& piece, const PiecePlan& plan, platform::Region& region);
  bool WithoutImage() const;
  // Draws the document's path again inside `area` (window coordinates)
  // when this view shows it; the clipping is the caller's.
  void RedrawPath(const platform::Rect& area);
  void JoinDocument();
  void LeaveDocument();

  platform::Region pending_;
  int32_t shownChannel_ = 0;
  int32_t displayMode_ = 0;
  bool firstCoverage_ = false;
  bool secondCoverage_ = true;
  uint8_t opacity_ = 255;
  uint8_t greyMidpoint_ = 128;
};
