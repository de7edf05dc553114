#include "path/WorkPathDialogs.h"

#include <string>
#include <utility>

#include "platform/Dialog.h"

namespace {

enum ControlId : int {
  kApply = 1,
  kCancel = 2,
  kChoke = 1020,
  kTolerance = 1021,
  kQuestionIcon = 1023,
  kChannel = 1043,
  kSelection = 1044,
  kNoPath = 1046,
  kPath = 3300,
};

constexpr const char* kSystemQuestionIcon = "32514";

// In dialog units; the dialog turns them into pixels with its font.
platform::Rect units(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }

platform::ControlTemplate control(platform::ControlKind kind, std::string text, int id, platform::Rect rect,
                                  bool groupStart = false) {
  return {kind, std::move(text), id, rect, groupStart};
}

using platform::ControlKind;

platform::DialogTemplate workPathTemplate() {
  platform::DialogTemplate t;
  t.title = "Corvane - Make Work Path";
  t.dialogUnits = true;
  t.size = {244, 170};
  t.controls = {
      control(ControlKind::kIcon, kSystemQuestionIcon, kQuestionIcon, units(7, 7, 27, 27)),
      control(ControlKind::kStaticText,
              "Please select source and enter choke and tolerance values for the work path.", 0,
              units(35, 7, 237, 27)),
      control(ControlKind::kGroupBox, "Create path from:", 0, units(7, 32, 237, 72)),
      control(ControlKind::kRadioButton, "&Channel", kChannel, units(14, 42, 70, 52), true),
      control(ControlKind::kStaticText, "Use target channel, e.g. from Tessaly.", 0, units(75, 43, 232, 52)),
      control(ControlKind::kRadioButton, "&Selection", kSelection, units(14, 56, 70, 66)),
      control(ControlKind::kStaticText, "Convert selection into work path.", 0, units(75, 57, 232, 66)),
      control(ControlKind::kGroupBox, "Choke:", 0, units(7, 76, 237, 102)),
      control(ControlKind::kNumberField, "", kChoke, units(14, 86, 44, 97)),
      control(ControlKind::kStaticText, "Choke ranges from 0% (Loose) to 100% (Tight).", 0, units(50, 87, 232, 97)),
      control(ControlKind::kGroupBox, "Tolerance:", 0, units(7, 106, 237, 132)),
      control(ControlKind::kNumberField, "", kTolerance, units(14, 116, 44, 127)),
      control(ControlKind::kStaticText, "The tolerance is measured in percent of a pixel.", 0,
              units(50, 117, 232, 127)),
      control(ControlKind::kDefaultPushButton, "&Apply", kApply, units(130, 148, 180, 162)),
      control(ControlKind::kPushButton, "Cancel", kCancel, units(187, 148, 237, 162)),
  };
  return t;
}

platform::DialogTemplate clippingPathTemplate() {
  platform::DialogTemplate t;
  t.title = "Clipping Path";
  t.dialogUnits = true;
  t.size = {241, 89};
  t.controls = {
      control(ControlKind::kIcon, kSystemQuestionIcon, kQuestionIcon, units(7, 7, 27, 27)),
      control(ControlKind::kStaticText,
              "Please enter the choke and tolerance values for the clipping path. Choke ranges from 0% "
              "(Loose) to 100% (Tight). The tolerance is measured in percent of a pixel.",
              0, units(35, 7, 234, 40)),
      control(ControlKind::kStaticText, "Choke (%):", 0, units(35, 47, 90, 57)),
      control(ControlKind::kNumberField, "", kChoke, units(95, 45, 125, 56)),
      control(ControlKind::kStaticText, "Tolerance (%):", 0, units(135, 47, 190, 57)),
      control(ControlKind::kNumberField, "", kTolerance, units(195, 45, 225, 56)),
      control(ControlKind::kDefaultPushButton, "&Path", kPath, units(70, 68, 120, 82)),
      control(ControlKind::kPushButton, "&No Path", kNoPath, units(127, 68, 177, 82)),
      control(ControlKind::kPushButton, "Cancel", kCancel, units(184, 68, 234, 82)),
  };
  return t;
}

// Choke and tolerance, both whole percentages from 0 to 100.
void exchangePercentages(platform::DataExchange& dx, int& choke, int& tolerance) {
  dx.integer(kChoke, choke);
  dx.integerRange(kChoke, choke, 0, 100);
  dx.integer(kTolerance, tolerance);
  dx.integerRange(kTolerance, tolerance, 0, 100);
}

class CWorkPathDialog : public platform::Dialog {
 public:
  CWorkPathDialog(bool channelEnabled, bool selectionEnabled, const WorkPathChoice& choice)
      : Dialog(workPathTemplate()),
        channelEnabled_(channelEnabled),
        selectionEnabled_(selectionEnabled),
        source_(choice.source == PathSource::kSelection ? 1 : 0),
        choke_(choice.choke),
        tolerance_(choice.tolerance) {}

  WorkPathChoice choice() const {
    return {source_ == 1 ? PathSource::kSelection : PathSource::kChannel, choke_, tolerance_};
  }

 protected:
  bool onInitDialog() override {
    enableControl(kChannel, channelEnabled_);
    enableControl(kSelection, selectionEnabled_);
    if (!channelEnabled_) source_ = 1;
    return Dialog::onInitDialog();
  }
  void doDataExchange(platform::DataExchange& dx) override {
    dx.radio(kChannel, source_);
    exchangePercentages(dx, choke_, tolerance_);
  }

 private:
  bool channelEnabled_;
  bool selectionEnabled_;
  int source_;
  int choke_;
  int tolerance_;
};

class CClippingPathDialog : public platform::Dialog {
 public:
  CClippingPathDialog(int32_t choke, int32_t tolerance)
      : Dialog(clippingPathTemplate()), choke_(choke), tolerance_(tolerance) {}

  int choke() const { return choke_; }
  int tolerance() const { return tolerance_; }

 protected:
  void doDataExchange(platform::DataExchange& dx) override { exchangePercentages(dx, choke_, tolerance_); }
  // Return presses the default button, "&Path".
  void onOk() override { onCommand(kPath); }
  bool onCommand(uint32_t id) override {
    if (id == kPath) {
      if (updateData(true)) endDialog(kPath);
      return true;
    }
    if (id == kNoPath) {
      endDialog(kNoPath);
      return true;
    }
    return Dialog::onCommand(id);
  }

 private:
  int choke_;
  int tolerance_;
};

}  // namespace

bool showWorkPathDialog(bool channelEnabled, bool selectionEnabled, WorkPathChoice& choice) {
  CWorkPathDialog dialog(channelEnabled, selectionEnabled, choice);
  if (dialog.doModal(nullptr) != platform::kIdOk) return false;
  choice = dialog.choice();
  return true;
}

ClippingPathAnswer showClippingPathDialog(int32_t& choke, int32_t& tolerance) {
  CClippingPathDialog dialog(choke, tolerance);
  switch (dialog.doModal(nullptr)) {
    case kPath:
      choke = dialog.choke();
      tolerance = dialog.tolerance();
      return ClippingPathAnswer::kPath;
    case kNoPath:
      return ClippingPathAnswer::kNoPath;
    default:
      return ClippingPathAnswer::kCancel;
  }
}

namespace {

const bool gRegistered = [] {
  pathDialogs().askWorkPath = showWorkPathDialog;
  pathDialogs().askClippingPath = showClippingPathDialog;
  return true;
}();

}  // namespace
