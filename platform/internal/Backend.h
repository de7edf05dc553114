// The Qt side of the window system.
#pragma once

class QWidget;

namespace platform {
class Framebuffer;
struct Rect;
class Window;
}

namespace platform::backend {

// The Qt widget that shows the window's top-level window (or its nearest
// owner that is shown); null when none is.
QWidget* widgetFor(Window* window);

// The window a box or dialog belongs to: its owner, or without one the
// application's main window while that is shown, as framework dialogs
// take it, so that the box is modal to the window the user works in and
// stays above it.
Window* ownerOrMainWindow(Window* owner);

// For a box or dialog of the system's over an owner: while it lives the
// owner's top-level window (at the root of its owners) is disabled; then
// it is enabled and activated again. `widget()` is the Qt parent that keeps the box modal to it and
// centred over it.
class ModalOwner {
 public:
  explicit ModalOwner(Window* owner);
  ~ModalOwner();
  ModalOwner(const ModalOwner&) = delete;
  ModalOwner& operator=(const ModalOwner&) = delete;
  QWidget* widget() const { return widget_; }

 private:
  Window* top_ = nullptr;
  bool disabled_ = false;
  QWidget* widget_ = nullptr;
};

// Creates the Qt application object on first use. Without a display Qt's
// offscreen platform is chosen, so headless runs behave as windowed ones.
void ensureApplication();

// True when windows are shown on a real screen.
bool hasScreen();

// What the real screen shows in `area` (screen coordinates), as the display
// server stacks the windows, once every changed window has been presented
// and every shown one exposed and painted. False without a screen, or when
// the screen cannot be read.
bool grabScreen(const Rect& area, Framebuffer& out);

}  // namespace platform::backend
