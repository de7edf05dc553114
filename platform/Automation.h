// Automation: scripted runs without a person at the screen. While it is
// enabled, input comes from the script (through the message queues, as
// real input would), boxes and dialogs are recorded and answered from
// queues, and time is virtual.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Geometry.h"

namespace platform {
class Window;
}

namespace platform::automation {

void setEnabled(bool enabled);
bool enabled();

// ---- Message boxes ----
struct ShownBox {
  std::string text;
  std::string caption;
  unsigned icon;     // kMbIcon... or 0
  unsigned buttons;  // kMbOk, kMbOkCancel, ...
  int answer;        // the button that closed it
};

// Queues the answer (kIdOk, kIdYes, ...) for the next box. A box with no
// queued answer is closed with its first button (OK or Yes).
void queueBoxAnswer(int id);
// Makes the next box fail as a box that cannot be shown would.
void queueBoxFailure();
const std::vector<ShownBox>& shownBoxes();
void clearShownBoxes();

// ---- Dialogs ----
// How the next modal dialog is closed: field values are typed into the
// controls with those ids, then the button with that text (without "&",
// e.g. "OK", "Cancel") is pressed. A dialog with no queued answer presses
// its default button as it stands, as Return would; one without a default
// is cancelled and the problem reported (takeScriptProblem).
struct DialogAnswer {
  std::string button = "OK";
  std::map<int, std::string> fields;
};
void queueDialogAnswer(DialogAnswer answer);
bool takeDialogAnswer(DialogAnswer& out);

struct ShownDialog {
  std::string title;
  std::string button;  // the button that closed it
};
const std::vector<ShownDialog>& shownDialogs();
void recordDialog(ShownDialog dialog);
// What a script left the program unable to go on with (a dialog without a
// default button and without an answer): kept until taken, the first only.
void reportScriptProblem(std::string problem);
std::string takeScriptProblem();

// The path chosen in the next open or save dialog; an empty path cancels.
// A file dialog with no queued answer is cancelled.
void queueFileAnswer(std::string path);
bool takeFileAnswer(std::string& out);

// ---- Beeps ----
const std::vector<unsigned>& beeps();
void clearBeeps();

// ---- Scripted input ----
// Each call first lets virtual time advance by the input interval, then
// updates the asynchronous key state and the pointer, then posts the
// messages the real input would produce. Points are client coordinates of
// the window.
void setInputInterval(uint32_t milliseconds);
void keyDown(uint32_t virtualKey);
void keyUp(uint32_t virtualKey);
enum : unsigned { kModShift = 1, kModControl = 2, kModAlt = 4 };
// Presses the modifiers, presses and releases the key, releases them.
void keyPress(uint32_t virtualKey, unsigned modifiers = 0);
enum class Button { kLeft, kRight };
void mouseDown(Window& window, Point client, Button button = Button::kLeft);
void mouseMove(Window& window, Point client);
void mouseUp(Window& window, Point client, Button button = Button::kLeft);
// Chooses a menu item of a frame by the texts along its path, as shown
// ("File", "Save Workspace..."): the popup gets kWmInitMenuPopup and, when
// the item is enabled then, the frame gets its command. False when there is
// no such item or it is disabled.
bool chooseMenuItem(Window& frame, const std::vector<std::string>& path);

// Asks every top-level window whether the session may end
// (kWmQueryEndSession), as a log-off would; false when one refuses.
bool queryEndSession();

// The first top-level window with this title, or null.
Window* findWindow(std::string_view title);

// ---- Script steps ----
// Steps run one at a time whenever a message loop would wait for input.
void queueStep(std::function<void()> step);
// Puts steps, in their order, ahead of every step already queued: the rest
// of one gesture, which a loop the gesture opens (a drag and drop) must get
// before the script's next line.
void queueStepsFirst(std::vector<std::function<void()>> steps);
// A step that only the application's own loop takes: a loop nested in it (a
// dialog, a drag) that reaches it stops there as if nothing were queued, so
// that the nested loop answers for itself first (the end of a script).
void queueOuterLoopStep(std::function<void()> step);
bool runNextStep();
// The same for a nested loop: false, taking nothing, at an outer-loop step.
bool runNextNestedStep();
size_t pendingSteps();
// Dispatches every queued message (and paint) of the calling thread.
void drainMessages();

// ---- Virtual time ----
uint32_t virtualTime();
// Moves the clock on; threads sleeping on it wake at their deadlines, one
// deadline at a time, and are waited for until they sleep again.
void advanceTime(uint32_t milliseconds);
void sleepVirtual(uint32_t milliseconds);

// ---- Screenshots ----
// Writes what the window shows (with its frame and children) as PNG.
bool saveScreenshot(Window& window, const std::string& path);
// Writes the part of the desktop in `area` (screen coordinates) with every
// visible top-level window in z-order, as PNG. On a real screen this is
// what the screen shows (the window manager's frames included); headless,
// our own drawing of the windows in our z-order.
bool saveDesktopScreenshot(const Rect& area, const std::string& path);

// Forgets all queued answers, steps and records; time goes back to 0,
// keys are up.
void reset();

}  // namespace platform::automation
