// The pencil: paints the mask towards full keep in keep mode and full drop
// in drop mode, at full strength.
#pragma once

#include "tools/CStrokeTool.h"

class CPencilTool : public CStrokeTool {
 public:
  int32_t CursorResourceId() const override { return kToolPencil; }
  void ApplyStroke(Image& coverage, CWorkDocument& document, std::vector<Rect>& bandsDone) override;
};

CPencilTool& ThePencilTool();
