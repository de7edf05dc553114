// The display service's rendering, byte for byte against a plain
// pixel-by-pixel rendering: every mode, interleaved and planar pixel maps,
// no mask, one mask and mask chains, soft and hard coverage, odd widths and
// checkerboard phases.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "host/ColourConversion.h"
#include "host/Document.h"
#include "host/HostServices.h"
#include "tests/support/SimdLevels.h"

namespace {

using host::HostServices;

// One pixel at a time through the colour services, the coverage chain and
// the checkerboard blend divided out in full.
std::vector<uint8_t> plainRendering(const HostPixelMap& map, const HostRect32& area) {
  const int16_t mode = static_cast<int16_t>(map.imageMode);
  const int channels = host::colourChannelCount(mode);
  const int16_t space = host::colourSpaceOfMode(mode);
  std::vector<uint8_t> rgb;
  for (int32_t y = area.top; y < area.bottom; ++y)
    for (int32_t x = area.left; x < area.right; ++x) {
      const int64_t my = y - map.bounds.top, mx = x - map.bounds.left;
      const auto* base = static_cast<const uint8_t*>(map.baseAddr);
      int16_t c[4] = {0, 0, 0, 0};
      for (int i = 0; i < channels; ++i) c[i] = base[my * map.rowBytes + mx * map.colBytes + i * int64_t{map.planeBytes}];
      host::convertColour(space, 0, c);
      int coverage = 255;
      for (const HostPixelMask* m = map.masks; m != nullptr; m = m->next)
        if (m->maskData != nullptr)
          coverage = coverage * static_cast<const uint8_t*>(m->maskData)[my * m->rowBytes + mx * m->colBytes] / 255;
      const int64_t cy = my + int64_t{map.maskPhaseRow}, cx = mx + int64_t{map.maskPhaseCol};
      const int square = ((cy >> 3) + (cx >> 3)) % 2 == 0 ? 255 : 204;
      for (int i = 0; i < 3; ++i)
        rgb.push_back(map.masks == nullptr
                          ? static_cast<uint8_t>(c[i])
                          : static_cast<uint8_t>((c[i] * coverage + square * (255 - coverage) + 127) / 255));
    }
  return rgb;
}

// Coverage with long opaque and transparent runs and soft stretches between.
std::vector<uint8_t> coverageBytes(size_t count, std::mt19937& random) {
  std::vector<uint8_t> bytes(count);
  size_t i = 0;
  while (i < count) {
    const size_t run = std::min<size_t>(count - i, 1 + random() % 40);
    const int kind = static_cast<int>(random() % 3);
    for (size_t j = 0; j < run; ++j, ++i)
      bytes[i] = kind == 0 ? 255 : kind == 1 ? 0 : static_cast<uint8_t>(random());
  }
  return bytes;
}

struct Layout {
  const char* name;
  bool planar;
  int extraBytes;  // unused bytes after each interleaved pixel
};

class DisplayPixelsAtEachLevel : public testing_support::AtEachSimdLevel<> {};

TEST_P(DisplayPixelsAtEachLevel, RendersEveryModeLayoutAndMaskChainLikeThePlainRendering) {
  std::mt19937 random(7);
  const int32_t width = 53, height = 11;
  for (int16_t mode : {host::kModeGrey, host::kModeRGB, host::kModeCMYK, host::kModeLab})
    for (const Layout& layout : {Layout{"interleaved", false, 0}, Layout{"padded", false, 1}, Layout{"planar", true, 0}})
      for (int masks = 0; masks <= 3; ++masks) {
        const int channels = host::colourChannelCount(mode);
        const int colBytes = layout.planar ? 1 : channels + layout.extraBytes;
        std::vector<uint8_t> pixels(static_cast<size_t>(width * height * (layout.planar ? channels : colBytes)));
        for (uint8_t& b : pixels) b = static_cast<uint8_t>(random());
        // Masks: 1 one plain mask, 2 one mask two bytes per pixel, 3 a chain with an empty link.
        const int maskStep = masks == 2 ? 2 : 1;
        std::vector<uint8_t> first = coverageBytes(static_cast<size_t>(width * height * maskStep), random);
        std::vector<uint8_t> second = coverageBytes(static_cast<size_t>(width * height), random);
        HostPixelMask last{nullptr, second.data(), width, 1, 0};
        HostPixelMask empty{&last, nullptr, 0, 0, 0};
        HostPixelMask head{masks == 3 ? &empty : nullptr, first.data(), width * maskStep, maskStep, 0};
        HostPixelMap map{};
        map.version = 1;
        map.bounds = {-5, -9, height - 5, width - 9};  // negative coordinates move the squares' phase
        map.imageMode = mode;
        map.rowBytes = layout.planar ? width : width * colBytes;
        map.colBytes = colBytes;
        map.planeBytes = layout.planar ? width * height : 1;
        map.baseAddr = pixels.data();
        map.masks = masks == 0 ? nullptr : &head;
        map.maskPhaseRow = 3;
        map.maskPhaseCol = -2;
        for (const HostRect32 area : {map.bounds, HostRect32{-4, -6, 3, 40}}) {
          host::DisplayedPixels out;
          ASSERT_TRUE(HostServices::renderPixelMap(map, area, out));
          const std::vector<uint8_t> expected = plainRendering(map, area);
          ASSERT_EQ(out.rgb.size(), expected.size());
          size_t firstDifference = 0;
          while (firstDifference < expected.size() && out.rgb[firstDifference] == expected[firstDifference])
            ++firstDifference;
          EXPECT_EQ(firstDifference, expected.size())
              << "mode " << mode << ", " << layout.name << " pixels, mask case " << masks << ", area left "
              << area.left << ": byte " << firstDifference << " differs";
        }
      }
}

TESSALY_AT_EACH_SIMD_LEVEL(DisplayPixelsAtEachLevel);

// A view draws piece after piece, each map's bounds its window rectangle and
// its phase that rectangle's top-left: the squares must run on across the
// pieces' edges as if the whole had been drawn at once.
TEST(DisplayPixels, PiecesDrawnOneByOneLineTheirSquaresUpWithTheWhole) {
  const int32_t width = 300, height = 40;
  std::vector<uint8_t> grey(static_cast<size_t>(width * height), 90);
  std::vector<uint8_t> coverage(grey.size(), 0);
  auto render = [&](HostRect32 rect) {
    HostPixelMask mask{nullptr, coverage.data() + rect.top * width + rect.left, width, 1, 0};
    HostPixelMap map{};
    map.version = 1;
    map.bounds = rect;
    map.imageMode = host::kModeGrey;
    map.rowBytes = width;
    map.colBytes = 1;
    map.planeBytes = 1;
    map.baseAddr = grey.data() + rect.top * width + rect.left;
    map.masks = &mask;
    map.maskPhaseRow = rect.top;
    map.maskPhaseCol = rect.left;
    host::DisplayedPixels out;
    EXPECT_TRUE(HostServices::renderPixelMap(map, rect, out));
    return out.rgb;
  };
  const std::vector<uint8_t> whole = render({0, 0, height, width});
  for (const int32_t split : {1, 7, 8, 13, 252, 299}) {
    for (const HostRect32 piece : {HostRect32{0, 0, height, split}, HostRect32{0, split, height, width}, HostRect32{21, split, height, width}}) {
      const std::vector<uint8_t> drawn = render(piece);
      for (int32_t y = piece.top; y < piece.bottom; ++y)
        for (int32_t x = piece.left; x < piece.right; ++x) {
          const size_t at = static_cast<size_t>((y - piece.top) * (piece.right - piece.left) + (x - piece.left)) * 3;
          ASSERT_EQ(drawn[at], whole[static_cast<size_t>(y * width + x) * 3])
              << "pixel (" << x << ", " << y << ") of a piece from (" << piece.left << ", " << piece.top << ")";
        }
    }
  }
}

}  // namespace
