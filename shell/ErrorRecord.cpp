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

std::string errorReportText(const ErrorRecord& record) {
  std::string message;
  if (const char* text = stringResource(messageIdFor(record.code, record.group))) {
    message = text;
  } else {
    char fallback[128];
    std::snprintf(fallback, sizeof fallback, "Unknown error code and group!\n Code: %d, Group:, %d",
                  record.code, record.group);
    message = fallback;
  }
  std::string location;
  if (record.line == kNoLine) {
    location = record.text ? record.text : "";
  } else {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, " %d", static_cast<int>(record.line));
    location = std::string(record.text ? record.text : "") + buffer;
  }
  return message + "\n" + location;
}

void reportErrors() {
  for (const ErrorRecord* record = gHead; record != nullptr;) {
    const bool last = record->next == nullptr;
    int answer = platform::kIdOk;
    try {
      answer = platform::messageBox(
          nullptr, errorReportText(*record), kMessageCaption,
          platform::kMbIconInformation | (last ? platform::kMbOk : platform::kMbOkCancel));
    } catch (...) {
      for (int i = 0; i < kWarningBeepsOnFailedBox; ++i) platform::messageBeep(platform::kMbIconExclamation);
      answer = platform::kIdCancel;
    }
    if (answer == platform::kIdOk) break;
    record = last ? nullptr : record->next;
  }
  clearErrors();
}
