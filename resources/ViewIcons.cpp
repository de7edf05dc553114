// The icons of the buttons beside the main view: the display modes (205 to
// 207) and the channel strip (the composite 204, one per channel 208 to 214
// and 232), drawn here as 12 × 12 pictures and registered when the library
// loads.
//
// A picture is rows of characters, each a colour of the palette below; a
// space is transparent.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Resources.h"
#include "resources/InkPicture.h"

namespace {

constexpr int kSize = 12;
using Picture = std::array<const char*, kSize>;

constexpr Ink kPalette[] = {
    {'#', 0, 0, 0},       {'.', 255, 255, 255}, {'-', 128, 128, 128}, {'+', 192, 192, 192},
    {'r', 220, 0, 0},     {'g', 0, 170, 0},     {'b', 0, 0, 220},     {'c', 0, 180, 220},
    {'m', 210, 0, 160},   {'y', 235, 210, 0},   {'k', 40, 40, 40},    {'o', 255, 150, 150},
};

void add(int id, const std::vector<std::string>& picture) {
  platform::resources::registerIcon(id, bitmapOfInkPicture(picture, kPalette));
}

// The image with the mask over it: the kept shape in colour, the dropped
// surroundings tinted.
constexpr Picture kImageWithMask = {
    "############", "#oooooooooo#", "#ooooyyoooo#", "#oooyyyyooo#", "#ooyyggyyoo#", "#ooyggggyoo#",
    "#oyyggggyyo#", "#oyyyggyyyo#", "#ooyyyyyyoo#", "#oooyyyyooo#", "#oooooooooo#", "############",
};
// The mask being edited, as grey.
constexpr Picture kMaskAsGrey = {
    "############", "#kkkkkkkkkk#", "#kkkk..kkkk#", "#kkk....kkk#", "#kk......kk#", "#kk......kk#",
    "#k........k#", "#k........k#", "#kk......kk#", "#kkk....kkk#", "#kkkkkkkkkk#", "############",
};
// The document's original coverage, as grey: softer, with a grey rim.
constexpr Picture kCoverageAsGrey = {
    "############", "#kkkkkkkkkk#", "#kkkk--kkkk#", "#kkk-++-kkk#", "#kk-+..+-kk#", "#kk+....+kk#",
    "#k-+....+-k#", "#k-+....+-k#", "#kk-+..+-kk#", "#kkk-++-kkk#", "#kkkkkkkkkk#", "############",
};
// The composite: the three primaries side by side.
constexpr Picture kComposite = {
    "############", "#rrrggggbbb#", "#rrrggggbbb#", "#rrrggggbbb#", "#rrrggggbbb#", "#rrrggggbbb#",
    "#rrrggggbbb#", "#rrrggggbbb#", "#rrrggggbbb#", "#rrrggggbbb#", "#rrrggggbbb#", "############",
};
// Lightness: a ramp from black to white.
constexpr Picture kLightness = {
    "############", "#kkk--++...#", "#kkk--++...#", "#kkk--++...#", "#kkk--++...#", "#kkk--++...#",
    "#kkk--++...#", "#kkk--++...#", "#kkk--++...#", "#kkk--++...#", "#kkk--++...#", "############",
};

void add(int id, const Picture& picture) { add(id, std::vector<std::string>(picture.begin(), picture.end())); }

// One channel: a swatch of its ink, outlined in black.
std::vector<std::string> channel(char ink) {
  std::vector<std::string> rows(kSize, std::string(kSize, '#'));
  for (int y = 1; y < kSize - 1; ++y) rows[y] = '#' + std::string(kSize - 2, ink) + '#';
  return rows;
}

struct IconRegistrar {
  IconRegistrar() {
    add(204, kComposite);
    add(205, kImageWithMask);
    add(206, kMaskAsGrey);
    add(207, kCoverageAsGrey);
    add(232, kLightness);
    const std::pair<int, char> channels[] = {{208, 'r'}, {209, 'b'}, {210, 'g'}, {211, 'c'},
                                             {212, 'm'}, {213, 'y'}, {214, 'k'}};
    for (const auto& [id, ink] : channels) add(id, channel(ink));
  }
};

const IconRegistrar kIcons;

}  // namespace
