// The brush: the pencil at the strength of the threshold slider's lower
// value, so that a stroke moves the mask only part of the way towards
// keep or drop. At 0 it changes nothing.
#pragma once

#include "tools/CStrokeTool.h"

class CBrushTool : public CStrokeTool {
 public:
  int32_t CursorResourceId() const override { return kToolBrush; }
  void ApplyStroke(Image& coverage, CWorkDocument& document, std::vector<Rect>& bandsDone) override;
  // The threshold's lower value L as L × 256, read at every step.
  int32_t StrokeStrength() const override;
};

CBrushTool& TheBrushTool();
