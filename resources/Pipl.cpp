#include "resources/Pipl.h"

#include <string_view>

namespace {

// Writes one property list. Layout: int16 signature 1, int32 version 0,
// int32 property count, then per property: vendor, key, int32 id 0,
// int32 data length, data padded with zeros to a multiple of 4.
class PiplWriter {
 public:
  constexpr explicit PiplWriter(int32_t propertyCount) {
    int16(1);
    int32(0);
    int32(propertyCount);
  }

  constexpr void fourCharProperty(std::string_view key, std::string_view value) {
    begin(key, 4);
    code(value);
  }
  constexpr void pascalStringProperty(std::string_view key, std::string_view value) {
    begin(key, static_cast<int32_t>(1 + value.size()));
    byte(static_cast<uint8_t>(value.size()));
    for (char c : value) byte(static_cast<uint8_t>(c));
    pad();
  }
  constexpr void cStringProperty(std::string_view key, std::string_view value) {
    begin(key, static_cast<int32_t>(value.size() + 1));
    for (char c : value) byte(static_cast<uint8_t>(c));
    byte(0);
    pad();
  }
  constexpr void int32Property(std::string_view key, int32_t value) {
    begin(key, 4);
    int32(value);
  }
  // The host's supported-modes mask, high byte first, then two zero bytes.
  constexpr void modesProperty(uint16_t mask) {
    begin("mode", 4);
    byte(static_cast<uint8_t>(mask >> 8));
    byte(static_cast<uint8_t>(mask));
    byte(0);
    byte(0);
  }
  // One entry per host filter case: input handling, output handling, flags,
  // reserved.
  constexpr void filterCaseProperty(int cases, uint8_t input, uint8_t output, uint8_t flags) {
    begin("fici", 4 * cases);
    for (int i = 0; i < cases; ++i) {
      byte(input);
      byte(output);
      byte(flags);
      byte(0);
    }
  }

  constexpr PiplResource result() const { return resource_; }

 private:
  constexpr void begin(std::string_view key, int32_t length) {
    code("8BIM");
    code(key);
    int32(0);
    int32(length);
    dataStart_ = resource_.size;
  }
  // Four-character codes are stored byte-reversed.
  constexpr void code(std::string_view fourChars) {
    for (int i = 3; i >= 0; --i) byte(static_cast<uint8_t>(fourChars[static_cast<size_t>(i)]));
  }
  constexpr void int16(int16_t v) {
    byte(static_cast<uint8_t>(v));
    byte(static_cast<uint8_t>(v >> 8));
  }
  constexpr void int32(int32_t v) {
    for (int shift = 0; shift < 32; shift += 8) byte(static_cast<uint8_t>(v >> shift));
  }
  // The data, not the list, is padded: the list's 10-byte header leaves
  // property data at offsets that are not multiples of 4.
  constexpr void pad() {
    while ((resource_.size - dataStart_) % 4 != 0) byte(0);
  }
  constexpr void byte(uint8_t b) { resource_.bytes[resource_.size++] = b; }

  PiplResource resource_{};
  size_t dataStart_ = 0;
};

// Greyscale, RGB, CMYK and Lab.
constexpr uint16_t kSupportedModes = 0x5840;
constexpr int kHostFilterCases = 7;
// Neither matte nor zap; works with blank data, filters the layer mask, and
// the host copies source to destination (bit 0x01 clear).
constexpr uint8_t kHandlingAsIs = 1;
constexpr uint8_t kFilterCaseFlags = 0x06;

constexpr PiplResource makeFilterPipl() {
  PiplWriter w(7);
  w.fourCharProperty("kind", "8BFM");
  w.pascalStringProperty("name", "Tessaly...");
  w.pascalStringProperty("catg", "Corvane");
  w.int32Property("vers", 0x00040000);
  w.cStringProperty("wx86", "ENTRYPOINT");
  w.modesProperty(kSupportedModes);
  w.filterCaseProperty(kHostFilterCases, kHandlingAsIs, kHandlingAsIs, kFilterCaseFlags);
  return w.result();
}

constexpr PiplResource makeSelectionPipl() {
  PiplWriter w(6);
  w.fourCharProperty("kind", "8BSM");
  w.pascalStringProperty("name", "Make Work Path...");
  w.pascalStringProperty("catg", "Corvane Tessaly");
  w.int32Property("vers", 0x00010000);
  w.cStringProperty("wx86", "SELECTIONENTRYPOINT");
  w.modesProperty(kSupportedModes);
  return w.result();
}

}  // namespace

constexpr PiplResource kFilterPiplValue = makeFilterPipl();
constexpr PiplResource kSelectionPiplValue = makeSelectionPipl();
const PiplResource kFilterPipl = kFilterPiplValue;
const PiplResource kSelectionPipl = kSelectionPiplValue;
