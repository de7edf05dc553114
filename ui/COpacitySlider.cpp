#include "ui/COpacitySlider.h"

#include <algorithm>
#include <cstdio>

#include "platform/DeviceContext.h"
#include "platform/Message.h"
#include "platform/WindowDC.h"
#include "resources/StringTable.h"
#include "platform/SystemMetrics.h"

namespace {

platform::Colour face() { return platform::systemColour(platform::kColourBtnFace); }

}  // namespace

COpacitySlider::~COpacitySlider() {
  if (exists()) destroy();
}

void COpacitySlider::SetValue(uint8_t value) {
  if (value == value_) return;
  value_ = value;
  if (exists()) invalidate(false);
}

std::string COpacitySlider::PercentText(uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%d%%", value * 100 / 255);
  return text;
}

uint8_t COpacitySlider::ValueAt(int32_t x) const {
  const int32_t span = TrackRight() - TrackLeft() - 1;
  if (span <= 0) return value_;
  const int32_t at = std::clamp(x - TrackLeft(), 0, span);
  return static_cast<uint8_t>((at * 255 + span / 2) / span);
}

int32_t COpacitySlider::PositionOf(uint8_t value) const {
  const int32_t span = std::max(0, TrackRight() - TrackLeft() - 1);
  return TrackLeft() + (value * span + 127) / 255;
}

void COpacitySlider::Track(int32_t x) {
  const uint8_t value = ValueAt(x);
  if (value == value_) return;
  value_ = value;
  invalidate(false);
  if (changed_) changed_(value);
}

void COpacitySlider::Paint() {
  platform::PaintDC dc(*this);
  const platform::Rect r = clientRect();
  dc.fillRect(r, platform::Brush::solid(face()));
  // The strip is one scroll bar high: a small font keeps "100%" in its box.
  platform::Font small;
  small.height = kTextHeight;
  dc.setFont(small);
  dc.setBkMode(platform::kBkTransparent);
  dc.setTextColour(platform::systemColour(platform::kColourBtnText));
  dc.drawText({1, 0, TrackLeft(), r.bottom}, stringResource(kStrOpacityLabel),
              platform::kDtLeft | platform::kDtVCenter | platform::kDtSingleLine);

  // The track: a sunken groove across the middle, the thumb a raised
  // block over the value's position.
  const int32_t middle = r.height() / 2;
  dc.drawEdge({TrackLeft(), middle - 2, TrackRight(), middle + 2}, platform::kEdgeSunken);
  const int32_t thumb = PositionOf(value_);
  const platform::Rect knob{thumb - 3, 1, thumb + 4, r.bottom - 1};
  dc.fillRect(knob, platform::Brush::solid(face()));
  dc.drawEdge(knob, platform::kEdgeRaised);

  const platform::Rect box{r.right - kValueBoxWidth, 0, r.right, r.bottom};
  dc.fillRect(box, platform::Brush::solid(face()));
  dc.drawText(box.offsetBy(-1, 0), PercentText(value_), platform::kDtRight | platform::kDtVCenter | platform::kDtSingleLine);
}

intptr_t COpacitySlider::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case platform::kWmPaint:
      Paint();
      return 0;
    case platform::kWmLButtonDown: {
      const platform::Point p = platform::pointOfParam(lParam);
      if (!isEnabled() || p.x < TrackLeft() - 3 || p.x > TrackRight() + 3) return 0;
      tracking_ = true;
      setCapture();
      Track(p.x);
      return 0;
    }
    case platform::kWmMouseMove:
      if (tracking_) Track(platform::pointOfParam(lParam).x);
      return 0;
    case platform::kWmLButtonUp:
      if (!tracking_) return 0;
      Track(platform::pointOfParam(lParam).x);
      tracking_ = false;
      if (capture() == this) releaseCapture();
      return 0;
    case platform::kWmCaptureChanged:
      if (capture() != this) tracking_ = false;
      return 0;
    default:
      return platform::Window::handleMessage(message, wParam, lParam);
  }
}
