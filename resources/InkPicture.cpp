#include "resources/InkPicture.h"

platform::Bitmap bitmapOfInkPicture(const std::vector<std::string>& rows, std::span<const Ink> palette) {
  const auto width = static_cast<int32_t>(rows.front().size());
  const auto height = static_cast<int32_t>(rows.size());
  std::vector<uint8_t> rgba;
  rgba.reserve(static_cast<size_t>(width) * height * 4);
  for (const std::string& row : rows) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t r = 0, g = 0, b = 0, a = 0;
      for (const Ink& ink : palette)
        if (ink.key == row[static_cast<size_t>(x)]) r = ink.r, g = ink.g, b = ink.b, a = 255;
      rgba.insert(rgba.end(), {r, g, b, a});
    }
  }
  return platform::Bitmap::fromRgba32(width, height, rgba.data(), width * 4);
}
