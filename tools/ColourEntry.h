// A picked colour as the keep and drop lists, workspace files and drag
// payloads hold it: 8 bytes, the same everywhere.
//
//   offset 0  i16  bytes per pixel of the mode (8 for the empty entry)
//   offset 2  i16  host image mode the colour was picked in, 0 to 11;
//                  -32768 marks the empty entry
//   offset 4  4 × u8  channel values in the host's order for that mode
//                  (grey 1, RGB and Lab 3, CMYK 4); the rest carry nothing
//
// Integers are little-endian. An entry is a colour exactly when its mode
// lies in 0..11; anything else is an empty slot, shown as a placeholder and
// ignored by the classifier. The size field is kept as it came, but nothing
// trusts it: how many channel bytes count is always taken from the mode.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "tools/ColourClassifier.h"

// The drag-and-drop format of one entry (exactly one ColourEntry).
inline constexpr const char* kColourFormatName = "Corvane Tessaly Colour";

struct ColourEntry {
  static constexpr size_t kBytes = 8;
  static constexpr int16_t kEmptySize = 8;
  static constexpr int16_t kEmptyMode = INT16_MIN;
  static constexpr int16_t kLastMode = 11;

  int16_t size = kEmptySize;
  int16_t mode = kEmptyMode;
  std::array<uint8_t, 4> channels{};

  friend bool operator==(const ColourEntry&, const ColourEntry&) = default;

  // An empty slot of a set.
  static ColourEntry Empty() { return {}; }
  // A colour picked in a working format: its size and mode, `format.channels`
  // bytes from `bytes`.
  static ColourEntry Picked(PixelFormat format, const uint8_t* bytes);

  bool IsColour() const { return mode >= 0 && mode <= kLastMode; }
  // Bytes per pixel of a host mode 0..11 (1, 1, 1, 3, 4, 3, 3, 1, 1, 3, 2, 6);
  // 0 for any other value.
  static int16_t BytesPerPixelOfMode(int16_t mode);
  // The channel bytes that carry the colour: those of its mode, at most 4;
  // 0 for an empty entry.
  int ChannelCount() const;

  // The colour in the working format through the host's colour service
  // (bytes copied when the modes agree). None for an empty entry and when
  // the host cannot convert it.
  std::optional<ClassifierColour> InFormat(PixelFormat format) const;

  // The 8 bytes of files and drag payloads.
  static ColourEntry Read(const uint8_t* bytes);
  void Write(uint8_t* bytes) const;

  // A "Corvane Tessaly Colour" payload. A block shorter than 8 bytes is
  // refused; bytes beyond the entry (a memory block rounded up by the
  // system) are ignored.
  static std::optional<ColourEntry> ReadBlock(const uint8_t* data, size_t size);
};
