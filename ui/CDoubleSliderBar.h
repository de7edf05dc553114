// The brush size and threshold bars: two tracks along a floating bar, the
// lower value's thumb on one and the upper value's mark on the other, with
// a grey ramp between them that previews the pair. The bar lies across
// (158 x 50) or stands upright (50 x 158), as the user sizes its frame.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/DeviceContext.h"
#include "platform/FrameWindow.h"

class SliderPair;

class CDoubleSliderBar : public platform::ControlBar {
 public:
  static constexpr platform::Size kAcross{158, 50};
  static constexpr platform::Size kUpright{50, 158};
  // A frame sized to at least this length along the bar lies across.
  static constexpr int32_t kAcrossFromLength = 105;

  // String ids: the lower and upper value's names, then the ends of the
  // lower value's track, then those of the upper value's.
  using LabelIds = std::array<int, 6>;

  CDoubleSliderBar(SliderPair& pair, const LabelIds& labels);
  ~CDoubleSliderBar() override;

  // Loads the labels and creates the bar, hidden, floating in a frame owned
  // by the work window. `name` is the Window menu item that shows it.
  bool CreateSliderBar(platform::FrameWindow& frame, int barId, const std::string& name);

  bool Upright() const { return barSize().cx < barSize().cy; }
  // Where the pointer works: the client area less the labels' margins.
  platform::Rect ActiveRect() const;
  // The value at a point along the bar, before any limit.
  int ValueAt(platform::Point point) const;
  // Where the thumbs stand along the bar (x across, y upright).
  int32_t LowerPosition() const;
  int32_t UpperPosition() const;

  platform::Size calcDynamicSize(int length, unsigned mode) override;

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  enum class Half { kNone, kLower, kUpper };

  Half HalfAt(platform::Point point) const;
  void Apply(platform::Point point);
  void Paint();
  void PaintTracks(platform::DeviceContext& dc) const;
  void PaintPreview(platform::DeviceContext& dc) const;
  void PaintLabels(platform::DeviceContext& dc) const;
  // Along-the-bar coordinate of a value on a track of `length` pixels,
  // whose first pixel stands for 0.
  int32_t TrackPosition(int32_t span, int value) const;

  SliderPair& pair_;
  LabelIds labelIds_;
  std::array<std::string, 6> labels_;
  Half dragging_ = Half::kNone;
};

// The two bars of the work window, single for the whole run.
CDoubleSliderBar& BrushSliderBar();
CDoubleSliderBar& ThresholdSliderBar();
