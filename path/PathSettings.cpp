#include "path/PathSettings.h"

#include <algorithm>

namespace {

// Files come from anywhere: out-of-range values are pulled into range
// rather than carried into the threshold arithmetic.
int32_t percent(int32_t value) { return std::clamp(value, 0, 100); }

}  // namespace

void PathSettings::LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) {
  if (tag != kRecordTag || size != kRecordSize) return;
  tolerance = percent(loadLittleEndianInt32(payload));
  choke = percent(loadLittleEndianInt32(payload + 4));
  makePathOnNextRun = loadLittleEndianInt32(payload + 8) != 0;
}

void PathSettings::Save() {
  uint8_t payload[kRecordSize];
  storeLittleEndianInt32(payload, tolerance);
  storeLittleEndianInt32(payload + 4, choke);
  storeLittleEndianInt32(payload + 8, makePathOnNextRun ? 1 : 0);
  WriteRecord(kRecordTag, kRecordSize, payload);
}

uint8_t PathSettings::threshold() const { return uint8_t((250 * percent(choke) + 50) / 100 + 2); }

PathSettings& pathSettings() {
  static PathSettings settings;
  return settings;
}

namespace {

// Joins the workspace registry while the library loads, so the filter's
// workspaces carry the settings too.
const PathSettings& gRegisteredSettings = pathSettings();

}  // namespace
