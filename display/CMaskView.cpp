#include "display/CMaskView.h"

#include <algorithm>
#include <memory>
#include <new>

#include "display/CTool.h"
#include "display/CWorkDocument.h"
#include "display/FeedbackKit.h"
#include "image/HostImage.h"
#include "image/OfflineImage.h"
#include "platform/Time.h"
#include "shell/ErrorRecord.h"
#include "shell/Exceptions.h"
#include "shell/PlugIn.h"

// How the display settings enter the drawing:
//  - display mode 0 shows the image with the chosen coverage (the mask being
//    written when the second flag is set, else the document's original
//    coverage) as its mask; mode 1 shows the chosen coverage as grey, mode 2
//    the original coverage (the input's last plane) as grey, so that the
//    edit can be compared with what the document had;
//  - the overlay opacity scales how much the mask hides: a coverage c is
//    handed to the host as 255 − (255 − c) × opacity / 255, so 255 shows the
//    mask as it is and 0 shows the whole image;
//  - the one-value display setting is the grey-mask mode's midpoint: the
//    coverage that is shown as middle grey (128 by default, which leaves the
//    coverage unchanged); lower values brighten partial coverage, higher
//    ones darken it, which makes faint edges easier to judge.

namespace {

std::unique_ptr<CWorkDocument> gDocument;
int gAttachedViews = 0;

// A host that keeps cancelling the same band would otherwise be asked
// forever.
constexpr int kCancelRetries = 8;

bool deadlineReached(uint32_t deadline) {
  return static_cast<int32_t>(platform::tickCount() - deadline) >= 0;
}

int32_t ceilDiv(int32_t a, int32_t b) { return (a + b - 1) / b; }

::Rect toImageRect(const platform::Rect& r) {
  return {static_cast<int16_t>(r.top), static_cast<int16_t>(r.left), static_cast<int16_t>(r.bottom),
          static_cast<int16_t>(r.right)};
}

int32_t clamp16(int32_t v) { return std::clamp<int32_t>(v, -32768, 32767); }

// Copies rows x columns pixels of `image` at `rect` (rect in the image's
// own coordinates; a reduced image delivers it k times smaller) into buf.
void fetch(Image& image, const ::Rect& rect, int32_t rows, int32_t rowBytes, uint8_t* buffer, int32_t bufferRowStep) {
  StPieceLock lock(image, rect, LockMode::read);
  CopyRowsOut(lock.view(), rows, rowBytes, buffer, bufferRowStep);
}

}  // namespace

struct CMaskView::Band {
  platform::Rect image;  // image coordinates, full resolution
  PiecePlan plan;
};

CMaskView::CMaskView() = default;

CMaskView::~CMaskView() {
  if (exists()) destroy();
  LeaveDocument();
}

void CMaskView::JoinDocument() {
  if (Document() != nullptr) return;
  if (gDocument == nullptr) gDocument = std::make_unique<CWorkDocument>();
  ++gAttachedViews;
  AttachDocument(gDocument.get());
}

// The last view to go takes the document, and its history, with it.
void CMaskView::LeaveDocument() {
  if (Document() == nullptr) return;
  if (Document()->PathView() == this) Document()->SetPathView(nullptr);
  DetachDocument();
  if (--gAttachedViews == 0) {
    gDocument.reset();
  }
}

CWorkDocument* CMaskView::WorkDocument() { return gDocument.get(); }
CMaskView* CMaskView::MainView() {
  return gDocument != nullptr ? dynamic_cast<CMaskView*>(gDocument->MainView()) : nullptr;
}

// The pen's path is drawn in the main view.
void CMaskView::SetMainView(CMaskView* view) {
  if (gDocument == nullptr) return;
  gDocument->SetMainView(view);
  gDocument->SetPathView(view);
}

bool CMaskView::CreateView(platform::Window& parent, const platform::Rect& rect, int id) {
  platform::CreateParams params;
  params.style = platform::kWsChild | platform::kWsVisible;
  params.parent = &parent;
  params.rect = rect;
  params.id = id;
  return create(params);
}

intptr_t CMaskView::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case platform::kWmCreate:
      JoinDocument();
      if (gFilterRecord != nullptr) OnImageSizeChanged();
      break;
    case platform::kWmDestroy:
      EndTrackingIn(*this);
      LeaveDocument();
      break;
    default:
      break;
  }
  return CZoomView::handleMessage(message, wParam, lParam);
}

// ---- Pending region ----

