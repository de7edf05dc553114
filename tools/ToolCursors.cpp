// The cursors of the tool catalogue, drawn here as 16 × 16 pictures and
// registered as cursor resources when the library loads, and the toolbox's
// icons: the same pictures, and the keep-mode switch.
//
// Pictures are rows of characters: '#' black, '.' white, 'g' green and 'r'
// red (the eyedroppers' keep and drop marks), anything else transparent.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Cursor.h"
#include "platform/Resources.h"
#include "tools/ToolRegistry.h"

namespace {

using Picture = std::array<const char*, 16>;

constexpr Picture kHand = {
    "      ##        ", "   ## #..###    ", "  #..##..#..#   ", "  #..##..#..# # ",
    "   #..#..#..##.#", "   #..#..#..#..#", " ## #.......#..#", "#..##..........#",
    "#...#.........# ", " #............# ", "  #...........# ", "  #..........#  ",
    "   #.........#  ", "    #........#  ", "     #.......#  ", "     #.......#  ",
};
constexpr Picture kGrab = {
    "                ", "                ", "                ", "    ## ## ##    ",
    "   #..#..#..##  ", "   #.........#.#", "    #..........#", "   ##..........#",
    "  #...........# ", "  #...........# ", "  #..........#  ", "   #.........#  ",
    "    #........#  ", "     #.......#  ", "     #.......#  ", "                ",
};
constexpr Picture kZoomIn = {
    "    ####        ", "  ##....##      ", " #........#     ", " #...##...#     ",
    "#....##....#    ", "#..######..#    ", "#..######..#    ", "#....##....#    ",
    " #...##...#     ", " #........#     ", "  ##....####    ", "    #### ###    ",
    "          ###   ", "           ###  ", "            ### ", "             ## ",
};
constexpr Picture kZoomOut = {
    "    ####        ", "  ##....##      ", " #........#     ", " #........#     ",
    "#..........#    ", "#..######..#    ", "#..######..#    ", "#..........#    ",
    " #........#     ", " #........#     ", "  ##....####    ", "    #### ###    ",
    "          ###   ", "           ###  ", "            ### ", "             ## ",
};
constexpr Picture kNavigator = {
    "       #        ", "       #        ", "       #        ", "       #        ",
    "       #        ", "                ", "      ...       ", "#####.. ..######",
    "      ...       ", "                ", "       #        ", "       #        ",
    "       #        ", "       #        ", "       #        ", "                ",
};

constexpr Picture kDropper = {
    "            ### ", "           #...#", "          #....#", "        # #...# ",
    "        ##...#  ", "       #.#..#   ", "      #...##    ", "     #...# #    ",
    "    #...#       ", "   #...#        ", "  #...#         ", " #...#          ",
    " #..#           ", "#.##            ", "#.#             ", " #              ",
};
constexpr Picture kPencil = {
    "           ##   ", "          #..#  ", "         #....# ", "        #....#  ",
    "       #....#   ", "      #....#    ", "     #....#     ", "    #....#      ",
    "   #....#       ", "  #....#        ", " ##...#         ", " #.#.#          ",
    "#..##           ", "#..#            ", "###             ", "                ",
};
constexpr Picture kBucket = {
    "      ##        ", "     #..#       ", "    #.##.#      ", "   #.#  #.#     ",
    "  #.#####..#    ", " #..........#   ", "#............#  ", " #..........### ",
    "  #........#.## ", "   #......# .## ", "    #....#  .## ", "     #..#    ## ",
    "      ##     #  ", "                ", "                ", "                ",
};
constexpr Picture kWand = {
    "   #   #        ", "    # #         ", "  ## . ##       ", "    # #         ",
    "   #  ##        ", "       #.#      ", "        #.#     ", "         #.#    ",
    "          #.#   ", "           #.#  ", "            #.# ", "             #.#",
    "              ##", "                ", "                ", "                ",
};
constexpr Picture kCross = {
    "       #        ", "       #        ", "       #        ", "       #        ",
    "                ", "                ", "       .        ", "####  ...  #####",
    "       .        ", "                ", "                ", "       #        ",
    "       #        ", "       #        ", "       #        ", "                ",
};
constexpr Picture kPenNib = {
    "       #        ", "       #        ", "      #.#       ", "      #.#       ",
    "     #...#      ", "     #.#.#      ", "    #.. ..#     ", "    #.....#     ",
    "   #.......#    ", "   #.......#    ", "    #.....#     ", "     #####      ",
    "     #...#      ", "     #####      ", "                ", "                ",
};

using Rows = std::array<std::string, 16>;

Rows rowsOf(const Picture& picture) {
  Rows rows;
  for (int y = 0; y < 16; ++y) rows[y] = picture[y];
  return rows;
}

// A picture with a mark over its bottom-right 5 × 5 corner.
Rows withMark(const Picture& base, const char* const (&mark)[5]) {
  Rows rows = rowsOf(base);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x)
      if (mark[y][x] != ' ') rows[11 + y][11 + x] = mark[y][x];
  return rows;
}

constexpr const char* kPlus[5] = {"  g  ", "  g  ", "ggggg", "  g  ", "  g  "};
constexpr const char* kDot[5] = {"     ", " ggg ", " ggg ", " ggg ", "     "};
constexpr const char* kMinus[5] = {"     ", "     ", "rrrrr", "     ", "     "};
constexpr const char* kRedDot[5] = {"     ", " rrr ", " rrr ", " rrr ", "     "};
constexpr const char* kStar[5] = {"# # #", " ### ", "#####", " ### ", "# # #"};
constexpr const char* kAdd[5] = {"  #  ", "  #  ", "#####", "  #  ", "  #  "};
constexpr const char* kSub[5] = {"     ", "     ", "#####", "     ", "     "};
constexpr const char* kRing[5] = {" ### ", "#   #", "#   #", "#   #", " ### "};
constexpr const char* kCorner[5] = {"#####", "#    ", "#    ", "#    ", "#    "};

