#include "ui/CDoubleSliderBar.h"

#include <algorithm>
#include <vector>

#include "platform/DeviceContext.h"
#include "platform/Message.h"
#include "platform/SystemMetrics.h"
#include "platform/WindowDC.h"
#include "resources/StringTable.h"
#include "shell/PlugIn.h"
#include "tools/SliderValues.h"
#include "tools/WorkKeys.h"

namespace {

using platform::Point;
using platform::Rect;

// Across the bar, from the active rectangle's edge: the upper value's track
// and mark, the preview, the lower value's thumb and track.
constexpr int32_t kTrackDepth = 3;
constexpr int32_t kThumbDepth = 5;
constexpr int32_t kThumbHalfWidth = 5;
constexpr int32_t kPreviewInset = 9;
constexpr int32_t kLabelHeight = 10;

platform::Colour colour(int index) { return platform::systemColour(index); }

}  // namespace

CDoubleSliderBar::CDoubleSliderBar(SliderPair& pair, const LabelIds& labels) : pair_(pair), labelIds_(labels) {
  // The bars live as long as the pairs: no listener outlives its bar.
  pair_.OnChange([this] {
    if (exists()) invalidate(false);
  });
}

CDoubleSliderBar::~CDoubleSliderBar() {
  if (exists()) destroy();
}

bool CDoubleSliderBar::CreateSliderBar(platform::FrameWindow& frame, int barId, const std::string& name) {
  for (size_t i = 0; i < labels_.size(); ++i) labels_[i] = stringResource(labelIds_[i]);
  if (!createBar(frame, "", barId, kAcross)) return false;
  setTitle(name);
  return true;
}

Rect CDoubleSliderBar::ActiveRect() const {
  const Rect c = clientRect();
  if (Upright()) return {c.left + 12, c.top + 4, c.right - 11, c.bottom - 4};
  return {c.left + 4, c.top + 12, c.right - 4, c.bottom - 11};
}

int CDoubleSliderBar::ValueAt(Point point) const {
  const Rect a = ActiveRect();
  if (Upright()) {
    const int32_t e = -(a.height() - 11);
    return e == 0 ? 0 : ((point.y - (a.bottom - 6)) * 255 + e / 2) / e;
  }
  const int32_t e = a.width() - 11;
  return e == 0 ? 0 : ((point.x - (a.left + 5)) * 255 + e / 2) / e;
}

// The first pixel of a track stands for 0: across, the left; upright, the
// bottom.
int32_t CDoubleSliderBar::TrackPosition(int32_t span, int value) const {
  const Rect a = ActiveRect();
  const int32_t along = (span * value + 127) / 255 + 1;
  return Upright() ? a.bottom - 5 - along : a.left + 4 + along;
}

int32_t CDoubleSliderBar::LowerPosition() const {
  const Rect a = ActiveRect();
  return TrackPosition((Upright() ? a.height() : a.width()) - 8 - 3, pair_.lower());
}

int32_t CDoubleSliderBar::UpperPosition() const {
  const Rect a = ActiveRect();
  return TrackPosition((Upright() ? a.height() : a.width()) - 8 - 2, pair_.upper());
}

CDoubleSliderBar::Half CDoubleSliderBar::HalfAt(Point point) const {
  const Rect a = ActiveRect();
  if (!a.contains(point)) return Half::kNone;
  if (Upright()) return point.x >= a.left + a.width() / 2 ? Half::kLower : Half::kUpper;
  return point.y >= a.top + a.height() / 2 ? Half::kLower : Half::kUpper;
}

// The lower value moves no further than the upper one can follow; the
// upper one stays between the lower value and 255.
void CDoubleSliderBar::Apply(Point point) {
  const int value = ValueAt(point);
  if (dragging_ == Half::kLower)
    StepLowerValue(pair_, value);
  else if (dragging_ == Half::kUpper)
    pair_.SetUpper(value);
}

