// Device contexts: the drawing state (origin, raster operation, pen, brush,
// colours, font, clip region) over a framebuffer. Lines, outlines and fills
// are rasterised here pixel by pixel, so the inverting raster operation is
// exact: drawing the same figure twice restores every pixel.
//
// Logical coordinates map to device (framebuffer) pixels by adding the
// viewport origin. Clip regions are in device pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Bitmap.h"
#include "platform/Framebuffer.h"
#include "platform/Geometry.h"
#include "platform/Region.h"

namespace platform {

// Raster operations for pens and brushes.
enum : int {
  kR2Not = 6,       // inverts the destination
  kR2CopyPen = 13,  // writes the pen or brush colour
};

enum : int {
  kBkTransparent = 1,
  kBkOpaque = 2,
};

enum : int {
  kPenSolid = 0,
  kPenNull = 5,
};

// Pens draw one pixel wide.
struct Pen {
  int style = kPenSolid;
  Colour colour = 0;
};

struct Brush {
  enum Kind { kNull, kSolid, kPattern } kind = kSolid;
  Colour colour = rgb(255, 255, 255);
  Bitmap pattern;  // monochrome, tiled from the device origin

  static Brush null() { return {kNull, 0, {}}; }
  static Brush solid(Colour c) { return {kSolid, c, {}}; }
  static Brush patterned(const Bitmap& monochromePattern) { return {kPattern, 0, monochromePattern}; }
};

struct Font {
  int32_t height = 13;     // pixels, cell height
  bool bold = false;
  int32_t escapement = 0;  // tenths of a degree; 900 runs the text upwards
  std::string face;        // empty: the system's interface font
};

// Text layout in a rectangle.
enum : unsigned {
  kDtLeft = 0x00,
  kDtCenter = 0x01,
  kDtRight = 0x02,
  kDtVCenter = 0x04,
  kDtBottom = 0x08,
  kDtSingleLine = 0x20,
  // Without it, "&x" draws x underlined (a mnemonic) and "&&" draws "&".
  kDtNoPrefix = 0x800,
};

// Three-dimensional edges, two pixels wide, inside the rectangle.
enum EdgeKind : int {
  kEdgeRaised = 5,
  kEdgeSunken = 10,
};

class DeviceContext {
 public:
  // Draws into a framebuffer that is not a window's (offscreen surfaces).
  explicit DeviceContext(Framebuffer& target);
  DeviceContext(const DeviceContext&) = delete;
  DeviceContext& operator=(const DeviceContext&) = delete;
  virtual ~DeviceContext();

  Framebuffer& framebuffer() { return *target_; }

  // ---- State; each setter answers the previous value ----
  Point setViewportOrigin(Point origin);
  Point viewportOrigin() const { return origin_; }
  int setRop2(int rop);
  int rop2() const { return rop2_; }
  Pen setPen(const Pen& pen);
  Pen pen() const { return pen_; }
  Brush setBrush(const Brush& brush);
  const Brush& brush() const { return brush_; }
  Colour setTextColour(Colour colour);
  Colour textColour() const { return textColour_; }
  Colour setBkColour(Colour colour);
  Colour bkColour() const { return bkColour_; }
  int setBkMode(int mode);
  int bkMode() const { return bkMode_; }
  Font setFont(const Font& font);
  const Font& font() const { return font_; }

  // ---- Clipping ----
  // Copies the region (device pixels) as the clip; null removes the clip.
  RegionKind selectClipRegion(const Region* clip);
  RegionKind intersectClipRect(const Rect& logical);
  RegionKind excludeClipRect(const Rect& logical);
  // The smallest rectangle around the drawable area, logical coordinates.
  Rect clipBox() const;
  bool isVisible(Point logical) const;

  // ---- Lines and figures (pen and brush, through the raster operation) ----
  Point moveTo(Point logical);
  Point currentPosition() const { return position_; }
  // Draws from the current position up to, not including, the point.
  void lineTo(Point logical);
  // Outline with the pen one pixel inside the rectangle, inside with the
  // brush; without a pen the fill covers the rectangle less its last row
  // and column.
  void rectangle(const Rect& logical);
  void ellipse(const Rect& logical);

  // ---- Fills (ignore the raster operation) ----
  void fillRect(const Rect& logical, const Brush& brush);
  void frameRect(const Rect& logical, const Brush& brush);
  void invertRect(const Rect& logical);
  void drawEdge(const Rect& logical, EdgeKind edge);

  // ---- Pixels ----
  void setPixel(Point logical, Colour colour);
  Colour pixel(Point logical) const;
  // Copies a block of 24-bit pixels (bytes R, G, B; rows top-down, rowBytes
  // apart) to the rectangle, whose size is the block's.
  void setPixelsRgb24(const Rect& logical, const uint8_t* rgb, ptrdiff_t rowBytes);
  void drawBitmap(Point logical, const Bitmap& bitmap);
  // Blends by the icon's alpha.
  void drawIcon(Point logical, const Icon& icon);
  // Copies pixels from another context (its logical coordinates).
  void copyFrom(const Rect& logicalDest, const DeviceContext& source, Point sourceLogical);

  // ---- Text (text colour; background colour when opaque) ----
  void textOut(Point logical, std::string_view utf8);
  void drawText(const Rect& logical, std::string_view utf8, unsigned format);
  Size textExtent(std::string_view utf8) const;

 protected:
  // The area the system lets this context draw into (device pixels), e.g.
  // a window's update region while it paints. Null: the whole framebuffer.
  void setSystemClip(const Region* clip);

 private:
  void updateClip();
  template <typename Plot>
  void forEachClipRect(const Rect& device, Plot plot);
  void plotSpan(int32_t y, int32_t x0, int32_t x1, Colour colour, int rop);
  void plotBrushSpan(int32_t y, int32_t x0, int32_t x1, const Brush& brush, int rop);
  void plot(int32_t x, int32_t y, Colour colour, int rop);
  void drawText(const Rect& device, std::string_view utf8, unsigned format, bool atPoint);

  Framebuffer* target_;
  Point origin_;
  int rop2_ = kR2CopyPen;
  Pen pen_;
  Brush brush_;
  Colour textColour_ = 0;
  Colour bkColour_ = rgb(255, 255, 255);
  int bkMode_ = kBkOpaque;
  Font font_;
  Point position_;
  std::unique_ptr<Region> systemClip_;
  std::unique_ptr<Region> userClip_;
  Region effectiveClip_;  // device pixels, inside the framebuffer
};

}  // namespace platform
