// The settings of Make Work Path: choke, tolerance, and whether the next
// run makes the path at once. Stored as record 1102 with every workspace
// and in the default preference file, which every run of the command reads
// and writes back.
#pragma once

#include <cstdint>

#include "workspace/WorkspaceParticipant.h"

class PathSettings : public WorkspaceParticipant {
 public:
  static constexpr uint32_t kRecordTag = 1102;
  static constexpr uint32_t kRecordSize = 12;
  static constexpr int32_t kDefaultTolerance = 30;
  static constexpr int32_t kDefaultChoke = 50;

  explicit PathSettings(Registration registration = Registration::kRegistered)
      : WorkspaceParticipant(registration) {}

  // Settings have no reset: a file without the record keeps them.
  void LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) override;
  void Save() override;

  // The grey value the outline follows: 2 for choke 0 (loose), 127 for 50,
  // 252 for 100 (tight).
  uint8_t threshold() const;
  // How far the path may stray from the traced outline, in pixels.
  double tolerancePixels() const { return tolerance / 100.0; }

  int32_t tolerance = kDefaultTolerance;  // percent of a pixel, 0 to 100
  int32_t choke = kDefaultChoke;          // percent, 0 (loose) to 100 (tight)
  // Set when the filter asked for a clipping path; consumed by one run.
  bool makePathOnNextRun = false;
};

// The settings of the library, stored with every workspace.
PathSettings& pathSettings();
