// Views under test: a fake host document with a drawing display service,
// a top-level window holding a mask view, and the tool stack reset around
// every test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "display/CMaskView.h"
#include "display/CTool.h"
#include "platform/Window.h"
#include "tests/image/ImageTestSupport.h"
#include "tests/support/AutomatedTest.h"

namespace display_testing {

// One call of the display service, as the host saw it.
struct DisplayCall {
  HostRect32 bounds;
  int32_t imageMode;
  int32_t colBytes;
  bool masked;
  std::vector<uint8_t> pixels;    // the map's bytes, rows of width × colBytes
  std::vector<uint8_t> coverage;  // the mask record's bytes (empty without)
};

// Records every call and draws like a host: RGB or grey, the coverage
// blended over a checkerboard of 8-pixel squares.
std::vector<DisplayCall>& displayCalls();
HostError recordingDisplay(const HostPixelMap* map, const HostRect32* source, int32_t row, int32_t column,
                           void* context);

// A document of width × height: RGB planes 0..2 with a smooth pattern, the
// alpha plane 3 (the target) with a disc of full coverage, soft at its
// edge. Colour mode globals set for RGB.
class ViewFixture : public testing_support::AutomatedTest {
 protected:
  explicit ViewFixture(int16_t width = 300, int16_t height = 200);
  ~ViewFixture() override;

  testing_support::FakeFilterHost& host() { return current_.host(); }
  FilterRecord& record() { return current_.record(); }
  static uint8_t colourValue(int plane, int v, int h);
  uint8_t coverageValue(int v, int h) const;

  // A visible top-level window whose client area is `client`, with a mask
  // view filling it.
  CMaskView& openView(platform::Size client = {200, 150});
  platform::Window& frame() { return *frame_; }
  void closeView();
  // Paints everything the view waits for.
  void paintNow();

  testing_support::StCurrentHost current_;
  std::unique_ptr<platform::Window> frame_;
  std::unique_ptr<CMaskView> view_;
  int16_t width_, height_;
};

}  // namespace display_testing
