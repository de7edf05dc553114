// What windows tell the backend that shows them.
#pragma once

namespace platform {
class Window;
}

namespace platform::backend {

// Something the window shows changed (pixels, geometry, visibility).
void windowChanged(Window* topLevel);
void windowDestroyed(Window* window);
// Brings every changed window on the screen up to date.
void presentPending();
// Composes and presents one top-level window now.
void present(Window* topLevel);
// Lets Qt deliver real input and paint; cheap when called often.
void pumpEvents();

}  // namespace platform::backend
