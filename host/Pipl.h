// Reading a plug-in's property lists ('PIPL' resources) without calling it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

struct PiplProperty {
  std::string vendor;  // four characters, in reading order ("8BIM")
  std::string key;     // four characters ("kind", "name", ...)
  int32_t id = 0;
  std::vector<uint8_t> data;  // without the padding
};

// One filter-case entry of 'fici'.
struct FilterCaseInfo {
  uint8_t inputHandling = 0;
  uint8_t outputHandling = 0;
  uint8_t flags = 0;
};

struct PiplInfo {
  std::vector<PiplProperty> properties;
  // The properties the host acts on, when present and well-formed.
  std::string kind;          // "8BFM", "8BSM"
  std::string name;          // menu item
  std::string category;      // menu group
  std::optional<int32_t> version;
  std::string entryName;     // 'wx86'
  std::optional<uint16_t> supportedModes;  // bit (15 - mode) per image mode
  std::vector<FilterCaseInfo> filterCases;

  // Whether the 'mode' mask lets the plug-in run on documents of that mode
  // (no mask: every mode).
  bool allowsMode(int mode) const;
};

// Decodes one list. Throws Failure naming what is wrong with a malformed one.
PiplInfo decodePipl(const uint8_t* bytes, size_t size);

// One line per property, as `tessaly-host plugins` shows them.
std::vector<std::string> describeProperties(const PiplInfo& info);

}  // namespace host