void CMaskView::InvalidateWindowRect(const platform::Rect& rect) {
  const platform::Rect clamped{clamp16(rect.left), clamp16(rect.top), clamp16(rect.right), clamp16(rect.bottom)};
  if (!clamped.isEmpty()) pending_.unite(clamped);
}

void CMaskView::WindowBaseMoved(int32_t dx, int32_t dy) { pending_.offset(dx, dy); }

void CMaskView::PaintRegion(const platform::Region& region) {
  DrawSlice(region, platform::tickCount() + kPaintSlice);
}

bool CMaskView::DrawIdle(uint32_t deadline) {
  if (pending_.isEmpty()) return false;
  DrawSlice(platform::Region(), deadline);
  return !pending_.isEmpty();
}

void CMaskView::DrawSlice(const platform::Region& region, uint32_t deadline) {
  platform::Region work = pending_;
  pending_.setEmpty();
  work.unite(region);
  // Whatever is left undrawn goes back, also when drawing throws.
  struct Restore {
    platform::Region& pending;
    platform::Region& work;
    ~Restore() { pending.unite(work); }
  } restore{pending_, work};
  DrawPending(work, deadline);
}

void CMaskView::Repaint() {
  if (exists()) invalidate(false);
}

void CMaskView::OnFocusLost() { EndTrackingIn(*this); }

void CMaskView::InvertAreaFrame(const platform::Rect& imageArea) {
  platform::Rect r = imageArea;
  ImageToWindowRect(r);
  const platform::Rect window = VisibleWindowRect();
  r.left = std::max(r.left, window.left + 2);
  r.top = std::max(r.top, window.top + 2);
  r.right = std::min(r.right, window.right - 2);
  r.bottom = std::min(r.bottom, window.bottom - 2);
  StFeedbackDC kit(*this);
  StInvertMode invert(kit.dc());
  FeedbackRectangle(kit.dc(), {r.left - 1, r.top - 1, r.right + 1, r.bottom + 1});
  FeedbackRectangle(kit.dc(), {r.left - 2, r.top - 2, r.right + 2, r.bottom + 2});
}

// ---- Display state ----

void CMaskView::SetShownChannel(int32_t channel) {
  if (channel == shownChannel_) return;
  shownChannel_ = channel;
  Repaint();
}

void CMaskView::SetDisplayMode(int32_t mode) {
  if (mode == displayMode_) return;
  displayMode_ = mode;
  Repaint();
}

void CMaskView::SetCoverage(bool first, bool second) {
  if (first == firstCoverage_ && second == secondCoverage_) return;
  firstCoverage_ = first;
  secondCoverage_ = second;
  Repaint();
}

void CMaskView::SetOverlayOpacity(uint8_t opacity) {
  if (opacity == opacity_) return;
  opacity_ = opacity;
  Repaint();
}

void CMaskView::SetGreyMidpoint(uint8_t value) {
  if (value == greyMidpoint_) return;
  greyMidpoint_ = value;
  Repaint();
}

// ---- Drawing ----

CMaskView::PiecePlan CMaskView::PlanFor(double zoom) {
  if (zoom > 0.99) {
    const int32_t f = static_cast<int32_t>(zoom + 0.5);
    return {false, f, f == 1 ? 128 : 256 / f};
  }
  const int32_t n = static_cast<int32_t>(1.0 / zoom + 0.5);
  return {true, n, std::max(256 / n, 32)};
}

bool CMaskView::WithoutImage() const {
  return gFilterRecord == nullptr || gFilterRecord->displayPixels == nullptr || Document() == nullptr ||
         ImageRect().isEmpty();
}

void CMaskView::DrawOutside(platform::Region& region) {
  const platform::Size content = ContentSize();
  const platform::Point base = WindowBase();
  const platform::Rect inside =
      platform::Rect{0, 0, std::min(content.cx, 32767), std::min(content.cy, 32767)}.offsetBy(-base.x, -base.y);
  platform::Region outside = region;
  outside.subtract(inside);
  if (outside.isEmpty()) return;
  region.subtract(outside);
  platform::DeviceContext* dc = CurrentFeedbackDC();
  if (dc == nullptr) return;
  const platform::Rect outsideBox = outside.boundingBox();
  const platform::Point origin = dc->viewportOrigin();
  outside.offset(origin.x, origin.y);
  dc->selectClipRegion(&outside);
  RedrawFeedback(*this);
  RedrawPath(outsideBox);
  dc->selectClipRegion(nullptr);
}

