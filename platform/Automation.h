// Automation: scripted runs without a person at the screen. While it is
// enabled, boxes are recorded and answered from a queue, and time is virtual.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// ---- Beeps ----
const std::vector<unsigned>& beeps();
void clearBeeps();

// ---- Virtual time ----
uint32_t virtualTime();
void advanceTime(uint32_t milliseconds);
void sleepVirtual(uint32_t milliseconds);

// Forgets all queued answers and records; time goes back to 0.
void reset();

}  // namespace platform::automation
