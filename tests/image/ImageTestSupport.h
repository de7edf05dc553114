// A fake filter host made the current one for the image code, and small
// helpers to fill and compare planes.
#pragma once

#include <cstdint>
#include <vector>

#include "image/Image.h"
#include "shell/ErrorRecord.h"
#include "shell/PlugIn.h"
#include "tests/support/FakeHost.h"

namespace testing_support {

// The host of one test: gFilterRecord points at it for the test's duration.
class StCurrentHost {
 public:
  explicit StCurrentHost(int16_t width = 64, int16_t height = 48) : host_(width, height) {
    gFilterRecord = &host_.record();
  }
  ~StCurrentHost() {
    gFilterRecord = nullptr;
    clearErrors();
  }
  FakeFilterHost& host() { return host_; }
  FilterRecord& record() { return host_.record(); }

 private:
  FakeFilterHost host_;
};

// A private buffer of rows x columns pixels with its view.
struct Plane {
  Plane(int32_t rows, int32_t columns, int16_t pixelBytes = 1, uint8_t fill = 0)
      : rows(rows),
        columns(columns),
        bytes(static_cast<size_t>(rows * columns * pixelBytes), fill),
        view{bytes.data(), pixelBytes, columns * pixelBytes} {}
  // Copies own their bytes.
  Plane(const Plane& other)
      : rows(other.rows), columns(other.columns), bytes(other.bytes), view(other.view) {
    view.data = bytes.data();
  }
  Plane& operator=(const Plane&) = delete;

  uint8_t& at(int32_t v, int32_t h, int32_t channel = 0) { return view.at(v, h)[channel]; }
  uint8_t at(int32_t v, int32_t h, int32_t channel = 0) const { return view.at(v, h)[channel]; }
  int32_t rows, columns;
  std::vector<uint8_t> bytes;
  PlaneView view;
};

}  // namespace testing_support
