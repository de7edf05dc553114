#include "tests/display/ViewTestSupport.h"

#include <algorithm>
#include <cmath>

#include "platform/DeviceContext.h"
#include "platform/MessageQueue.h"
#include "shell/PlugIn.h"

namespace display_testing {

std::vector<DisplayCall>& displayCalls() {
  static std::vector<DisplayCall> calls;
  return calls;
}

HostError recordingDisplay(const HostPixelMap* map, const HostRect32* source, int32_t row, int32_t column,
                           void* context) {
  if (map == nullptr || source == nullptr || context == nullptr) return kHostFilterBadParameters;
  const int32_t width = map->bounds.right - map->bounds.left, height = map->bounds.bottom - map->bounds.top;
  DisplayCall call{map->bounds, map->imageMode, map->colBytes, map->masks != nullptr, {}, {}};
  const auto* base = static_cast<const uint8_t*>(map->baseAddr);
  for (int32_t y = 0; y < height; ++y)
    call.pixels.insert(call.pixels.end(), base + y * map->rowBytes, base + y * map->rowBytes + width * map->colBytes);
  if (map->masks != nullptr) {
    const auto* m = static_cast<const uint8_t*>(map->masks->maskData);
    for (int32_t y = 0; y < height; ++y)
      call.coverage.insert(call.coverage.end(), m + y * map->masks->rowBytes, m + y * map->masks->rowBytes + width);
  }

  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* p = base + y * map->rowBytes + x * map->colBytes;
      uint8_t* out = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      for (int c = 0; c < 3; ++c) out[c] = map->imageMode == 3 ? p[c] : p[0];
      if (map->masks == nullptr) continue;
      const int cov = call.coverage[static_cast<size_t>(y) * width + x];
      const int checker = (((row + y) >> 3) + ((column + x) >> 3)) % 2 == 0 ? 255 : 204;
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((out[c] * cov + checker * (255 - cov) + 127) / 255);
    }
  displayCalls().push_back(std::move(call));
  auto* dc = static_cast<platform::DeviceContext*>(context);
  dc->setPixelsRgb24({column, row, column + width, row + height}, rgb.data(), width * 3);
  return kHostNoError;
}

ViewFixture::ViewFixture(int16_t width, int16_t height) : current_(width, height), width_(width), height_(height) {
  gImageMode = kHostModeRGB;
  gColourChannels = 3;
  record().displayPixels = recordingDisplay;
  for (int plane = 0; plane < 3; ++plane)
    for (int16_t v = 0; v < height; ++v)
      for (int16_t h = 0; h < width; ++h) host().pixel(static_cast<int16_t>(plane), v, h) = colourValue(plane, v, h);
  for (int16_t v = 0; v < height; ++v)
    for (int16_t h = 0; h < width; ++h) host().pixel(3, v, h) = coverageValue(v, h);
  displayCalls().clear();
  ResetToolStack();
}

ViewFixture::~ViewFixture() {
  closeView();
  ResetToolStack();
  displayCalls().clear();
}

uint8_t ViewFixture::colourValue(int plane, int v, int h) {
  switch (plane) {
    case 0: return static_cast<uint8_t>(h * 255 / 299);
    case 1: return static_cast<uint8_t>(v * 255 / 199);
    default: return static_cast<uint8_t>(((v / 20 + h / 20) % 2) * 160 + 40);
  }
}

uint8_t ViewFixture::coverageValue(int v, int h) const {
  const double dv = v - height_ / 2.0, dh = h - width_ / 2.0;
  const double r = std::sqrt(dv * dv + dh * dh), edge = std::min(width_, height_) * 0.35;
  return static_cast<uint8_t>(std::clamp((edge + 4 - r) / 8.0, 0.0, 1.0) * 255);
}

CMaskView& ViewFixture::openView(platform::Size client) {
  closeView();
  frame_ = std::make_unique<platform::Window>();
  platform::CreateParams params;
  params.title = "View test";
  params.style = platform::kWsPopup | platform::kWsVisible;
  params.rect = {20, 20, 20 + client.cx, 20 + client.cy};
  frame_->create(params);
  view_ = std::make_unique<CMaskView>();
  view_->CreateView(*frame_, {0, 0, client.cx, client.cy}, 1);
  return *view_;
}

void ViewFixture::closeView() {
  view_.reset();
  if (frame_ && frame_->exists()) frame_->destroy();
  frame_.reset();
}

void ViewFixture::paintNow() {
  platform::automation::drainMessages();
  if (view_) view_->updateNow();
}

}  // namespace display_testing
