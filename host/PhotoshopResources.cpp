#include "host/PhotoshopResources.h"

namespace host {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v >> 16);
  put16(out, v & 0xFFFF);
}

}  // namespace

std::vector<uint8_t> encodeImageResources(const std::vector<ImageResource>& resources) {
  std::vector<uint8_t> out;
  for (const ImageResource& r : resources) {
    out.insert(out.end(), {'8', 'B', 'I', 'M'});
    put16(out, r.id);
    const size_t nameLength = std::min<size_t>(r.name.size(), 255);
    out.push_back(static_cast<uint8_t>(nameLength));
    out.insert(out.end(), r.name.begin(), r.name.begin() + static_cast<std::ptrdiff_t>(nameLength));
    if ((nameLength + 1) % 2 != 0) out.push_back(0);
    put32(out, static_cast<uint32_t>(r.data.size()));
    out.insert(out.end(), r.data.begin(), r.data.end());
    if (r.data.size() % 2 != 0) out.push_back(0);
  }
  return out;
}

std::vector<ImageResource> decodeImageResources(const uint8_t* bytes, size_t size) {
  std::vector<ImageResource> out;
  size_t at = 0;
  while (size - at >= 4 + 2 + 2 + 4) {
    if (bytes[at] != '8' || bytes[at + 1] != 'B' || bytes[at + 2] != 'I' || bytes[at + 3] != 'M') break;
    ImageResource r;
    r.id = static_cast<uint16_t>(bytes[at + 4] << 8 | bytes[at + 5]);
    at += 6;
    const size_t nameLength = bytes[at];
    const size_t nameField = (nameLength + 2) / 2 * 2;
    if (size - at < nameField + 4) break;
    r.name.assign(reinterpret_cast<const char*>(bytes + at + 1), nameLength);
    at += nameField;
    const uint32_t length = uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 |
                            uint32_t{bytes[at + 2]} << 8 | uint32_t{bytes[at + 3]};
    at += 4;
    if (size - at < length) break;
    r.data.assign(bytes + at, bytes + at + length);
    at += length;
    if (length % 2 != 0 && at < size) ++at;
    out.push_back(std::move(r));
  }
  return out;
}

std::vector<uint8_t> encodeAlphaNames(const std::vector<std::string>& names) {
  std::vector<uint8_t> out;
  for (const std::string& n : names) {
    const size_t length = std::min<size_t>(n.size(), 255);
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), n.begin(), n.begin() + static_cast<std::ptrdiff_t>(length));
  }
  return out;
}

std::vector<std::string> decodeAlphaNames(const std::vector<uint8_t>& data) {
  std::vector<std::string> names;
  size_t at = 0;
  while (at < data.size()) {
    const size_t length = data[at];
    if (data.size() - at - 1 < length) break;
    names.emplace_back(reinterpret_cast<const char*>(data.data() + at + 1), length);
    at += 1 + length;
  }
  return names;
}

}  // namespace host
