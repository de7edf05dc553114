// The image-resource block other programs keep in TIFF tag 34377: a run of
// "8BIM" records (uint16 id, Pascal name padded to even length, uint32 size,
// data padded to even length), all big-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

struct ImageResource {
  uint16_t id = 0;
  std::string name;
  std::vector<uint8_t> data;
};

// Resource ids this host reads and writes.
constexpr uint16_t kResourceAlphaNames = 1006;
constexpr uint16_t kResourceWorkPath = 1025;
constexpr uint16_t kResourceFirstSavedPath = 2000;

std::vector<uint8_t> encodeImageResources(const std::vector<ImageResource>& resources);
// Reads as many well-formed records as the block holds; a damaged tail is
// ignored (the pixels do not depend on it).
std::vector<ImageResource> decodeImageResources(const uint8_t* bytes, size_t size);

// Resource 1006: the alpha channels' names as consecutive Pascal strings.
std::vector<uint8_t> encodeAlphaNames(const std::vector<std::string>& names);
std::vector<std::string> decodeAlphaNames(const std::vector<uint8_t>& data);

}  // namespace host
