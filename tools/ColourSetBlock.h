// One colour set as it travels by drag and drop between and within the
// keep and drop lists ("Corvane Tessaly ColourSet"):
//
//   byte 0       the set's selection flag (1 selected, 0 not)
//   bytes 1..4   n, little-endian unsigned 32-bit, unaligned
//   then         n ColourEntry values of 8 bytes, in row order
//
// Keys do not travel: the list that receives a set gives it a fresh one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/ColourEntry.h"

inline constexpr const char* kColourSetFormatName = "Corvane Tessaly ColourSet";

struct ColourSetBlock {
  static constexpr size_t kHeaderBytes = 5;

  bool selected = true;
  std::vector<ColourEntry> entries;

  friend bool operator==(const ColourSetBlock&, const ColourSetBlock&) = default;

  std::vector<uint8_t> Bytes() const;

  // Refuses a block that does not hold the 5 + 8·n bytes its count
  // announces (nothing past the block is read, nothing is allocated for a
  // count the block cannot hold); bytes after the last entry are ignored.
  // Any flag byte other than 0 reads as selected.
  static std::optional<ColourSetBlock> Read(const uint8_t* data, size_t size);
};