platform::Size CDoubleSliderBar::calcDynamicSize(int length, unsigned mode) {
  const bool lengthIsHeight = (mode & platform::kLmLengthIsHeight) != 0;
  const bool across = lengthIsHeight ? length < kAcrossFromLength : length >= kAcrossFromLength;
  const platform::Size wanted = across ? kAcross : kUpright;
  if (wanted.cx == barSize().cx && wanted.cy == barSize().cy) return wanted;
  // A shape that would reach out of the work area is refused.
  if (platform::MiniFrame* frame = miniFrame()) {
    const Rect now = frame->windowRect();
    const Rect shaped{now.left, now.top, now.left + now.width() - barSize().cx + wanted.cx,
                      now.top + now.height() - barSize().cy + wanted.cy};
    const Rect work = platform::workArea();
    if (shaped.right > work.right || shaped.bottom > work.bottom || shaped.left < work.left || shaped.top < work.top)
      return barSize();
  }
  return wanted;
}

void CDoubleSliderBar::PaintTracks(platform::DeviceContext& dc) const {
  const Rect a = ActiveRect();
  const bool upright = Upright();
  // (along, across) to client coordinates; across counts from the active
  // rectangle's upper (across) or left (upright) edge.
  const auto fill = [&](int32_t along0, int32_t along1, int32_t across0, int32_t across1, platform::Colour c) {
    const Rect r = upright ? Rect{a.left + across0, std::min(along0, along1), a.left + across1, std::max(along0, along1)}
                           : Rect{std::min(along0, along1), a.top + across0, std::max(along0, along1), a.top + across1};
    dc.fillRect(r, platform::Brush::solid(c));
  };
  const int32_t depth = upright ? a.width() : a.height();
  const int32_t first = upright ? a.bottom - 4 : a.left + 4;
  const int32_t last = upright ? a.top + 4 : a.right - 4;
  const platform::Colour shadow = colour(platform::kColourBtnShadow), light = colour(platform::kColourBtnHighlight);
  const platform::Colour ink = colour(platform::kColourBtnText);

  // The grooves: dark, with a light last line.
  fill(first, last, 0, kTrackDepth - 1, shadow);
  fill(first, last, kTrackDepth - 1, kTrackDepth, light);
  fill(first, last, depth - kTrackDepth, depth - 1, shadow);
  fill(first, last, depth - 1, depth, light);

  // The lower thumb: a filled triangle pointing at its track.
  const int32_t lower = LowerPosition();
  for (int32_t row = 0; row < kThumbDepth; ++row) {
    const int32_t across = depth - kTrackDepth - 1 - row;
    const int32_t half = kThumbDepth - row;
    fill(lower - half + 1, lower + half + 1, across, across + 1, ink);
  }
  // The upper mark: the same triangle's outline, pointing the other way.
  const int32_t upper = UpperPosition();
  for (int32_t row = 0; row < kThumbDepth; ++row) {
    const int32_t across = kTrackDepth + row;
    fill(upper - row, upper - row + 1, across, across + 1, ink);
    fill(upper + row + 1, upper + row + 2, across, across + 1, ink);
  }
  fill(upper - kThumbHalfWidth + 1, upper + kThumbHalfWidth + 1, kTrackDepth + kThumbDepth - 1,
       kTrackDepth + kThumbDepth, ink);
}

