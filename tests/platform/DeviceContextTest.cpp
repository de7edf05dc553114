#include "platform/DeviceContext.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/SimdLevels.h"

namespace platform {
namespace {

constexpr Colour kWhite = rgb(255, 255, 255);
constexpr Colour kBlack = rgb(0, 0, 0);
constexpr Colour kRed = rgb(255, 0, 0);

int countPixels(const Framebuffer& fb, Colour colour) {
  int n = 0;
  for (int32_t y = 0; y < fb.height(); ++y)
    for (int32_t x = 0; x < fb.width(); ++x) n += fb.pixel(x, y) == colour;
  return n;
}

// A framebuffer with a gradient, so inverting shows everywhere.
Framebuffer gradient(int32_t w, int32_t h) {
  Framebuffer fb(w, h);
  std::vector<uint8_t> rgbs(static_cast<size_t>(w * h * 3));
  for (int32_t i = 0; i < w * h; ++i) {
    rgbs[static_cast<size_t>(i * 3)] = static_cast<uint8_t>(i);
    rgbs[static_cast<size_t>(i * 3 + 1)] = static_cast<uint8_t>(i / 7);
    rgbs[static_cast<size_t>(i * 3 + 2)] = static_cast<uint8_t>(255 - i);
  }
  DeviceContext dc(fb);
  dc.setPixelsRgb24({0, 0, w, h}, rgbs.data(), w * 3);
  return fb;
}

TEST(DeviceContext, InvertingFiguresTwiceRestoresEveryPixel) {
  Framebuffer fb = gradient(64, 48);
  const Framebuffer before = fb;
  DeviceContext dc(fb);
  dc.setViewportOrigin({3, -2});
  dc.setRop2(kR2Not);
  dc.setBrush(Brush::null());
  auto draw = [&] {
    dc.moveTo({0, 0});
    dc.lineTo({40, 17});
    dc.lineTo({12, 45});
    dc.lineTo({0, 0});
    dc.rectangle({5, 5, 30, 20});
    dc.ellipse({10, 10, 55, 40});
    dc.ellipse({20, 20, 23, 21});
    dc.invertRect({50, 0, 70, 10});
  };
  draw();
  EXPECT_FALSE(fb.samePixels(before)) << "the first pass should change pixels";
  draw();
  EXPECT_TRUE(fb.samePixels(before)) << "inverting twice left traces";
}

TEST(DeviceContext, LinesLeaveOutTheirEndPoint) {
  Framebuffer fb(10, 10);
  DeviceContext dc(fb);
  dc.setPen({kPenSolid, kBlack});
  dc.moveTo({1, 1});
  dc.lineTo({6, 1});
  EXPECT_EQ(countPixels(fb, kBlack), 5);
  EXPECT_EQ(fb.pixel(1, 1), kBlack);
  EXPECT_EQ(fb.pixel(6, 1), kWhite);
  EXPECT_EQ(dc.currentPosition(), (Point{6, 1}));
  // A closed inverted polygon touches each corner exactly once.
  Framebuffer fb2(10, 10);
  DeviceContext inv(fb2);
  inv.setRop2(kR2Not);
  inv.moveTo({1, 1});
  inv.lineTo({8, 1});
  inv.lineTo({8, 8});
  inv.lineTo({1, 8});
  inv.lineTo({1, 1});
  EXPECT_EQ(countPixels(fb2, kBlack), 28);
}

TEST(DeviceContext, RectangleOutlinesWithPenAndFillsWithBrush) {
  Framebuffer fb(10, 10);
  DeviceContext dc(fb);
  dc.setPen({kPenSolid, kBlack});
  dc.setBrush(Brush::solid(kRed));
  dc.rectangle({2, 2, 6, 7});
  EXPECT_EQ(fb.pixel(2, 2), kBlack);
  EXPECT_EQ(fb.pixel(5, 6), kBlack);
  EXPECT_EQ(fb.pixel(6, 6), kWhite) << "right edge is exclusive";
  EXPECT_EQ(countPixels(fb, kRed), 2 * 3);
}

TEST(DeviceContext, PatternBrushTilesFromTheDeviceOrigin) {
  const uint8_t checker[2] = {0x40, 0x80};  // .X / X.
  const Bitmap pattern = Bitmap::monochrome(2, 2, checker);
  ASSERT_TRUE(pattern.isMonochrome());
  Framebuffer fb(6, 6);
  DeviceContext dc(fb);
  dc.setTextColour(kRed);
  dc.setBkColour(kBlack);
  dc.fillRect({1, 1, 5, 5}, Brush::patterned(pattern));
  EXPECT_EQ(fb.pixel(1, 1), kRed) << "clear bit: text colour";
  EXPECT_EQ(fb.pixel(2, 1), kBlack) << "set bit: background colour, tiled from device 0,0";
  EXPECT_EQ(fb.pixel(2, 2), kRed);
  EXPECT_EQ(fb.pixel(0, 0), kWhite);
}

TEST(DeviceContext, ClipRegionLimitsEveryKindOfDrawing) {
  Framebuffer fb(20, 20);
  DeviceContext dc(fb);
  Region clip(Rect{0, 0, 10, 20});
  dc.selectClipRegion(&clip);
  dc.fillRect({0, 0, 20, 20}, Brush::solid(kRed));
  EXPECT_EQ(countPixels(fb, kRed), 200);
  std::vector<uint8_t> black(20 * 20 * 3, 0);
  dc.setPixelsRgb24({0, 0, 20, 20}, black.data(), 60);
  EXPECT_EQ(countPixels(fb, kBlack), 200);
  dc.excludeClipRect({0, 0, 5, 20});
  EXPECT_EQ(dc.clipBox(), (Rect{5, 0, 10, 20}));
  dc.selectClipRegion(nullptr);
  EXPECT_EQ(dc.clipBox(), fb.bounds());
}

TEST(DeviceContext, SetPixelsPlacesRgbBytesAtTheViewportOffset) {
  Framebuffer fb(8, 8);
  DeviceContext dc(fb);
  dc.setViewportOrigin({2, 3});
  const uint8_t block[2 * 8] = {10, 20, 30, 40, 50, 60, 0, 0,   // padded rows
                                70, 80, 90, 1, 2, 3, 0, 0};
  dc.setPixelsRgb24({0, 0, 2, 2}, block, 8);
  EXPECT_EQ(fb.pixel(2, 3), rgb(10, 20, 30));
  EXPECT_EQ(fb.pixel(3, 3), rgb(40, 50, 60));
  EXPECT_EQ(fb.pixel(3, 4), rgb(1, 2, 3));
  EXPECT_EQ(fb.takeDirtyRect(), (Rect{0, 0, 8, 8})) << "a new framebuffer is dirty as a whole";
  dc.setPixelsRgb24({-5, -5, -3, -3}, block, 8);  // wholly outside: nothing, no crash
  EXPECT_TRUE(fb.takeDirtyRect().isEmpty());
}

// Rows of every width from 1 to 40 pixels, from a tight buffer whose last
// row ends at the end of its memory (so a fast path reading ahead would be
// caught by the address sanitizer), clipped at odd places.
class SetPixels : public testing_support::AtEachSimdLevel<> {};

TEST_P(SetPixels, GivesEveryPixelOfRowsOfAnyWidth) {
  for (int32_t width = 1; width <= 40; ++width) {
    Framebuffer fb(50, 4);
    DeviceContext dc(fb);
    std::vector<uint8_t> rgbs(static_cast<size_t>(width * 3 * 3));
    for (size_t i = 0; i < rgbs.size(); ++i) rgbs[i] = static_cast<uint8_t>(i * 37 + width);
    dc.setPixelsRgb24({3, 0, 3 + width, 3}, rgbs.data(), width * 3);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t* p = &rgbs[static_cast<size_t>((y * width + x) * 3)];
        ASSERT_EQ(fb.pixel(3 + x, y), rgb(p[0], p[1], p[2])) << "width " << width << " at " << x << ", " << y;
      }
    EXPECT_EQ(fb.pixel(2, 0), fb.pixel(49, 3)) << "nothing left of the block";
    EXPECT_EQ(fb.pixel(3 + width, 0), fb.pixel(49, 3)) << "nothing right of the block";
  }
}

TESSALY_AT_EACH_SIMD_LEVEL(SetPixels);

TEST(DeviceContext, AContextOutlivingAShrunkFramebufferStaysInside) {
  Framebuffer fb(100, 100);
  DeviceContext dc(fb);
  fb.resize(10, 10);
  dc.fillRect({0, 0, 100, 100}, Brush::solid(kRed));
  dc.setPixel({50, 50}, kRed);
  dc.setPen({kPenSolid, kRed});
  dc.moveTo({0, 0});
  dc.lineTo({99, 99});
  EXPECT_EQ(countPixels(fb, kRed), 100) << "only the remaining pixels are drawn";
}

TEST(DeviceContext, DirtyRectCoversWhatWasDrawn) {
  Framebuffer fb(50, 50);
  fb.takeDirtyRect();
  DeviceContext dc(fb);
  dc.fillRect({10, 10, 20, 15}, Brush::solid(kRed));
  dc.setPixel({30, 40}, kBlack);
  EXPECT_EQ(fb.takeDirtyRect(), (Rect{10, 10, 31, 41}));
}

TEST(DeviceContext, TextDrawsInTheTextColourAndRotates) {
  Framebuffer fb(80, 80);
  DeviceContext dc(fb);
  dc.setBkMode(kBkTransparent);
  dc.setTextColour(kBlack);
  const Size extent = dc.textExtent("Keep");
  ASSERT_GT(extent.cx, extent.cy / 2) << "fonts are missing";
  dc.textOut({2, 2}, "Keep");
  EXPECT_GT(countPixels(fb, kBlack), 5);
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 80; ++x)
      if (fb.pixel(x, y) == kBlack) {
        ASSERT_LT(x, 2 + extent.cx + 1) << "text ran past its extent";
      }

