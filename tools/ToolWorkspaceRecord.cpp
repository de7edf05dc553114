#include "tools/ToolWorkspaceRecord.h"

#include "display/CTool.h"
#include "tools/KeepMode.h"
#include "tools/ToolRegistry.h"

namespace {
ToolWorkspaceRecord gToolRecord;
}  // namespace

void ToolWorkspaceRecord::BeginLoad() {
  SelectPencilAlone();
  SetKeepMode(false);
}

void ToolWorkspaceRecord::LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) {
  if (tag != kTag || size != kSize) return;
  if (CTool* tool = FindTool(loadLittleEndianInt32(payload))) SelectSpringTool(*tool);
  SetKeepMode(payload[4] != 0);
}

void ToolWorkspaceRecord::Save() {
  uint8_t record[kSize] = {};
  storeLittleEndianInt32(record, CurrentToolId());
  record[4] = KeepMode() ? 1 : 0;
  WriteRecord(kTag, sizeof record, record);
}
