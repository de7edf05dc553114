// The error stack: what the user is to be told about a failure.
//
// Code that detects a failure pushes a record (a code in a group that picks
// a message from the string table, and where it happened) and throws; the
// outermost catcher decides whether the records are shown, handed to the
// host as a result code, or both.
#pragma once

#include <cstdint>
#include <string>

#include "shell/Exceptions.h"

// A host result code, or a message id used directly. Code 1110 in this group
// means the user has been told or has cancelled: stop quietly.
constexpr int16_t kGroupHost = -32768;
constexpr int16_t kGroupPlugIn = 1000;     // plug-in messages 2002, 2005
constexpr int16_t kGroupGeneral = 15999;   // memory and file failures
constexpr int16_t kGroupRecordFile = 1100; // the workspace record reader
constexpr int16_t kGroupUncaught = 14000;  // an exception with nothing pushed

constexpr int16_t kResultQuiet = 1110;

// Codes of kGroupPlugIn.
enum PlugInError : int16_t {
  kErrOperationFailed = 2,   // "The operation could not be completed."
  kErrModeNotSupported = 5,  // the image mode is not supported
};

// Codes of kGroupGeneral.
enum GeneralError : int16_t {
  kErrUnknown = 1,
  kErrOutOfMemory = 2,
  kErrWrite = 3,
  kErrPermissionDenied = 4,
  kErrInputOutput = 5,
  kErrUnclaimedMemory = 6,
  kErrEmptyReference = 7,
  kErrRead = 8,
  kErrDiskFull = 9,
  kErrFileTooShort = 10,
  kErrFileNotFound = 11,
  kErrVolumeLocked = 12,
  kErrFileLocked = 13,
  kErrNoMessage = 14,
};

// A line of -2^31 means "no line": text is then a free detail text rather
// than a source file.
constexpr int32_t kNoLine = INT32_MIN;

struct ErrorRecord {
  int16_t code;
  int16_t group;
  const char* text;  // static; never owned
  int32_t line;
  ErrorRecord* next;
};

// Pushes a record. Never throws: when there is no memory for the record,
// the newest pending record is overwritten (or, if only the out-of-memory
// spare is pending, the new error is lost).
void pushError(int16_t code, int16_t group, const char* text = nullptr,
               int32_t line = kNoLine) noexcept;

// pushError, then throw XError.
[[noreturn]] void throwError(int16_t code, int16_t group, const char* text = nullptr,
                             int32_t line = kNoLine);

// pushError, then reportErrors.
void pushAndReportError(int16_t code, int16_t group, const char* text = nullptr,
                        int32_t line = kNoLine);

// Shows the pending records newest first, then clears them. A record with
// no message of its own (the fallback text) only says in which operation a
// cause below it arose; while a record with a message is pending, only such
// records are shown, so the first box names the cause. Every pending record
// goes to the error log with where it arose.
void reportErrors();

// Drops every pending record unseen.
void clearErrors() noexcept;
// Drops the newest pending record unseen, if any.
void dropNewestError() noexcept;

bool errorPending() noexcept;
int16_t pendingErrorCode() noexcept;   // of the newest record; 0 if none
int16_t pendingErrorGroup() noexcept;  // of the newest record; 0 if none

// The head of the stack, for those who must walk it (tests, the report).
const ErrorRecord* errorStackHead() noexcept;

// The message id of a record: the code itself in kGroupHost, else
// group + code + 1000.
int32_t messageIdFor(int16_t code, int16_t group) noexcept;

// The text a record shows: its message, a line break, and its free detail
// text if it has one. Where in the source it arose is for the log only.
std::string errorReportText(const ErrorRecord& record);

// The line the error log gets for a record: code, group, source file and
// line or detail text, and the message on one line.
std::string errorLogText(const ErrorRecord& record);

// The error log: lines for developers, on standard error unless a test
// redirects them. Returns the sink it replaces.
using ErrorLogSink = void (*)(const std::string& line);
ErrorLogSink setErrorLogSink(ErrorLogSink sink) noexcept;

// Pushes the out-of-memory spare unless it is in use. Used by the
// allocation-failure handler, which cannot allocate a record.
void pushSpareRecord() noexcept;

#define THROW_ERROR(code, group) throwError((code), (group), TESSALY_HERE)
#define PUSH_ERROR(code, group) pushError((code), (group), TESSALY_HERE)
