// The magic wand (3280, key W): a click grows an area through every pixel
// the colour classifier gives any keep weight (keep mode) or drop weight
// (drop mode) and blends each towards keep or drop by that weight.
#pragma once

#include "tools/CFillTool.h"
#include "tools/ToolRegistry.h"

class CMagicWandTool : public CFillTool {
 public:
  int32_t CursorResourceId() const override { return kToolMagicWand; }
  void ButtonUp() override;
};

CMagicWandTool& TheMagicWandTool();
