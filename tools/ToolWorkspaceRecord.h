// The `Tool` workspace record: the current tool's id and the keep mode.
// Loading first ends every active tool, selects the pencil and turns keep
// mode off, so that a file without the record gives that; the record then
// selects its tool, if one has that id, and sets the keep mode.
#pragma once

#include <cstdint>

#include "workspace/WorkspaceParticipant.h"

class ToolWorkspaceRecord : public WorkspaceParticipant {
 public:
  static constexpr uint32_t kTag = fourCharCode("Tool");
  static constexpr uint32_t kSize = 8;

  void BeginLoad() override;
  void LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) override;
  void Save() override;
};
