#include "platform/Dialog.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>

#include "platform/Automation.h"
#include "platform/Framebuffer.h"
#include "platform/Input.h"
#include "platform/MessageBox.h"
#include "platform/SystemMetrics.h"
#include "platform/internal/Backend.h"

namespace platform {
namespace {

std::unique_ptr<Window> makeControl(const ControlTemplate& t) {
  switch (t.kind) {
    case ControlKind::kPushButton:
    case ControlKind::kDefaultPushButton: {
      auto b = std::make_unique<PushButton>();
      b->setDefault(t.kind == ControlKind::kDefaultPushButton);
      return b;
    }
    case ControlKind::kRadioButton: return std::make_unique<RadioButton>();
    case ControlKind::kCheckBox: return std::make_unique<CheckBox>();
    case ControlKind::kGroupBox: return std::make_unique<GroupBox>();
    case ControlKind::kNumberField: return std::make_unique<NumberField>();
    case ControlKind::kIcon: return std::make_unique<StaticImage>();
    case ControlKind::kStaticText:
    default: return std::make_unique<StaticText>();
  }
}

// The letter after a single "&", upper-cased; 0 when the text has none.
char mnemonicOf(const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
  }
  return 0;
}

}  // namespace

// ---- DataExchange ----

void DataExchange::fail(int controlId, const std::string& message) {
  failed_ = true;
  messageBox(dialog_, message, dialog_->title(), kMbOk | kMbIconExclamation);
  if (Window* c = dialog_->control(controlId)) c->setFocus();
}

void DataExchange::integer(int controlId, int& value) {
  if (failed_) return;
  Window* c = dialog_->control(controlId);
  if (c == nullptr) return;
  if (!saving_) {
    dialog_->setControlText(controlId, std::to_string(value));
    return;
  }
  long parsed = 0;
  const std::string text = c->title();
  char* end = nullptr;
  const char* begin = text.c_str();
  while (*begin == ' ') ++begin;
  parsed = std::strtol(begin, &end, 10);
  while (end && *end == ' ') ++end;
  if (*begin == '\0' || end == begin || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) {
    fail(controlId, "Please enter an integer.");
    return;
  }
  value = static_cast<int>(parsed);
}

void DataExchange::integerRange(int controlId, int value, int min, int max) {
  if (failed_ || !saving_) return;
  if (value >= min && value <= max) return;
  fail(controlId, "Please enter an integer between " + std::to_string(min) + " and " + std::to_string(max) + ".");
}

void DataExchange::radio(int firstControlId, int& index) {
  if (failed_) return;
  auto* first = dialog_->controlAs<RadioButton>(firstControlId);
  if (first == nullptr) return;
  const std::vector<RadioButton*> group = first->group();
  if (saving_) {
    index = -1;
    for (size_t i = 0; i < group.size(); ++i)
      if (group[i]->isChecked()) index = static_cast<int>(i);
    return;
  }
  for (size_t i = 0; i < group.size(); ++i) group[i]->setChecked(static_cast<int>(i) == index);
}

void DataExchange::check(int controlId, bool& value) {
  if (failed_) return;
  auto* box = dialog_->controlAs<CheckBox>(controlId);
  if (box == nullptr) return;
  if (saving_) {
    value = box->isChecked();
  } else {
    box->setChecked(value);
  }
}

// ---- Dialog ----

Dialog::Dialog(int templateId) : template_(resources::loadDialog(templateId)) {}

Dialog::Dialog(DialogTemplate dialogTemplate) : template_(std::move(dialogTemplate)) {}

Dialog::~Dialog() {
  destroy();
  controls_.clear();
}

Window* Dialog::control(int id) const {
  for (const auto& c : controls_)
    if (c->id() == id && c->exists()) return c.get();
  return nullptr;
}

void Dialog::enableControl(int id, bool enabled) {
  if (Window* c = control(id)) {
    c->enable(enabled);
    c->invalidate(true);
  }
}

void Dialog::setControlText(int id, std::string text) {
  Window* c = control(id);
  if (c == nullptr) return;
  if (auto* field = dynamic_cast<NumberField*>(c)) {
    field->setText(std::move(text));
  } else {
    c->setTitle(std::move(text));
    c->invalidate(true);
  }
}

std::string Dialog::controlText(int id) const {
  Window* c = control(id);
  return c ? c->title() : std::string();
}

bool Dialog::pressButton(const std::string& text) {
  for (const auto& c : controls_) {
    auto* button = dynamic_cast<PushButton*>(c.get());
    if (button && button->exists() && Menu::displayText(button->title()) == text && button->isEnabled()) {
      closedWith_ = text;
      button->click();
      return true;
    }
  }
  return false;
}