void CMaskView::RedrawPath(const platform::Rect& area) {
  CWorkDocument* document = Document();
  if (document != nullptr && document->PathView() == this) document->Path().DrawWithin(*this, area);
}

bool CMaskView::DrawPending(platform::Region& region, uint32_t deadline) {
  StFeedbackDC kit(*this);
  DrawOutside(region);
  if (region.isEmpty()) return false;
  if (WithoutImage()) {
    region.setEmpty();
    return false;
  }
  const PiecePlan plan = PlanFor(Zoom());
  const int32_t unit = plan.reducing ? plan.factor : 1;
  const int32_t cell = plan.size * unit;

  platform::Rect box = region.boundingBox();
  WindowToImageRect(box);
  box = box.intersected(ImageRect());
  // Reduced pieces start on multiples of the reduction.
  box.top = floorDiv(box.top, unit) * unit;
  box.left = floorDiv(box.left, unit) * unit;

  for (int32_t top = floorDiv(box.top, cell) * cell; top < box.bottom; top += cell) {
    for (int32_t left = floorDiv(box.left, cell) * cell; left < box.right; left += cell) {
      const platform::Rect piece = platform::Rect{left, top, left + cell, top + cell}.intersected(box);
      if (piece.isEmpty()) continue;
      platform::Rect window = piece;
      ImageToWindowRect(window);
      if (!region.intersects(window)) continue;
      DrawPieceInBands(piece, plan, region);
      if (deadlineReached(deadline) && !region.isEmpty()) return true;
    }
  }
  region.setEmpty();
  return false;
}

void CMaskView::DrawPieceInBands(const platform::Rect& piece, const PiecePlan& plan, platform::Region& region) {
  const int32_t unit = plan.reducing ? plan.factor : 1;
  platform::Rect band = piece;
  int cancels = 0;
  // Halves the band's height (in units of the reduction); false at one row.
  auto halve = [&] {
    const int32_t rows = ceilDiv(band.height(), unit);
    if (rows < 2) return false;
    band.bottom = band.top + rows / 2 * unit;
    return true;
  };
  while (band.top < piece.bottom) {
    try {
      DrawBand({band, plan}, region);
    } catch (const XReduce&) {
      if (!halve()) throw;
      continue;
    } catch (const std::bad_alloc&) {
      clearErrors();
      if (!halve()) throw;
      continue;
    } catch (const XCancel&) {
      if (++cancels >= kCancelRetries) throw;
      continue;
    }
    cancels = 0;
    band = {piece.left, band.bottom, piece.right, piece.bottom};
  }
}

