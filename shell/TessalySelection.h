// The selection module: "Make Work Path..." in the host's Select menu.
#pragma once

#include "shell/PlugIn.h"

class TessalySelection : public PlugIn {
 public:
  void prepare() override {}
  void start() override;
  void continueRun() override {}
};

extern TessalySelection gTessalySelection;
