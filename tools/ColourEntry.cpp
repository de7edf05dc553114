#include "tools/ColourEntry.h"

#include <algorithm>

#include "image/HostImage.h"

namespace {

constexpr std::array<int16_t, 12> kBytesPerPixel = {1, 1, 1, 3, 4, 3, 3, 1, 1, 3, 2, 6};

int16_t loadLittleEndian16(const uint8_t* bytes) {
  return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
}

void storeLittleEndian16(uint8_t* bytes, int16_t value) {
  const auto bits = static_cast<uint16_t>(value);
  bytes[0] = static_cast<uint8_t>(bits);
  bytes[1] = static_cast<uint8_t>(bits >> 8);
}

}  // namespace

ColourEntry ColourEntry::Picked(PixelFormat format, const uint8_t* bytes) {
  ColourEntry entry;
  entry.size = format.channels;
  entry.mode = format.mode;
  std::copy_n(bytes, std::clamp<int>(format.channels, 0, 4), entry.channels.begin());
  return entry;
}

int16_t ColourEntry::BytesPerPixelOfMode(int16_t mode) {
  if (mode < 0 || mode > kLastMode) return 0;
  return kBytesPerPixel[static_cast<size_t>(mode)];
}

int ColourEntry::ChannelCount() const { return std::min<int>(BytesPerPixelOfMode(mode), 4); }

std::optional<ClassifierColour> ColourEntry::InFormat(PixelFormat format) const {
  if (!IsColour()) return std::nullopt;
  const PixelLayout from{static_cast<int16_t>(ChannelCount()), mode};
  const PixelLayout to{std::clamp<int16_t>(format.channels, 1, 4), format.mode};
  std::array<uint8_t, 4> converted{};
  if (convertColour(from, channels.data(), to, converted.data()) != 0) return std::nullopt;
  ClassifierColour colour{};
  for (int c = 0; c < to.bytesPerPixel; ++c) colour[static_cast<size_t>(c)] = converted[static_cast<size_t>(c)];
  return colour;
}

ColourEntry ColourEntry::Read(const uint8_t* bytes) {
  ColourEntry entry;
  entry.size = loadLittleEndian16(bytes);
  entry.mode = loadLittleEndian16(bytes + 2);
  std::copy_n(bytes + 4, 4, entry.channels.begin());
  return entry;
}

void ColourEntry::Write(uint8_t* bytes) const {
  storeLittleEndian16(bytes, size);
  storeLittleEndian16(bytes + 2, mode);
  std::copy(channels.begin(), channels.end(), bytes + 4);
}

std::optional<ColourEntry> ColourEntry::ReadBlock(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kBytes) return std::nullopt;
  return Read(data);
}
