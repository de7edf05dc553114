#include "shell/ErrorRecord.h"

#include <cstdio>

#include "hostapi/HostTypes.h"
#include "platform/MessageBox.h"
#include "resources/StringTable.h"

namespace {

// The record pushed when memory is exhausted: it needs no allocation. It is
// free when its next field points to itself.
ErrorRecord gSpare{kHostOutOfMemory, kGroupHost, nullptr, kNoLine, &gSpare};
ErrorRecord* gHead = nullptr;

bool spareInUse() { return gSpare.next != &gSpare; }
void releaseSpare() { gSpare.next = &gSpare; }

constexpr int kWarningBeepsOnFailedBox = 7;
constexpr const char* kMessageCaption = "Tessaly";

}  // namespace

void pushSpareRecord() noexcept {
  if (spareInUse()) return;
  gSpare.next = gHead;
  gHead = &gSpare;
}

void pushError(int16_t code, int16_t group, const char* text, int32_t line) noexcept {
  try {
    gHead = new ErrorRecord{code, group, text, line, gHead};
    return;
  } catch (...) {
    // The allocation-failure handler has given up and put the spare on top.
  }
  if (gHead == &gSpare && gSpare.next != nullptr) {
    gHead = gSpare.next;
    releaseSpare();
  }
  if (gHead != nullptr && gHead != &gSpare) {
    gHead->code = code;
    gHead->group = group;
    gHead->text = text;
    gHead->line = line;
  }
}

void throwError(int16_t code, int16_t group, const char* text, int32_t line) {
  pushError(code, group, text, line);
  throw XError(TESSALY_HERE);
}

void pushAndReportError(int16_t code, int16_t group, const char* text, int32_t line) {
  pushError(code, group, text, line);
  reportErrors();
}

void clearErrors() noexcept {
  while (gHead != nullptr) dropNewestError();
}

void dropNewestError() noexcept {
  ErrorRecord* record = gHead;
  if (record == nullptr) return;
  gHead = record->next;
  if (record == &gSpare)
    releaseSpare();
  else
    delete record;
}

bool errorPending() noexcept { return gHead != nullptr; }
int16_t pendingErrorCode() noexcept { return gHead ? gHead->code : 0; }
int16_t pendingErrorGroup() noexcept { return gHead ? gHead->group : 0; }
const ErrorRecord* errorStackHead() noexcept { return gHead; }

int32_t messageIdFor(int16_t code, int16_t group) noexcept {
  if (group == kGroupHost) return code;
  return int32_t{group} + code + 1000;
}

namespace {

bool hasOwnMessage(const ErrorRecord& record) {
  return stringResource(messageIdFor(record.code, record.group)) != nullptr;
}

std::string messageOf(const ErrorRecord& record) {
  if (const char* text = stringResource(messageIdFor(record.code, record.group))) return text;
  char fallback[128];
  std::snprintf(fallback, sizeof fallback, "Unknown error code and group!\n Code: %d, Group:, %d",
                record.code, record.group);
  return fallback;
}

bool hasSourceLocation(const ErrorRecord& record) { return record.line != kNoLine; }

void logToStandardError(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

ErrorLogSink gLogSink = logToStandardError;

void logPendingRecords() {
  for (const ErrorRecord* record = gHead; record != nullptr; record = record->next) {
    try {
      gLogSink(errorLogText(*record));
    } catch (...) {
      return;  // the log is a help, never a reason to fail a report
    }
  }
}

bool anyOwnMessage() {
  for (const ErrorRecord* record = gHead; record != nullptr; record = record->next)
    if (hasOwnMessage(*record)) return true;
  return false;
}

const ErrorRecord* nextShown(const ErrorRecord* record, bool tellingOnly) {
  while (record != nullptr && tellingOnly && !hasOwnMessage(*record)) record = record->next;
  return record;
}

// Shows the records newest first: those that say what went wrong, or every
// record when none does. OK ends the report, Cancel goes on.
void showRecords() {
  const bool tellingOnly = anyOwnMessage();
  for (const ErrorRecord* record = nextShown(gHead, tellingOnly); record != nullptr;) {
    const ErrorRecord* following = nextShown(record->next, tellingOnly);
    int answer = platform::kIdOk;
    try {
      answer = platform::messageBox(
          nullptr, errorReportText(*record), kMessageCaption,
          platform::kMbIconInformation | (following == nullptr ? platform::kMbOk : platform::kMbOkCancel));
    } catch (...) {
      for (int beep = 0; beep < kWarningBeepsOnFailedBox; ++beep) platform::messageBeep(platform::kMbIconExclamation);
      answer = platform::kIdCancel;
    }
    if (answer == platform::kIdOk) return;
    record = following;
  }
}

}  // namespace

std::string errorReportText(const ErrorRecord& record) {
  const char* detail = !hasSourceLocation(record) && record.text != nullptr ? record.text : "";
  return messageOf(record) + "\n" + detail;
}

std::string errorLogText(const ErrorRecord& record) {
  const std::string text = record.text != nullptr ? record.text : "";
  std::string where;
  if (hasSourceLocation(record))
    where = " at " + text + " " + std::to_string(record.line);
  else if (!text.empty())
    where = " (" + text + ")";
  std::string message = messageOf(record);
  for (char& c : message)
    if (c == '\n') c = ' ';
  return "Tessaly: error " + std::to_string(record.code) + " in group " + std::to_string(record.group) + where +
         ": " + message;
}

ErrorLogSink setErrorLogSink(ErrorLogSink sink) noexcept {
  const ErrorLogSink previous = gLogSink;
  gLogSink = sink != nullptr ? sink : logToStandardError;
  return previous;
}

void reportErrors() {
  logPendingRecords();
  showRecords();
  clearErrors();
}