// The picture as 16 × 16 RGBA pixels.
std::vector<uint8_t> pixelsOf(const Rows& picture) {
  std::vector<uint8_t> rgba;
  rgba.reserve(16 * 16 * 4);
  for (const std::string& row : picture) {
    for (int x = 0; x < 16; ++x) {
      const char c = row[x];
      const uint8_t red = c == '.' || c == 'r' ? 255 : 0;
      const uint8_t green = c == '.' ? 255 : c == 'g' ? 170 : 0;
      const uint8_t blue = c == '.' ? 255 : 0;
      const uint8_t alpha = c == '#' || c == '.' || c == 'g' || c == 'r' ? 255 : 0;
      rgba.insert(rgba.end(), {red, green, blue, alpha});
    }
  }
  return rgba;
}

void add(int32_t id, const Rows& picture, platform::Point hotSpot) {
  const std::vector<uint8_t> rgba = pixelsOf(picture);
  platform::registerCursor(id, platform::Bitmap::fromRgba32(16, 16, rgba.data(), 16 * 4), hotSpot);
}

void add(int32_t id, const Picture& picture, platform::Point hotSpot) { add(id, rowsOf(picture), hotSpot); }

// A toolbox icon, 32 × 32: the picture in its middle, or (the keep-mode
// switch, whose button is larger) with every pixel doubled.
void addIcon(int32_t id, const Rows& picture, bool doubled = false) {
  const std::vector<uint8_t> small = pixelsOf(picture);
  std::vector<uint8_t> large(32 * 32 * 4, 0);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const int sy = doubled ? y / 2 : y - 8, sx = doubled ? x / 2 : x - 8;
      if (sy < 0 || sy >= 16 || sx < 0 || sx >= 16) continue;
      for (int c = 0; c < 4; ++c) large[(y * 32 + x) * 4 + c] = small[(sy * 16 + sx) * 4 + c];
    }
  platform::resources::registerIcon(id, platform::Bitmap::fromRgba32(32, 32, large.data(), 32 * 4));
}

void addIcon(int32_t id, const Picture& picture, bool doubled = false) { addIcon(id, rowsOf(picture), doubled); }

// The keep-mode switch: a filled disc for keep (green), an empty ring for
// drop (red).
constexpr Picture kKeepMode = {
    "                ", "                ", "     ######     ", "    #gggggg#    ",
    "   #gggggggg#   ", "  #gggggggggg#  ", "  #gggggggggg#  ", "  #gggggggggg#  ",
    "  #gggggggggg#  ", "  #gggggggggg#  ", "  #gggggggggg#  ", "   #gggggggg#   ",
    "    #gggggg#    ", "     ######     ", "                ", "                ",
};
constexpr Picture kDropMode = {
    "                ", "                ", "     ######     ", "    #rrrrrr#    ",
    "   #r......r#   ", "  #r........r#  ", "  #r........r#  ", "  #r........r#  ",
    "  #r........r#  ", "  #r........r#  ", "  #r........r#  ", "   #r......r#   ",
    "    #rrrrrr#    ", "     ######     ", "                ", "                ",
};

struct CursorRegistrar {
  CursorRegistrar() {
    add(kToolHand, kHand, {8, 8});
    add(kCursorHandGrab, kGrab, {8, 8});
    add(kToolZoom, kZoomIn, {5, 5});
    add(kCursorZoomOut, kZoomOut, {5, 5});
    add(kToolNavigator, kNavigator, {7, 7});
    // The mask engine's tools (their owners may register their own).
    add(kToolKeepEyedropper, withMark(kDropper, kDot), {0, 15});
    add(kCursorKeepEyedropperShift, withMark(kDropper, kPlus), {0, 15});
    add(kToolDropEyedropper, withMark(kDropper, kRedDot), {0, 15});
    add(kCursorDropEyedropperShift, withMark(kDropper, kMinus), {0, 15});
    add(kToolMagicBrush, withMark(kCross, kStar), {7, 7});
    add(kToolPencil, kPencil, {0, 14});
    add(kToolMagicBucket, withMark(kBucket, kStar), {13, 12});
    add(kToolBucket, kBucket, {13, 12});
    add(kToolMagicWand, kWand, {4, 2});
    add(kToolBrush, kCross, {7, 7});
    add(kToolPen, kPenNib, {7, 0});
    add(3301, withMark(kPenNib, kAdd), {7, 0});
    add(kToolEdgeFill, withMark(kPenNib, kCorner), {7, 0});
    add(3303, withMark(kPenNib, kSub), {7, 0});
    add(3304, withMark(kPenNib, kRing), {7, 0});

    addIcon(kToolKeepEyedropper, withMark(kDropper, kDot));
    addIcon(kToolDropEyedropper, withMark(kDropper, kRedDot));
    addIcon(kToolMagicBrush, withMark(kCross, kStar));
    addIcon(kToolPencil, kPencil);
    addIcon(kToolMagicBucket, withMark(kBucket, kStar));
    addIcon(kToolBucket, kBucket);
    addIcon(kToolMagicWand, kWand);
    addIcon(kToolBrush, kCross);
    addIcon(kToolPen, kPenNib);
    addIcon(kToolHand, kHand);
    addIcon(kToolZoom, kZoomIn);
    addIcon(kIconKeepModeOn, kKeepMode, true);
    addIcon(kIconKeepModeOff, kDropMode, true);
  }
} gCursorRegistrar;

}  // namespace
