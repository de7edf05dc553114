// A framebuffer: the pixels a window (or an offscreen surface) draws into.
// Every window owns one; the backend presents it on the screen. Copies share
// their pixels until one of them is drawn into.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Geometry.h"

namespace platform {

class Framebuffer {
 public:
  Framebuffer();
  Framebuffer(int32_t width, int32_t height, Colour fill = rgb(255, 255, 255));
  Framebuffer(const Framebuffer& other);
  Framebuffer& operator=(const Framebuffer& other);
  ~Framebuffer();

  int32_t width() const;
  int32_t height() const;
  Rect bounds() const { return {0, 0, width(), height()}; }

  // Keeps the pixels that stay inside and fills the new area.
  void resize(int32_t width, int32_t height, Colour fill = rgb(255, 255, 255));
  void fill(Colour colour);
  Colour pixel(int32_t x, int32_t y) const;  // 0 outside

  // The area drawn into since the last call (device pixels), then forgets it.
  Rect takeDirtyRect();

  bool samePixels(const Framebuffer& other) const;
  // Writes the pixels as a PNG file; false when the file cannot be written.
  bool savePng(const std::string& path) const;

  struct Impl;
  Impl& impl() { return *impl_; }
  const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
