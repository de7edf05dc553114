// The edge tool (3302, reached by Ctrl+Shift+S only; it has no toolbox
// button): a click fills from the clicked pixel up to the image's colour
// edges, which stop it once they are stronger than the threshold allows,
// with full keep or full drop.
#pragma once

#include "tools/CFillTool.h"
#include "tools/ToolRegistry.h"

class CEdgeTool : public CFillTool {
 public:
  int32_t CursorResourceId() const override { return kToolEdgeFill; }
  void ButtonUp() override;
};

CEdgeTool& TheEdgeTool();