bool Dialog::takesFocus(const Window& c) const {
  if (!c.exists() || !c.isVisible() || !c.isEnabled()) return false;
  if (auto* radio = dynamic_cast<const RadioButton*>(&c)) {
    // A group is one stop: its checked button, or its first when none is.
    auto group = const_cast<RadioButton*>(radio)->group();
    const bool anyChecked = std::any_of(group.begin(), group.end(), [](RadioButton* r) { return r->isChecked(); });
    return anyChecked ? radio->isChecked() : !group.empty() && group.front() == radio;
  }
  return dynamic_cast<const PushButton*>(&c) || dynamic_cast<const CheckableButton*>(&c) ||
         dynamic_cast<const NumberField*>(&c);
}

void Dialog::focusControl(Window* c) {
  if (c == nullptr) return;
  c->setFocus();
  if (auto* field = dynamic_cast<NumberField*>(c)) field->selectAll();
}

void Dialog::moveFocus(bool forward) {
  const auto n = static_cast<ptrdiff_t>(controls_.size());
  if (n == 0) return;
  ptrdiff_t at = -1;
  for (ptrdiff_t i = 0; i < n; ++i)
    if (controls_[static_cast<size_t>(i)]->hasFocus()) at = i;
  for (ptrdiff_t step = 1; step <= n; ++step) {
    const ptrdiff_t i = at < 0 ? (forward ? step - 1 : n - step) : ((at + (forward ? step : -step)) % n + n) % n;
    Window* c = controls_[static_cast<size_t>(i)].get();
    if (takesFocus(*c)) {
      focusControl(c);
      return;
    }
  }
}

void Dialog::pressDefault() {
  for (const auto& c : controls_) {
    auto* button = dynamic_cast<PushButton*>(c.get());
    if (button && button->exists() && button->isDefault()) {
      button->click();
      return;
    }
  }
  onOk();
}

bool Dialog::pressMnemonic(char letter) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (size_t i = 0; i < controls_.size(); ++i) {
    Window* c = controls_[i].get();
    if (!c->exists() || !c->isVisible() || mnemonicOf(c->title()) != letter) continue;
    if (auto* button = dynamic_cast<PushButton*>(c)) {
      if (!button->isEnabled()) continue;
      button->setFocus();
      button->click();
    } else if (auto* mark = dynamic_cast<CheckableButton*>(c)) {
      if (!mark->isEnabled()) continue;
      mark->setFocus();
      if (auto* radio = dynamic_cast<RadioButton*>(mark)) {
        radio->check();
      } else {
        mark->setChecked(!mark->isChecked());
      }
      send(kWmCommand, makeWParam(static_cast<uint32_t>(mark->id()), kBnClicked), reinterpret_cast<intptr_t>(mark));
    } else {
      // A label: the next control that takes the focus.
      for (size_t k = i + 1; k < controls_.size(); ++k) {
        if (takesFocus(*controls_[k]) || (dynamic_cast<RadioButton*>(controls_[k].get()) && controls_[k]->isEnabled())) {
          focusControl(controls_[k].get());
          break;
        }
      }
    }
    return true;
  }
  return false;
}

bool Dialog::updateData(bool save) {
  DataExchange dx(*this, save);
  doDataExchange(dx);
  return !dx.failed();
}

bool Dialog::onInitDialog() {
  updateData(false);
  return true;
}

void Dialog::onOk() {
  if (updateData(true)) endDialog(kIdOk);
}

void Dialog::onCancel() { endDialog(kIdCancel); }

void Dialog::endDialog(int result) {
  result_ = result;
  ended_ = true;
}

Size dialogBaseUnits() {
  Framebuffer scratch(1, 1);
  DeviceContext dc(scratch);
  dc.setFont(Font{});
  const Size alphabet = dc.textExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return {(alphabet.cx / 26 + 1) / 2, alphabet.cy};
}

Rect dialogUnitsToPixels(const Rect& r, Size base) {
  const auto x = [&](int32_t v) { return v * base.cx / 4; };
  const auto y = [&](int32_t v) { return v * base.cy / 8; };
  return {x(r.left), y(r.top), x(r.right), y(r.bottom)};
}

