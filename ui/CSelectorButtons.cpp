#include "ui/CSelectorButtons.h"

#include "platform/DeviceContext.h"
#include "platform/Message.h"
#include "platform/Resources.h"
#include "platform/SystemMetrics.h"
#include "platform/WindowDC.h"

namespace {

platform::Colour face() { return platform::systemColour(platform::kColourBtnFace); }

}  // namespace

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
