// Modal dialogs built from templates, with integer data exchange, range
// validation and radio groups.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/MessageBox.h"
#include "platform/Resources.h"
#include "platform/Window.h"

namespace platform {

class Dialog;

// The dialog font's average character width and its height, in pixels.
Size dialogBaseUnits();
// Dialog units to pixels: x × width / 4, y × height / 8.
Rect dialogUnitsToPixels(const Rect& units, Size base);

// Moves values between a dialog's controls and variables. Saving, a value
// that does not pass stops the exchange: the user is told, the control
// gets the focus, and `failed` is true.
class DataExchange {
 public:
  DataExchange(Dialog& dialog, bool saving) : dialog_(&dialog), saving_(saving) {}
  bool saving() const { return saving_; }
  bool failed() const { return failed_; }

  // A whole number in a number field (or any control's text).
  void integer(int controlId, int& value);
  // Saving: the value must lie in [min, max] ("Please enter an integer
  // between min and max.").
  void integerRange(int controlId, int value, int min, int max);
  // The index of the checked radio button in the group that starts with
  // this control (-1: none).
  void radio(int firstControlId, int& index);
  void check(int controlId, bool& value);

 private:
  void fail(int controlId, const std::string& message);
  Dialog* dialog_;
  bool saving_;
  bool failed_ = false;
};

class Dialog : public Window, public CommandTarget {
 public:
  explicit Dialog(int templateId);
  explicit Dialog(DialogTemplate dialogTemplate);
  ~Dialog() override;

  // Shows the dialog and runs a modal loop until it ends; the owner (without
  // one, the application's main window while it is shown) is disabled
  // meanwhile. Answers kIdOk, kIdCancel or what endDialog got;
  // -1 when the dialog cannot be made (no such template).
  int doModal(Window* owner);
  void endDialog(int result);
  bool isModalRunning() const { return running_; }

  Window* control(int id) const;
  template <typename T>
  T* controlAs(int id) const {
    return dynamic_cast<T*>(control(id));
  }
  void enableControl(int id, bool enabled);
  void setControlText(int id, std::string text);
  std::string controlText(int id) const;
  // Presses the button whose text (without "&") matches; false when none.
  bool pressButton(const std::string& text);

  // Alt+letter: acts on the control whose text marks that letter with "&"
  // (a button is pressed, a label gives the focus to the control after it);
  // false when none does.
  bool pressMnemonic(char letter);
  // Tab and Shift+Tab: the next or previous control that takes the focus.
  void moveFocus(bool forward);
  // Return: the default button when there is one, OK otherwise.
  void pressDefault();

  // Runs the data exchange; false when saving failed validation.
  bool updateData(bool save);

 protected:
  virtual bool onInitDialog();
  virtual void onOk();
  virtual void onCancel();
  virtual void doDataExchange(DataExchange&) {}
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  bool createFromTemplate(Window* owner);
  bool takesFocus(const Window& control) const;
  void focusControl(Window* control);
  bool answerQueued();
  bool answerFromScript();

  std::optional<DialogTemplate> template_;
  std::vector<std::unique_ptr<Window>> controls_;
  bool running_ = false;
  bool ended_ = false;
  int result_ = kIdCancel;
  int automaticPresses_ = 0;
  std::string closedWith_;
};

}  // namespace platform
