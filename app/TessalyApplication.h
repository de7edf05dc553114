// The application the filter runs inside its start call: a modal message
// loop around the work window, with the default preference file found
// through the registry, keyboard and idle routing, the application-level
// commands, and the failures that escape a window message turned into
// messages for the user.
#pragma once

#include <memory>
#include <string>

#include "platform/Application.h"

namespace platform {
class Window;
class FrameWindow;
}  // namespace platform

class NavigatorParticipant;

class TessalyApplication : public platform::Application {
 public:
  TessalyApplication();
  ~TessalyApplication() override;

  // Allocates the reserve block and reads the default preference file's
  // path from the registry; without it the user is told (string 23) and
  // the run does not start.
  bool initInstance() override;
  // Creates the work window, loads the default preference file or sets up
  // the default layout, and runs the loop until the work window has gone.
  int run() override;
  bool preTranslateMessage(const platform::Message& message) override;
  bool onIdle(long count) override;
  // Posts the host's "Make Work Path..." command when the user asked for a
  // clipping path.
  int exitInstance() override;
  intptr_t processMessageException(std::exception_ptr error, const platform::Message& message) override;

  bool onCommand(uint32_t id) override;
  bool onUpdateCommand(platform::CommandUpdate& update) override;

  // Key routing of the work window (the tool keys, zoom, brush and
  // threshold keys, Tab, Escape). True when the key was handled.
  virtual bool keyDown(uint32_t virtualKey, unsigned modifiers, bool repeated);
  virtual bool keyUp(uint32_t virtualKey, unsigned modifiers);
  // Offers idle time to the views with pending drawing until the deadline;
  // true when work is left.
  virtual bool idleWork(uint32_t deadline);

  const std::string& preferencePath() const { return preferencePath_; }
  void setPostPathCommand(bool post) { postPathCommand_ = post; }
  bool postPathCommand() const { return postPathCommand_; }

  // The host's main window, found by its title among the thread's
  // top-level windows and remembered for the life of the library.
  static platform::Window* hostWindow();

  // The flows of Save/Apply and Exit.
  void saveApply();
  void exitFlow();

 private:
  void writeDefaultPreferences();
  void endRun();
  bool reportUserFailure();
  void postHostMenuCommand();

  std::unique_ptr<char[]> reserve_;
  std::string preferencePath_;
  bool postPathCommand_ = false;
  // The open navigators in workspaces.
  std::unique_ptr<NavigatorParticipant> navigators_;
};

TessalyApplication& theApplication();
