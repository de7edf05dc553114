#include "platform/Automation.h"

#include <atomic>
#include <deque>
#include <stdexcept>

#include "platform/MessageBox.h"
#include "platform/internal/AutomationState.h"

namespace platform::automation {
namespace {

std::atomic<bool> gEnabled{false};
std::atomic<uint32_t> gTime{0};

struct BoxState {
  std::deque<int> answers;  // 0 stands for "fail to show"
  std::vector<ShownBox> shown;
  std::vector<unsigned> beeps;
};

BoxState& boxState() {
  static BoxState state;
  return state;
}

constexpr int kFailToShow = 0;

int firstButton(unsigned buttons) {
  switch (buttons) {
    case kMbYesNoCancel:
    case kMbYesNo:
      return kIdYes;
    default:
      return kIdOk;
  }
}

}  // namespace

void setEnabled(bool enabled) { gEnabled = enabled; }
bool enabled() { return gEnabled; }

void queueBoxAnswer(int id) { boxState().answers.push_back(id); }
void queueBoxFailure() { boxState().answers.push_back(kFailToShow); }
const std::vector<ShownBox>& shownBoxes() { return boxState().shown; }
void clearShownBoxes() { boxState().shown.clear(); }

const std::vector<unsigned>& beeps() { return boxState().beeps; }
void clearBeeps() { boxState().beeps.clear(); }

uint32_t virtualTime() { return gTime; }
void advanceTime(uint32_t milliseconds) { gTime += milliseconds; }
void sleepVirtual(uint32_t milliseconds) { gTime += milliseconds; }

void reset() {
  boxState() = BoxState{};
  gTime = 0;
}

int answerBox(std::string_view text, std::string_view caption, unsigned flags) {
  auto& state = boxState();
  const unsigned buttons = flags & kMbButtonMask;
  int answer = firstButton(buttons);
  if (!state.answers.empty()) {
    answer = state.answers.front();
    state.answers.pop_front();
    if (answer == kFailToShow) throw std::runtime_error("message box could not be shown");
  }
  state.shown.push_back({std::string(text), std::string(caption), flags & kMbIconMask, buttons, answer});
  return answer;
}

void recordBeep(unsigned icon) { boxState().beeps.push_back(icon); }

}  // namespace platform::automation