  Framebuffer rotated(80, 80);
  DeviceContext rdc(rotated);
  rdc.setBkMode(kBkTransparent);
  Font font;
  font.bold = true;
  font.escapement = 900;
  rdc.setFont(font);
  rdc.textOut({10, 70}, "Keep");
  int minY = 80, maxX = 0;
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 80; ++x)
      if (rotated.pixel(x, y) == kBlack) minY = std::min(minY, y), maxX = std::max(maxX, x);
  EXPECT_LT(minY, 70 - extent.cx / 2) << "rotated text should run upwards";
  EXPECT_LE(maxX, 10 + font.height + 1) << "rotated text lies right of the point, one line high";
}

TEST(DeviceContext, RaisedAndSunkenEdgesMirrorEachOther) {
  Framebuffer fb(20, 20);
  DeviceContext dc(fb);
  dc.drawEdge({0, 0, 10, 10}, kEdgeRaised);
  dc.drawEdge({10, 10, 20, 20}, kEdgeSunken);
  EXPECT_NE(fb.pixel(0, 0), fb.pixel(9, 9));
  EXPECT_EQ(fb.pixel(0, 5), fb.pixel(18, 15)) << "raised outer light is sunken inner light";
  EXPECT_EQ(fb.pixel(8, 8), fb.pixel(10, 12)) << "raised inner shadow is sunken outer shadow";
}

}  // namespace
}  // namespace platform
