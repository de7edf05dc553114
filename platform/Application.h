// The application framework: an application object with its message loop
// and idle processing, modal loops, and the routing of commands with their
// enable and check updates.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <stdexcept>

#include "platform/Geometry.h"
#include "platform/Message.h"

namespace platform {

class Window;
class FrameWindow;

// ---- Framework exceptions ----
// Thrown by framework code and by handlers; the application reports the
// first two and stays silent about the third.
class FrameworkException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class MemoryException : public FrameworkException {
 public:
  MemoryException() : FrameworkException("out of memory") {}
};
class ResourceException : public FrameworkException {
 public:
  ResourceException() : FrameworkException("resource missing") {}
};
// The user stopped something; nothing more is to be said.
class UserException : public FrameworkException {
 public:
  UserException() : FrameworkException("aborted") {}
};

// ---- Commands ----
// Asks whether a command is enabled and checked; a handler that answers
// the query sets `handled`.
struct CommandUpdate {
  uint32_t id = 0;
  bool enabled = true;
  bool checked = false;
  bool handled = false;
  void enable(bool on) { enabled = on, handled = true; }
  void setCheck(bool on) { checked = on, handled = true; }
};

class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  // True when the command was handled.
  virtual bool onCommand(uint32_t) { return false; }
  // True when the update was answered (also through `handled`).
  virtual bool onUpdateCommand(CommandUpdate&) { return false; }
};

// ---- Application ----
class Application : public CommandTarget {
 public:
  Application();
  ~Application() override;
  static Application* current();

  virtual bool initInstance() { return true; }
  // Runs the message loop until the quit message; answers its exit code
  // (after exitInstance).
  virtual int run();
  // Looks at each message before it is dispatched; true: handled, do not
  // dispatch. The base translates the accelerators of the frame that owns
  // the message's window.
  virtual bool preTranslateMessage(const Message& message);
  // Called while no message waits, with a count that starts at 0 and grows
  // until the answer is false (nothing more to do). The base updates the
  // commands of the frames when the count is 0.
  virtual bool onIdle(long count);
  virtual int exitInstance() { return exitCode_; }
  // Called when a handler lets an exception escape while a message is
  // dispatched; the base reports framework exceptions in a message box.
  virtual intptr_t processMessageException(std::exception_ptr error, const Message& message);

  FrameWindow* mainWindow() const { return mainWindow_; }
  void setMainWindow(FrameWindow* frame) { mainWindow_ = frame; }

  // Takes one message and dispatches it (pre-translation, translation,
  // exceptions handled). False when it was the quit message.
  bool pumpMessage();
  // Runs a loop with idle processing until `done` turns true (modal
  // dialogs) or the quit message arrives; a quit is posted again for the
  // outer loop. Answers false on quit. Under automation, when nothing is
  // queued and no script step is left, `onStarved` is asked to move the
  // loop on (answer false: it cannot, and the loop gives up).
  // `beforeStep` is asked first whenever the loop waits under automation
  // (a dialog takes a queued answer before any further script step).
  bool runModalLoop(const bool& done, const std::function<bool()>& onStarved = {},
                    const std::function<bool()>& beforeStep = {});

  // Whether a message leaves idle processing where it was (paints, moves
  // that did not move).
  static bool isIdleMessage(const Message& message);

 private:
  bool idleUntilMessage(long& idleCount);
  FrameWindow* mainWindow_ = nullptr;
  int exitCode_ = 0;
  Point lastMousePoint_{-1, -1};
  uint32_t lastMouseMessage_ = 0;
};

// The current application's modal loop, or a plain one without an
// application object.
bool runModalLoop(const bool& done, const std::function<bool()>& onStarved = {},
                  const std::function<bool()>& beforeStep = {});

}  // namespace platform
