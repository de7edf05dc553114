// The two property lists that announce the plug-ins to the host: the filter
// (resource 16000) and the selection module (16001).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr int32_t kPiplFilterId = 16000;
constexpr int32_t kPiplSelectionId = 16001;

// A property list as stored: little-endian, four-character codes reversed.
struct PiplResource {
  std::array<uint8_t, 256> bytes{};
  size_t size = 0;
};

extern const PiplResource kFilterPipl;
extern const PiplResource kSelectionPipl;
