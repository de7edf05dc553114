#include "display/CZoomView.h"

#include <algorithm>
#include <cmath>

#include "display/FeedbackKit.h"
#include "platform/MessageBox.h"

namespace {

constexpr double kNudge = 0.0000001;
// Below the golden ratio's inverse a step in changes the denominator; at
// or above it the zoom grows by one (and likewise out from the ratio).
constexpr double kStepInLimit = 0.6180339887498949;
constexpr double kStepOutLimit = 1.618033988749895;

}  // namespace

double CZoomView::SnapZoom(double z) {
  z += kNudge;
  return z < 1.0 ? 1.0 / std::ceil(1.0 / z) : std::floor(z);
}

double CZoomView::ZoomInStep(double z) { return SnapZoom(z >= kStepInLimit ? z + 1.0 : 1.0 / (1.0 / z - 1.0)); }

double CZoomView::ZoomOutStep(double z) { return SnapZoom(z >= kStepOutLimit ? z - 1.0 : 1.0 / (1.0 / z + 1.0)); }

int32_t CZoomView::ToWindow(int32_t image, int32_t base) const {
  return static_cast<int32_t>(std::ceil((image - kNudge) * zoom_ - base));
}

int32_t CZoomView::ToImage(int32_t window, int32_t base) const {
  return static_cast<int32_t>(std::floor((window + kNudge + base) / zoom_));
}

void CZoomView::ImageToWindowPoint(platform::Point& point) const {
  const platform::Point base = WindowBase();
  point = {ToWindow(point.x, base.x), ToWindow(point.y, base.y)};
}

void CZoomView::ImageToWindowRect(platform::Rect& rect) const {
  const platform::Point base = WindowBase();
  rect = {ToWindow(rect.left, base.x), ToWindow(rect.top, base.y), ToWindow(rect.right, base.x),
          ToWindow(rect.bottom, base.y)};
}

void CZoomView::WindowToImagePoint(platform::Point& point) const {
  const platform::Point base = WindowBase();
  point = {ToImage(point.x, base.x), ToImage(point.y, base.y)};
}

void CZoomView::WindowToImageRect(platform::Rect& rect) const {
  const platform::Point base = WindowBase();
  rect = {ToImage(rect.left, base.x), ToImage(rect.top, base.y), ToImage(rect.right - 1, base.x) + 1,
          ToImage(rect.bottom - 1, base.y) + 1};
}

platform::Size CZoomView::ContentForImage(int32_t height, int32_t width) const {
  return {static_cast<int32_t>(std::ceil((width - kNudge) * zoom_)),
          static_cast<int32_t>(std::ceil((height - kNudge) * zoom_))};
}

void CZoomView::SetZoom(double z) {
  const platform::Rect image = ImageRect();
  const int32_t shortest = std::min(image.height(), image.width());
  z = std::min(z, kMaxZoom);
  if (shortest > 0) z = std::max(z, 1.0 / shortest);
  if (!(z > 0)) z = 1.0;
  if (snap_) z = SnapZoom(z);
  if (z == zoom_ && ContentSize() == ContentForImage(image.height(), image.width())) return;
  StVisibleChange change(*this);
  zoom_ = z;

  platform::Rect converted = image;
  ImageToWindowRect(converted);
  const platform::Size size{converted.width(), converted.height()};
  if (size != ContentSize()) {
    SetContentSize(size);
    UpdateScrollBars();
    // Keep the visible rectangle inside (or centred on) the new content.
    ScrollTo(VisibleRect(), false);
    if (exists()) invalidate(true);
  }
}

double CZoomView::FitZoom() const {
  const platform::Rect image = ImageRect();
  if (image.isEmpty()) return 1.0;
  const platform::Rect client = clientRect();
  const double z = std::min(static_cast<double>(client.height()) / image.height(),
                            static_cast<double>(client.width()) / image.width());
  return SnapZoom(std::clamp(z, 1.0 / std::min(image.height(), image.width()), kMaxZoom));
}

platform::Rect CZoomView::VisibleImageRect() const {
  platform::Rect r = VisibleWindowRect();
  WindowToImageRect(r);
  return r;
}

void CZoomView::ZoomToRect(const platform::Rect& imageRect, double z) {
  const platform::Rect rect = imageRect.intersected(ImageRect());
  if (rect.isEmpty()) {
    platform::messageBeep(0);
    return;
  }
  StVisibleChange change(*this);
  const platform::Rect visible = VisibleRect();
  if (z == 0)
    z = std::min(static_cast<double>(visible.height()) / rect.height(),
                 static_cast<double>(visible.width()) / rect.width());
  SetZoom(z);
  platform::Point centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ImageToWindowPoint(centre);
  const platform::Point base = WindowBase();
  const int32_t left = centre.x + base.x - visible.width() / 2;
  const int32_t top = centre.y + base.y - visible.height() / 2;
  ScrollTo({left, top, left + visible.width(), top + visible.height()}, true);
}

// ---- The pen's path ----

void CZoomView::invertRect(const platform::Rect& rect) {
  StFeedbackDC kit(*this);
  kit.dc().invertRect(rect);
}

CZoomView::CZoomView() = default;
CZoomView::~CZoomView() = default;

void CZoomView::beginDrawing() {
  if (pathDrawingDepth_ == 0) pathDrawing_ = std::make_unique<StFeedbackDC>(*this);
  ++pathDrawingDepth_;
}

void CZoomView::endDrawing() {
  if (--pathDrawingDepth_ == 0) pathDrawing_.reset();
}

void CZoomView::moveTo(platform::Point point) { pathPosition_ = point; }

void CZoomView::lineTo(platform::Point point) {
  StFeedbackDC kit(*this);
  StInvertMode invert(kit.dc());
  FeedbackMoveTo(kit.dc(), pathPosition_);
  FeedbackLineTo(kit.dc(), point);
  pathPosition_ = point;
}
