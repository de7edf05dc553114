#include "tools/KeepMode.h"

#include <utility>

namespace {
bool gKeepMode = false;
std::function<void(bool)> gListener;
}  // namespace

bool KeepMode() { return gKeepMode; }

void SetKeepMode(bool keep) {
  gKeepMode = keep;
  if (gListener) gListener(keep);
}

void ToggleKeepMode() { SetKeepMode(!gKeepMode); }

void SetKeepModeListener(std::function<void(bool)> listener) { gListener = std::move(listener); }
