// The bucket (3270, key K): a click fills the connected area of undecided
// mask pixels around it with full keep or full drop. A closed outline of
// decided pixels (or the image border) stops it; soft edges inside are
// filled too.
#pragma once

#include "tools/CFillTool.h"
#include "tools/ToolRegistry.h"

class CBucketTool : public CFillTool {
 public:
  int32_t CursorResourceId() const override { return kToolBucket; }
  void ButtonUp() override;
};

CBucketTool& TheBucketTool();
