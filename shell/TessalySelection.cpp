#include "shell/TessalySelection.h"

#include "shell/ErrorRecord.h"
#include "shell/PlugInServices.h"

TessalySelection gTessalySelection;

void TessalySelection::start() {
  auto makeWorkPath = plugInServices().makeWorkPath;
  if (makeWorkPath == nullptr) THROW_ERROR(2, kGroupPlugIn);
  if (!makeWorkPath()) PUSH_ERROR(kResultQuiet, kGroupHost);
}
