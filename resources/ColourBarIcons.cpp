// The pictures of the keep and drop bars, registered when the library
// loads:
//
//   icons 166 to 169   the set column's marks: a ticked box for a selected
//                      set, an empty one for a set that is not (drop list
//                      166 and 167 in red, keep list 168 and 169 in green)
//   icons 173, 182     new set (keep, drop): three swatches and a plus
//   icons 185, 184     new colour (keep, drop): one swatch and a plus
//   icon 183           delete: a cross
//   bitmaps 170, 186   8 × 8 hatches that fill an empty entry's swatch
//                      (keep "/", drop "\"): monochrome, so the clear bits
//                      take the drawing's text colour and the set bits its
//                      background colour
//
// A picture is rows of characters, each a colour of the palette below; a
// space is transparent.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Resources.h"
#include "resources/InkPicture.h"

namespace {

using Picture = std::vector<std::string>;

constexpr Ink kPalette[] = {
    {'#', 0, 0, 0},   {'.', 255, 255, 255}, {'-', 128, 128, 128}, {'g', 0, 160, 0},
    {'G', 0, 100, 0}, {'r', 215, 0, 0},     {'R', 130, 0, 0},
};

void addIcon(int id, const Picture& picture) {
  platform::resources::registerIcon(id, bitmapOfInkPicture(picture, kPalette));
}

// Every ink letter `from` of a picture becomes `to` (the keep pictures in
// green give the drop ones in red).
Picture recoloured(Picture picture, char from, char to) {
  for (std::string& row : picture)
    for (char& c : row)
      if (c == from) c = to;
  return picture;
}

// 12 × 12: the set column shows them 5 pixels in from its left edge and 4
// down from the set's top.
const Picture kTicked = {
    "-----------.", "-.........#.", "-........g#.", "-.......gG#.", "-.g....gG.#.", "-.gG..gG..#.",
    "-..gGgG...#.", "-...gG....#.", "-.........#.", "-.........#.", "-##########.", "............",
};
const Picture kUnticked = {
    "-----------.", "-.........#.", "-.........#.", "-.........#.", "-.........#.", "-.........#.",
    "-.........#.", "-.........#.", "-.........#.", "-.........#.", "-##########.", "............",
};

// 15 × 11, on buttons of 23 × 17.
const Picture kNewSet = {
    "#####          ", "#ggg#          ", "#####          ", "               ", "#####      #   ",
    "#ggg#      #   ", "#####    ##### ", "           #   ", "#####      #   ", "#ggg#          ",
    "#####          ",
};
const Picture kNewColour = {
    "               ", "               ", "               ", "               ", "#####      #   ",
    "#ggg#      #   ", "#ggg#    ##### ", "#ggg#      #   ", "#####      #   ", "               ",
    "               ",
};
const Picture kDelete = {
    "               ", "    ##     ##  ", "     ##   ##   ", "      ## ##    ", "       ###     ",
    "       ###     ", "      ## ##    ", "     ##   ##   ", "    ##     ##  ", "               ",
    "               ",
};

// Clear bits draw the hatch's lines, set bits its ground.
platform::Bitmap hatch(bool rising) {
  uint8_t rows[8];
  for (int y = 0; y < 8; ++y) {
    rows[y] = 0xFF;
    for (int x = 0; x < 8; ++x) {
      const bool line = rising ? (x + y) % 4 == 3 : (x - y + 8) % 4 == 0;
      if (line) rows[y] = static_cast<uint8_t>(rows[y] & ~(0x80 >> x));
    }
  }
  return platform::Bitmap::monochrome(8, 8, rows);
}

struct Registrar {
  Registrar() {
    addIcon(168, kTicked);
    addIcon(169, kUnticked);
    addIcon(166, recoloured(recoloured(kTicked, 'g', 'r'), 'G', 'R'));
    addIcon(167, kUnticked);
    addIcon(173, kNewSet);
    addIcon(182, recoloured(kNewSet, 'g', 'r'));
    addIcon(185, kNewColour);
    addIcon(184, recoloured(kNewColour, 'g', 'r'));
    addIcon(183, kDelete);
    platform::resources::registerBitmap(170, hatch(true));
    platform::resources::registerBitmap(186, hatch(false));
  }
};

const Registrar kRegistered;

}  // namespace
