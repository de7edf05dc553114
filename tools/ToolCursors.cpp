// The cursors of the tool catalogue, drawn here as 16 × 16 pictures and
// registered as cursor resources when the library loads.
//
// Pictures are rows of characters: '#' black, '.' white, 'g' green and 'r'
// red (the eyedroppers' keep and drop marks), anything else transparent. They reach the platform as PNG images, written here with
// stored (uncompressed) deflate blocks, which every PNG reader takes.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Cursor.h"
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

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  put32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put32(out, crc32(out.data() + start, out.size() - start));
}

// A 16 × 16 RGBA PNG of the picture.
std::vector<uint8_t> encode(const Rows& picture) {
  std::vector<uint8_t> raw;
  for (const std::string& row : picture) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < 16; ++x) {
      const char c = row[x];
      const uint8_t red = c == '.' || c == 'r' ? 255 : 0;
      const uint8_t green = c == '.' ? 255 : c == 'g' ? 170 : 0;
      const uint8_t blue = c == '.' ? 255 : 0;
      const uint8_t alpha = c == '#' || c == '.' || c == 'g' || c == 'r' ? 255 : 0;
      raw.insert(raw.end(), {red, green, blue, alpha});
    }
  }
  std::vector<uint8_t> z = {0x78, 0x01, 0x01};  // one final stored block
  const auto length = static_cast<uint16_t>(raw.size());
  z.insert(z.end(), {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(~length),
                     static_cast<uint8_t>(~length >> 8)});
  z.insert(z.end(), raw.begin(), raw.end());
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) a = (a + byte) % 65521, b = (b + a) % 65521;
  put32(z, (b << 16) | a);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> header;
  put32(header, 16);
  put32(header, 16);
  header.insert(header.end(), {8, 6, 0, 0, 0});
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", {});
  return png;
}

void add(int32_t id, const Rows& picture, platform::Point hotSpot) {
  const std::vector<uint8_t> png = encode(picture);
  platform::registerCursor(id, platform::Bitmap::fromEncoded(png.data(), png.size()), hotSpot);
}

void add(int32_t id, const Picture& picture, platform::Point hotSpot) { add(id, rowsOf(picture), hotSpot); }

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
  }
} gCursorRegistrar;

}  // namespace