bool Dialog::createFromTemplate(Window* owner) {
  if (!template_) return false;
  if (template_->dialogUnits) {
    const Size base = dialogBaseUnits();
    const Rect size = dialogUnitsToPixels({0, 0, template_->size.cx, template_->size.cy}, base);
    template_->size = {size.right, size.bottom};
    for (ControlTemplate& t : template_->controls) t.rect = dialogUnitsToPixels(t.rect, base);
    template_->dialogUnits = false;
  }
  const Rect client{0, 0, template_->size.cx, template_->size.cy};
  CreateParams p;
  p.title = template_->title;
  p.style = kWsPopup | kWsCaption | kWsSysMenu;
  p.parent = owner;
  Rect outer = windowRectForClient(client, p.style, 0, false);
  // Centred over the owner, or on the work area.
  const Rect over = owner && owner->exists() ? owner->windowRect() : workArea();
  const int32_t left = over.left + (over.width() - outer.width()) / 2;
  const int32_t top = over.top + (over.height() - outer.height()) / 2;
  p.rect = {left, top, left + outer.width(), top + outer.height()};
  setBackground(systemColour(kColourBtnFace));
  if (!create(p)) return false;
  for (const ControlTemplate& t : template_->controls) {
    auto c = makeControl(t);
    CreateParams cp = controlParams(*this, t.id, t.rect, t.text);
    if (t.groupStart || t.kind == ControlKind::kGroupBox) cp.style |= kWsGroup;
    if (!c->create(cp)) return false;
    if (t.kind == ControlKind::kIcon) static_cast<StaticImage*>(c.get())->setImage(resources::loadIcon(std::atoi(t.text.c_str())));
    controls_.push_back(std::move(c));
  }
  return true;
}

bool Dialog::answerQueued() {
  automation::DialogAnswer answer;
  if (!automation::takeDialogAnswer(answer)) return false;
  for (const auto& [id, text] : answer.fields) setControlText(id, text);
  pressButton(answer.button);
  return true;
}

// With no answer queued, the dialog is answered as Return would answer it:
// its default button, as it stands. A dialog without one cannot be answered
// for the script: it is cancelled, and the script is told which dialog it
// left unanswered.
bool Dialog::answerFromScript() {
  if (answerQueued()) return true;
  if (automaticPresses_ >= 2) return false;
  if (automaticPresses_++ == 0) {
    for (const auto& c : controls_) {
      auto* button = dynamic_cast<PushButton*>(c.get());
      if (button && button->exists() && button->isDefault() && button->isEnabled())
        return pressButton(Menu::displayText(button->title()));
    }
    automation::reportScriptProblem("the dialog \"" + title() + "\" has no default button and no answer was queued");
  }
  return pressButton("Cancel");
}

int Dialog::doModal(Window* given) {
  Window* owner = backend::ownerOrMainWindow(given);
  ended_ = false;
  automaticPresses_ = 0;
  closedWith_.clear();
  result_ = kIdCancel;
  if (!createFromTemplate(owner)) {
    destroy();
    controls_.clear();
    return -1;
  }
  const bool ownerWasEnabled = owner && owner->exists() && owner->isEnabled();
  if (ownerWasEnabled) owner->enable(false);
  if (onInitDialog()) {
    Window* first = nullptr;
    for (const auto& c : controls_)
      if (!first && dynamic_cast<NumberField*>(c.get())) first = c.get();
    show(kSwShow);
    focusControl(first);
  } else {
    show(kSwShow);
  }
  running_ = true;
  // A scripted answer waiting for this dialog is given before any further
  // script step runs, as a person answers the dialog in front of them.
  runModalLoop(ended_, [this] { return answerFromScript(); }, [this] { return answerQueued(); });
  running_ = false;
  if (!ended_) result_ = kIdCancel;
  if (automation::enabled()) {
    if (closedWith_.empty()) closedWith_ = result_ == kIdOk ? "OK" : "Cancel";
    automation::recordDialog({title(), closedWith_});
  }
  if (ownerWasEnabled && owner->exists()) owner->enable(true);
  destroy();
  controls_.clear();
  if (ownerWasEnabled && owner->exists()) owner->activate();
  return result_;
}

intptr_t Dialog::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmCommand: {
      const uint32_t id = lowWord(wParam);
      if (id == kIdOk) {
        onOk();
      } else if (id == kIdCancel) {
        onCancel();
      } else {
        onCommand(id);
      }
      return 0;
    }
    case kWmClose:
      onCancel();
      return 0;
    case kWmSysKeyDown:
      if (((wParam >= 'A' && wParam <= 'Z') || (wParam >= '0' && wParam <= '9')) &&
          pressMnemonic(static_cast<char>(wParam)))
        return 0;
      return Window::handleMessage(message, wParam, lParam);
    case kWmKeyDown:
      if (wParam == kVkTab) {
        moveFocus((keyState(kVkShift) & 0x8000) == 0);
        return 0;
      }
      if (wParam == kVkReturn) {
        pressDefault();
        return 0;
      }
      if (wParam == kVkEscape) {
        onCancel();
        return 0;
      }
      return Window::handleMessage(message, wParam, lParam);
    default:
      return Window::handleMessage(message, wParam, lParam);
  }
}

}  // namespace platform
