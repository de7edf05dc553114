// The toolbox's title strip, bitmap 188: the name in a 5 × 7 pixel face,
// white on a blue that darkens downwards, 51 × 22 pixels.
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Resources.h"

namespace {

constexpr int kWidth = 51, kHeight = 22;
constexpr int kTitleBitmap = 188;

struct Glyph {
  char letter;
  std::array<const char*, 7> rows;
};

constexpr Glyph kGlyphs[] = {
    {'T', {"#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
    {'S', {" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "}},
    {'A', {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'L', {"#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"}},
    {'Y', {"#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "}},
};

const Glyph* glyphOf(char letter) {
  for (const Glyph& glyph : kGlyphs)
    if (glyph.letter == letter) return &glyph;
  return nullptr;
}

platform::Bitmap drawTitle() {
  std::vector<uint8_t> rgb(kWidth * kHeight * 3);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &rgb[(y * kWidth + x) * 3];
      p[0] = 20;
      p[1] = static_cast<uint8_t>(60 - y);
      p[2] = static_cast<uint8_t>(170 - 3 * y);
    }
  constexpr std::string_view kName = "TESSALY";
  const int left = (kWidth - static_cast<int>(kName.size()) * 6 + 1) / 2, top = (kHeight - 7) / 2;
  for (size_t i = 0; i < kName.size(); ++i) {
    const Glyph* glyph = glyphOf(kName[i]);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 5; ++x)
        if (glyph->rows[y][x] == '#') {
          uint8_t* p = &rgb[((top + y) * kWidth + left + static_cast<int>(i) * 6 + x) * 3];
          p[0] = p[1] = p[2] = 255;
        }
  }
  return platform::Bitmap::fromRgb24(kWidth, kHeight, rgb.data(), kWidth * 3);
}

const bool kRegistered = [] {
  platform::resources::registerBitmap(kTitleBitmap, drawTitle());
  return true;
}();

}  // namespace