void CMaskView::DrawBand(const Band& band, platform::Region& region) {
  const PiecePlan& plan = band.plan;
  const int32_t n = plan.reducing ? plan.factor : 1;
  const int32_t f = plan.reducing ? 1 : plan.factor;
  const int32_t rows = ceilDiv(band.image.height(), n), columns = ceilDiv(band.image.width(), n);
  const int32_t outRows = rows * f, outColumns = columns * f;
  const ::Rect wanted = toImageRect(band.image);
  const int16_t lastPlane = static_cast<int16_t>(gFilterRecord->planes - 1);
  const PixelLayout onePlane{1, 1};

  const bool grey = displayMode_ != 0;
  const bool original = displayMode_ == 2 || (!secondCoverage_ && (grey || firstCoverage_));
  const bool withCoverage = grey || firstCoverage_ || secondCoverage_;

  std::unique_ptr<uint8_t[]> image;
  PixelLayout layout = onePlane;
  if (!grey) {
    layout = shownChannel_ == 0 ? PixelLayout{gColourChannels, gImageMode} : onePlane;
    const int16_t plane = static_cast<int16_t>(shownChannel_ == 0 ? 0 : shownChannel_ - 1);
    image.reset(new uint8_t[static_cast<size_t>(outRows) * outColumns * layout.bytesPerPixel]);
    // The colour channels are the document's first planes in the absolute
    // numbering whatever the target; the input stream holds them only when
    // the target is the composite or the transparency (for an alpha channel
    // or a layer mask it holds the target alone).
    const bool absolute = gFilterRecord->supportsAbsolute != 0;
    HostImage source(layout, plane, HostStream::input, absolute, static_cast<int16_t>(n));
    fetch(source, wanted, rows, columns * layout.bytesPerPixel, image.get(), outColumns * layout.bytesPerPixel);
  }

  std::unique_ptr<uint8_t[]> coverage;
  if (withCoverage) {
    coverage.reset(new uint8_t[static_cast<size_t>(outRows) * outColumns]);
    if (original) {
      HostImage source(onePlane, lastPlane, HostStream::input, false, static_cast<int16_t>(n));
      fetch(source, wanted, rows, columns, coverage.get(), outColumns);
    } else if (n == 1) {
      HostImage source(onePlane, lastPlane, HostStream::output);
      fetch(source, wanted, rows, columns, coverage.get(), outColumns);
    } else {
      // The host does not reduce its output: take every n-th pixel of the
      // whole piece straight from the host's buffer.
      HostImage source(onePlane, lastPlane, HostStream::output);
      StPieceLock lock(source, wanted, LockMode::read);
      ZoomOutPlane(lock.view(), band.image.height(), band.image.width(), n, PlaneView{coverage.get(), 1, outColumns});
    }
  }

  if (f > 1) {
    if (image)
      ZoomInPlane(PlaneView{image.get(), layout.bytesPerPixel, outColumns * layout.bytesPerPixel}, rows, columns, f);
    if (coverage) ZoomInPlane(PlaneView{coverage.get(), 1, outColumns}, rows, columns, f);
  }

  // Tone the coverage: the grey curve in grey-mask mode, the opacity over
  // the image.
  uint8_t tone[256];
  bool identity = true;
  for (int c = 0; c < 256; ++c) {
    int v = c;
    if (grey) {
      const int mid = std::clamp<int>(greyMidpoint_, 1, 254);
      v = c <= mid ? c * 128 / mid : 128 + (c - mid) * 127 / (255 - mid);
    } else {
      v = 255 - ((255 - c) * opacity_ + 127) / 255;
    }
    tone[c] = static_cast<uint8_t>(v);
    identity = identity && v == c;
  }
  if (coverage && !identity) {
    uint8_t* p = coverage.get();
    for (size_t i = 0, count = static_cast<size_t>(outRows) * outColumns; i < count; ++i) p[i] = tone[p[i]];
  }

  platform::Rect window = band.image;
  ImageToWindowRect(window);
  window.right = std::min(window.right, window.left + outColumns);
  window.bottom = std::min(window.bottom, window.top + outRows);
  if (grey)
    BlitPiece(window, coverage.get(), outColumns, onePlane, nullptr, 0, region);
  else
    BlitPiece(window, image.get(), outColumns * layout.bytesPerPixel, layout, coverage.get(), outColumns, region);
}

void CMaskView::BlitPiece(const platform::Rect& windowRect, const uint8_t* image, int32_t imageRowBytes,
                          const PixelLayout& layout, const uint8_t* mask, int32_t maskRowBytes,
                          platform::Region& region) {
  platform::DeviceContext* dc = CurrentFeedbackDC();
  if (windowRect.isEmpty() || dc == nullptr) {
    region.subtract(windowRect);
    return;
  }
  HostPixelMask maskRecord{nullptr, const_cast<uint8_t*>(mask), maskRowBytes, 1, 0};
  HostPixelMap map{};
  map.version = 1;
  map.bounds = {windowRect.top, windowRect.left, windowRect.bottom, windowRect.right};
  map.imageMode = layout.imageMode;
  map.rowBytes = imageRowBytes;
  map.colBytes = layout.bytesPerPixel;
  map.planeBytes = 1;
  map.baseAddr = const_cast<uint8_t*>(image);
  map.mat = nullptr;
  map.masks = mask != nullptr ? &maskRecord : nullptr;
  map.maskPhaseRow = mask != nullptr ? windowRect.top : 0;
  map.maskPhaseCol = mask != nullptr ? windowRect.left : 0;
  const HostRect32 source = map.bounds;
  // A refusal of the display service leaves the old pixels; there is
  // nothing the user could do about it, and asking again would not help.
  (void)gFilterRecord->displayPixels(&map, &source, windowRect.top, windowRect.left, dc);

  const platform::Point origin = dc->viewportOrigin();
  const platform::Region clip(windowRect.offsetBy(origin.x, origin.y));
  dc->selectClipRegion(&clip);
  RedrawFeedback(*this);
  RedrawPath(windowRect);
  if (CMaskView* main = MainView(); main != nullptr && main->Document() == Document()) DrawFeedbackOverlay();
  dc->selectClipRegion(nullptr);
  region.subtract(windowRect);
}
