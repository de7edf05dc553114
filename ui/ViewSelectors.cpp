#include "ui/ViewSelectors.h"

#include <algorithm>
#include <cstdio>

#include "platform/DeviceContext.h"
#include "platform/Message.h"
#include "platform/Resources.h"
#include "platform/SystemMetrics.h"
#include "platform/WindowDC.h"
#include "resources/StringTable.h"

namespace {

platform::Colour face() { return platform::systemColour(platform::kColourBtnFace); }

}  // namespace

// ---- CSelectorButtons ----

CSelectorButtons::~CSelectorButtons() {
  if (exists()) destroy();
}

void CSelectorButtons::SetButtons(std::vector<Button> buttons, int32_t value) {
  buttons_ = std::move(buttons);
  icons_.clear();
  for (const Button& button : buttons_) icons_.push_back(platform::resources::loadIcon(button.iconId));
  pressing_ = -1;
  down_ = 0;
  SetValue(value);
  if (exists()) invalidate();
}

void CSelectorButtons::SetValue(int32_t value) {
  for (size_t i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i].value == value && down_ != static_cast<int>(i)) {
      down_ = static_cast<int>(i);
      if (exists()) invalidate(false);
    }
  }
}

int32_t CSelectorButtons::Value() const { return buttons_.empty() ? 0 : buttons_[static_cast<size_t>(down_)].value; }

platform::Rect CSelectorButtons::ButtonRect(size_t index) const {
  const int32_t c = platform::systemMetric(platform::kSmCxVScroll);
  const int32_t d = platform::systemMetric(platform::kSmCyHScroll);
  const auto i = static_cast<int32_t>(index);
  return direction_ == Direction::kAcross ? platform::Rect{i * c, 0, (i + 1) * c, d}
                                          : platform::Rect{0, i * d, c, (i + 1) * d};
}

int32_t CSelectorButtons::Length() const {
  if (buttons_.empty()) return 0;
  const platform::Rect last = ButtonRect(buttons_.size() - 1);
  return direction_ == Direction::kAcross ? last.right : last.bottom;
}

bool CSelectorButtons::ShowsPressed(size_t index) const {
  const auto i = static_cast<int>(index);
  return i == down_ || (i == pressing_ && over_);
}

int CSelectorButtons::HitButton(platform::Point point) const {
  for (size_t i = 0; i < buttons_.size(); ++i)
    if (ButtonRect(i).contains(point)) return static_cast<int>(i);
  return -1;
}

void CSelectorButtons::Paint() {
  platform::PaintDC dc(*this);
  dc.fillRect(clientRect(), platform::Brush::solid(face()));
  for (size_t i = 0; i < buttons_.size(); ++i) {
    const platform::Rect r = ButtonRect(i);
    const bool pressed = ShowsPressed(i);
    dc.drawEdge(r, pressed ? platform::kEdgeSunken : platform::kEdgeRaised);
    const platform::Icon& icon = icons_[i];
    if (icon.isNull()) continue;
    const int32_t shift = pressed ? 1 : 0;
    dc.drawIcon({r.left + (r.width() - icon.width()) / 2 + shift, r.top + (r.height() - icon.height()) / 2 + shift},
                icon);
  }
}

intptr_t CSelectorButtons::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case platform::kWmPaint:
      Paint();
      return 0;
    case platform::kWmLButtonDown: {
      if (!isEnabled()) return 0;
      pressing_ = HitButton(platform::pointOfParam(lParam));
      if (pressing_ < 0) return 0;
      over_ = true;
      setCapture();
      invalidate(false);
      return 0;
    }
    case platform::kWmMouseMove:
      if (pressing_ >= 0) {
        const bool over = HitButton(platform::pointOfParam(lParam)) == pressing_;
        if (over != over_) {
          over_ = over;
          invalidate(false);
        }
      }
      return 0;
    case platform::kWmLButtonUp: {
      if (pressing_ < 0) return 0;
      const int released = pressing_;
      const bool chosen = HitButton(platform::pointOfParam(lParam)) == released;
      pressing_ = -1;
      over_ = false;
      if (capture() == this) releaseCapture();
      if (chosen) down_ = released;
      invalidate(false);
      if (chosen && chosen_) chosen_(buttons_[static_cast<size_t>(released)].value);
      return 0;
    }
    case platform::kWmCaptureChanged:
      if (pressing_ >= 0 && capture() != this) {
        pressing_ = -1;
        over_ = false;
        invalidate(false);
      }
      return 0;
    default:
      return platform::Window::handleMessage(message, wParam, lParam);
  }
}

// ---- COpacitySlider ----

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