// Dark up to the lower value, light from the upper one, a ramp between;
// shown through the host's display service like the image itself.
void CDoubleSliderBar::PaintPreview(platform::DeviceContext& dc) const {
  const Rect a = ActiveRect();
  const bool upright = Upright();
  const Rect strip = upright ? Rect{a.left + kPreviewInset, a.top + 4, a.right - kPreviewInset, a.bottom - 4}
                             : Rect{a.left + 4, a.top + kPreviewInset, a.right - 4, a.bottom - kPreviewInset};
  if (strip.isEmpty()) return;
  const int32_t lower = LowerPosition(), upper = UpperPosition();
  const auto greyAt = [&](int32_t along) {
    const int32_t fromLower = upright ? lower - along : along - lower;
    const int32_t span = upright ? lower - upper : upper - lower;
    if (fromLower <= 0) return 0;
    if (fromLower >= span) return 255;
    return fromLower * 255 / span;
  };
  std::vector<uint8_t> grey(static_cast<size_t>(strip.width()) * strip.height());
  for (int32_t y = 0; y < strip.height(); ++y)
    for (int32_t x = 0; x < strip.width(); ++x)
      grey[static_cast<size_t>(y) * strip.width() + x] =
          static_cast<uint8_t>(greyAt(upright ? strip.top + y : strip.left + x));

  if (gFilterRecord != nullptr && gFilterRecord->displayPixels != nullptr) {
    HostPixelMap map{};
    map.version = 1;
    map.bounds = {strip.top, strip.left, strip.bottom, strip.right};
    map.imageMode = kHostModeGrayScale;
    map.rowBytes = strip.width();
    map.colBytes = 1;
    map.planeBytes = 1;
    map.baseAddr = grey.data();
    const HostRect32 source = map.bounds;
    (void)gFilterRecord->displayPixels(&map, &source, strip.top, strip.left, &dc);
    return;
  }
  std::vector<uint8_t> rgb(grey.size() * 3);
  for (size_t i = 0; i < grey.size(); ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = grey[i];
  dc.setPixelsRgb24(strip, rgb.data(), strip.width() * 3);
}

// Each track's value name in bold between the names of its two ends:
// across, the upper value's above the bar and the lower value's below;
// upright, running upwards beside their tracks.
void CDoubleSliderBar::PaintLabels(platform::DeviceContext& dc) const {
  const Rect c = clientRect(), a = ActiveRect();
  dc.setBkMode(platform::kBkTransparent);
  dc.setTextColour(colour(platform::kColourWindowText));
  platform::Font font;
  font.height = kLabelHeight;
  if (Upright()) font.escapement = 900;
  const Rect upperBand = Upright() ? Rect{c.left, a.top, a.left, a.bottom} : Rect{a.left, c.top, a.right, a.top};
  const Rect lowerBand = Upright() ? Rect{a.right, a.top, c.right, a.bottom} : Rect{a.left, a.bottom, a.right, c.bottom};
  const auto label = [&](const Rect& band, const std::string& text, unsigned along, bool bold) {
    font.bold = bold;
    dc.setFont(font);
    dc.drawText(band, text, along | platform::kDtVCenter | platform::kDtSingleLine);
  };
  label(upperBand, labels_[1], platform::kDtCenter, true);
  label(upperBand, labels_[4], platform::kDtLeft, false);
  label(upperBand, labels_[5], platform::kDtRight, false);
  label(lowerBand, labels_[0], platform::kDtCenter, true);
  label(lowerBand, labels_[2], platform::kDtLeft, false);
  label(lowerBand, labels_[3], platform::kDtRight, false);
}

void CDoubleSliderBar::Paint() {
  platform::PaintDC dc(*this);
  dc.fillRect(clientRect(), platform::Brush::solid(colour(platform::kColourBtnFace)));
  PaintLabels(dc);
  PaintTracks(dc);
  PaintPreview(dc);
}

intptr_t CDoubleSliderBar::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case platform::kWmPaint:
      Paint();
      return 0;
    case platform::kWmLButtonDown:
      dragging_ = HalfAt(platform::pointOfParam(lParam));
      if (dragging_ == Half::kNone) break;
      setCapture();
      Apply(platform::pointOfParam(lParam));
      return 0;
    case platform::kWmMouseMove:
      if (dragging_ == Half::kNone) break;
      Apply(platform::pointOfParam(lParam));
      return 0;
    case platform::kWmLButtonUp:
      if (dragging_ == Half::kNone) break;
      Apply(platform::pointOfParam(lParam));
      dragging_ = Half::kNone;
      releaseCapture();
      return 0;
    default:
      break;
  }
  return ControlBar::handleMessage(message, wParam, lParam);
}

CDoubleSliderBar& BrushSliderBar() {
  static CDoubleSliderBar bar(BrushPair(), {kStrBrushSize, kStrBrushEdge, kStrBrushSizeSmall, kStrBrushSizeLarge,
                                            kStrBrushEdgeHard, kStrBrushEdgeSoft});
  return bar;
}

CDoubleSliderBar& ThresholdSliderBar() {
  static CDoubleSliderBar bar(ThresholdPair(), {kStrThreshold, kStrTransition, kStrTransitionLess,
                                                kStrTransitionMore, kStrThresholdHard, kStrThresholdSoft});
  return bar;
}
