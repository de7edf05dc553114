// The command's two dialogs: "Corvane - Make Work Path" (226) and
// "Clipping Path" (232). They join pathDialogs() when the library loads.
#pragma once

#include <cstdint>

#include "path/MakeWorkPath.h"

// Source radios (each enabled only when that source exists), choke and
// tolerance, each 0 to 100 by the dialog's own validation. False on Cancel.
bool showWorkPathDialog(bool channelEnabled, bool selectionEnabled, WorkPathChoice& choice);

// Choke and tolerance with "&Path", "&No Path" and "Cancel"; the values
// change only with "&Path".
ClippingPathAnswer showClippingPathDialog(int32_t& choke, int32_t& tolerance);
