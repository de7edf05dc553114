// The magic brush: blends every pixel under the brush towards the colour
// classifier's value for the image pixel beneath it, so that one stroke
// along an edge keeps the foreground's colours and drops the background's.
#pragma once

#include "tools/CStrokeTool.h"

class CMagicBrushTool : public CStrokeTool {
 public:
  int32_t CursorResourceId() const override { return kToolMagicBrush; }
  void ApplyStroke(Image& coverage, CWorkDocument& document, std::vector<Rect>& bandsDone) override;
};

CMagicBrushTool& TheMagicBrushTool();
