// Keep mode: the process-wide painting role. In keep mode the pencil, the
// brush and the fills move the mask towards 255 and an empty colour
// selection samples a keep colour; in drop mode towards 0 and a drop colour.
// The painting and filling tools read it when they act, never in between.
#pragma once

#include <functional>

bool KeepMode();
// Sets the role and tells the listeners (the toolbox), also when unchanged.
void SetKeepMode(bool keep);
void ToggleKeepMode();
void SetKeepModeListener(std::function<void(bool keep)> listener);
