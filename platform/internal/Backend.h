// The Qt side of the window system.
#pragma once

namespace platform::backend {

// Creates the Qt application object on first use. Without a display Qt's
// offscreen platform is chosen, so headless runs behave as windowed ones.
void ensureApplication();

// True when windows are shown on a real screen.
bool hasScreen();

}  // namespace platform::backend
