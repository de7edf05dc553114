// The filter's Save/Apply asks for a clipping path through the shell's
// services; a requested path has the application post the host's "Make
// Work Path..." command when the filter ends. Kept apart from the command
// itself: it needs the application object, which sits above every layer.
#include "path/MakeWorkPath.h"
#include "shell/PlugInServices.h"
#include "app/TessalyApplication.h"

namespace {

bool askClippingPathAtApply() {
  const ClippingPathAnswer answer = askClippingPath();
  if (answer == ClippingPathAnswer::kPath)
    if (auto* application = dynamic_cast<TessalyApplication*>(platform::Application::current()))
      application->setPostPathCommand(true);
  return answer != ClippingPathAnswer::kCancel;
}

const bool gRegistered = (plugInServices().askClippingPath = &askClippingPathAtApply, true);

}  // namespace
