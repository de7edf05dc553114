#include "tools/CEyedropperTool.h"

#include <algorithm>

#include "display/CMaskView.h"
#include "display/CWorkDocument.h"
#include "image/Image.h"
#include "platform/Message.h"
#include "tools/ColourList.h"

namespace {

CEyedropperTool gKeepEyedropper(true);
CEyedropperTool gDropEyedropper(false);
ToolRegistration gKeepRegistration(gKeepEyedropper);
ToolRegistration gDropRegistration(gDropEyedropper);

constexpr uint8_t kUnviewedChannel = 128;

}  // namespace

CEyedropperTool& TheKeepEyedropper() { return gKeepEyedropper; }
CEyedropperTool& TheDropEyedropper() { return gDropEyedropper; }

void selectEyedropper(bool keep) {
  CEyedropperTool& tool = keep ? gKeepEyedropper : gDropEyedropper;
  if (ActiveTool() != &tool) SelectTool(tool);
}

ColourList& CEyedropperTool::List() const { return ColourListFor(keep_); }

int32_t CEyedropperTool::GetCursorId() {
  const uint32_t flags = CurrentFlags();
  if (keep_) {
    if ((flags & platform::kMkShift) != 0) return kCursorKeepEyedropperShift;
    return kToolKeepEyedropper;
  }
  if ((flags & (platform::kMkShift | platform::kMkRButton)) != 0) return kCursorDropEyedropperShift;
  return kToolDropEyedropper;
}

void CEyedropperTool::ButtonDown() {
  CTool::ButtonDown();
  sums_.fill(0);
  count_ = 0;
  const uint32_t flags = CurrentFlags();
  const bool shift = (flags & platform::kMkShift) != 0;
  if ((flags & platform::kMkRButton) != 0) {
    List().RightButtonPick(shift);
    selectEyedropper(keep_);
  } else if (shift) {
    List().ShiftPick();
    selectEyedropper(keep_);
  }
}

bool CEyedropperTool::ShowFeedback() {
  ColourEntry sample;
  if (Dragging() && samplePixel(sample)) {
    ++count_;
    ColourEntry mean = sample;
    const auto channels = static_cast<size_t>(std::clamp<int16_t>(sample.size, 0, 4));
    for (size_t c = 0; c < channels; ++c) {
      sums_[c] += sample.channels[c];
      mean.channels[c] = static_cast<uint8_t>((sums_[c] + count_ / 2) / count_);
    }
    List().SetCurrentColour(mean);
  }
  return CTool::ShowFeedback();
}

bool CEyedropperTool::samplePixel(ColourEntry& out) {
  CImageView* view = TrackingView();
  if (view == nullptr || view->Document() == nullptr) return false;
  Image* working = view->Document()->WorkingImage();
  if (working == nullptr) return false;
  const PixelLayout layout = working->layout();
  const int16_t n = layout.bytesPerPixel;
  if (n < 1 || n > 4) return false;

  platform::Point point = CurrentPoint();
  view->WindowToImagePoint(point);
  const Rect& bounds = working->bounds();
  if (point.y < bounds.top || point.y >= bounds.bottom || point.x < bounds.left || point.x >= bounds.right)
    return false;
  const auto v = static_cast<int16_t>(point.y), h = static_cast<int16_t>(point.x);

  std::array<uint8_t, 4> pixel{};
  working->ReadRect({v, h, static_cast<int16_t>(v + 1), static_cast<int16_t>(h + 1)}, PlaneView{pixel.data(), n, n});
  // A view of one channel alone picks that channel's value with every
  // other channel at mid-level.
  const auto* maskView = dynamic_cast<const CMaskView*>(view);
  const int32_t channel = maskView != nullptr ? maskView->ShownChannel() : 0;
  if (channel >= 1 && channel <= n) {
    for (int i = n - 1; i >= 0; --i)
      if (i != channel - 1) pixel[static_cast<size_t>(i)] = kUnviewedChannel;
  }
  out = ColourEntry::Picked(PixelFormat{n, layout.imageMode}, pixel.data());
  return true;
}
