// Workspace files: a flat sequence of tagged records from offset 0 to the
// end, with no header, count or checksum, written and read by the registered
// workspace participants (WorkspaceParticipant.h). User workspace files and
// the default preference file share the format.
//
// Files from elsewhere are untrusted: a file that ends inside a size or a
// payload, or names a payload longer than what is left of it, fails the load
// with error 10 of group 15999 ("The file was shorter than expected...")
// after everything before it has been taken; nothing is allocated for a size
// the file cannot hold.
#pragma once

#include <cstdint>

class File;
class WorkspaceParticipant;
namespace platform {
class Window;
}

// Codes of group 1100 (kGroupRecordFile), pushed above the cause of a
// failure.
enum WorkspaceError : int16_t {
  kErrLoadingFailed = 1,
  kErrSavingFailed = 2,
};

// What becomes of the error records of a failure. Records pending before
// the call are neither shown nor dropped: they stay below.
enum class FailureReport {
  kAtOnce,        // the failure's chain is shown to the user and cleared
  kLeavePending,  // the chain stays on the error stack for the caller
};

// Loads every registered participant from an open file: BeginLoad on all,
// every record offered to all in registry order, EndLoad on all (also after a
// failure, with the records read so far). Returns false on failure, with
// error 1 of group 1100 above the cause.
bool LoadWorkspace(File& file, FailureReport report = FailureReport::kAtOnce);

// The same for one participant, registered or not: how a single setting is
// read from the default preference file.
bool LoadParticipant(File& file, WorkspaceParticipant& participant,
                     FailureReport report = FailureReport::kAtOnce);

// Writes every registered participant's records from offset 0 and cuts the
// file after the last, so no tail of a longer old file is left behind.
// Returns false on failure, with error 2 of group 1100 above the cause.
bool SaveWorkspace(File& file, FailureReport report = FailureReport::kAtOnce);

// Rewrites one participant's records in place of the first record with the
// given tag, or appends them when the file has none. The rest of the file is
// left as it was; should the new records differ in length from the old one,
// the records after it move up or down with it rather than being
// overwritten or left with a gap. A file that is damaged before the record
// is found is not written (error 10 of group 15999). Failures as for
// SaveWorkspace.
bool RewriteParticipantRecord(File& file, uint32_t tag, WorkspaceParticipant& participant,
                              FailureReport report = FailureReport::kAtOnce);

// The Load Workspace and Save Workspace commands: the open or save dialog
// with the workspace filter (string 21; the save dialog proposes string 31
// and asks before replacing a file), then the load or save of the chosen
// file. Cancelling the dialog does nothing; any failure, opening included,
// is reported at once. True when the file was loaded or saved.
bool LoadWorkspaceWithDialog(platform::Window* owner);
bool SaveWorkspaceWithDialog(platform::Window* owner);
