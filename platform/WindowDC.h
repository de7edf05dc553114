// Device contexts over a window's framebuffer.
#pragma once

#include "platform/DeviceContext.h"
#include "platform/Window.h"

namespace platform {

// Draws anywhere in the client area, at any time (feedback drawn outside
// painting goes through one).
class ClientDC : public DeviceContext {
 public:
  explicit ClientDC(Window& window);
  ~ClientDC() override;
  Window& window() { return *window_; }

 private:
  Window* window_;
};

// Opened while handling kWmPaint: takes the window's update region as its
// clip, erases it first when an erase is pending (kWmEraseBkgnd with this
// context as wParam) and leaves the window valid.
class PaintDC : public DeviceContext {
 public:
  explicit PaintDC(Window& window);
  ~PaintDC() override;
  Window& window() { return *window_; }
  // The region being painted, client coordinates.
  const Region& paintRegion() const { return region_; }
  Rect paintRect() const { return region_.boundingBox(); }
  // True when the background still has to be drawn (nobody erased it).
  bool eraseNeeded() const { return eraseNeeded_; }

 private:
  Window* window_;
  Region region_;
  bool eraseNeeded_ = false;
};

}  // namespace platform
