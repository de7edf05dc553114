#include "workspace/Workspace.h"

#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "image/File.h"
#include "resources/StringTable.h"
#include "shell/ErrorRecord.h"
#include "workspace/StErrorsSetAside.h"
#include "workspace/WorkspaceParticipant.h"

namespace {

constexpr uint32_t kRecordHeaderSize = 8;

// Where WriteRecord puts the records of the participant that is saving: the
// workspace file, or memory while a record is rewritten in place.
struct RecordSink {
  File* file = nullptr;
  std::vector<uint8_t>* memory = nullptr;
};
RecordSink gSink;

// The sink of one load or save, cleared again however it ends.
class StRecordSink {
 public:
  explicit StRecordSink(RecordSink sink) : previous_(gSink) { gSink = sink; }
  ~StRecordSink() { gSink = previous_; }
  StRecordSink(const StRecordSink&) = delete;
  StRecordSink& operator=(const StRecordSink&) = delete;

 private:
  RecordSink previous_;
};

using Participants = std::vector<WorkspaceParticipant*>;

Participants registeredParticipants() {
  Participants participants;
  for (WorkspaceParticipant* p = WorkspaceParticipant::First(); p != nullptr; p = p->Next())
    participants.push_back(p);
  return participants;
}

struct RecordHeader {
  uint64_t start = 0;  // offset of the tag
  uint32_t tag = 0;
  uint32_t size = 0;
  uint64_t end() const { return start + kRecordHeaderSize + size; }
};

// Reads the header of the record at the current position and checks that
// its payload fits in the rest of the file, so that an absurd size is caught
// before anything is allocated for it. False at the end of the file: a tag
// cut short counts as the end, a size or payload cut short as a truncated
// file.
bool readRecordHeader(File& file, uint64_t fileLength, RecordHeader& header) {
  header.start = file.GetPosition();
  uint8_t bytes[4];
  if (file.ReadBytes(4, bytes) != 0) return false;
  header.tag = loadLittleEndian32(bytes);
  if (file.ReadBytes(4, bytes) != 0) THROW_ERROR(kErrFileTooShort, kGroupGeneral);
  header.size = loadLittleEndian32(bytes);
  if (header.start + kRecordHeaderSize > fileLength ||
      header.size > fileLength - header.start - kRecordHeaderSize)
    THROW_ERROR(kErrFileTooShort, kGroupGeneral);
  return true;
}

// Reads every record from offset 0 and offers it to the participants in
// order.
void readRecords(File& file, const Participants& participants) {
  const uint64_t length = file.GetLength();
  file.Seek(0, File::kFromBeginning);
  RecordHeader header;
  while (readRecordHeader(file, length, header)) {
    const auto payload = std::make_unique_for_overwrite<uint8_t[]>(header.size);
    if (file.ReadBytes(header.size, payload.get()) != 0)
      THROW_ERROR(kErrFileTooShort, kGroupGeneral);
    for (WorkspaceParticipant* participant : participants)
      participant->LoadRecord(header.tag, header.size, payload.get());
  }
}

// Makes sure the exception being handled has a record on the error stack:
// an XError pushed its own, anything else is described here.
void pushCauseOfCurrentException() {
  try {
    throw;
  } catch (const XError&) {
  } catch (const XOrigin& origin) {
    pushError(kErrUnknown, kGroupUncaught, origin.file(), origin.line());
  } catch (const std::bad_alloc&) {
    pushError(kErrOutOfMemory, kGroupGeneral);
  } catch (...) {
    pushError(kErrUnknown, kGroupUncaught);
  }
}

bool fail(WorkspaceError code, FailureReport report) {
  PUSH_ERROR(code, kGroupRecordFile);
  if (report == FailureReport::kAtOnce) reportErrors();
  return false;
}

bool load(File& file, const Participants& participants, FailureReport report) {
  StErrorsSetAside earlierErrors;
  StRecordSink current({&file, nullptr});
  bool failed = false;
  try {
    for (WorkspaceParticipant* participant : participants) participant->BeginLoad();
    readRecords(file, participants);
  } catch (...) {
    pushCauseOfCurrentException();
    failed = true;
  }
  for (WorkspaceParticipant* participant : participants) {
    try {
      participant->EndLoad();
    } catch (...) {
      pushCauseOfCurrentException();
      failed = true;
    }
  }
  return failed ? fail(kErrLoadingFailed, report) : true;
}

void writeBytes(File& file, const void* bytes, size_t count) {
  if (count > UINT32_MAX || file.WriteBytes(static_cast<uint32_t>(count), bytes) != 0)
    THROW_ERROR(kErrDiskFull, kGroupGeneral);
}

// Finds the first record with the tag. Returns false when there is none,
// with the header's start at the end of the last whole record: a tag cut
// short at the end is overwritten, not left in front of the new record where
// it would hide it from every reader.
bool findRecord(File& file, uint32_t tag, RecordHeader& header) {
  const uint64_t length = file.GetLength();
  file.Seek(0, File::kFromBeginning);
  while (readRecordHeader(file, length, header)) {
    if (header.tag == tag) return true;
    file.Seek(static_cast<int64_t>(header.end()), File::kFromBeginning);
  }
  return false;
}

std::vector<uint8_t> recordsOf(WorkspaceParticipant& participant) {
  std::vector<uint8_t> records;
  StRecordSink sink({nullptr, &records});
  participant.Save();
  return records;
}

void rewrite(File& file, uint32_t tag, WorkspaceParticipant& participant) {
  RecordHeader old;
  const bool found = findRecord(file, tag, old);
  const uint64_t oldEnd = found ? old.end() : old.start;
  const std::vector<uint8_t> records = recordsOf(participant);

  std::vector<uint8_t> after;
  const bool moves = found && records.size() != oldEnd - old.start;
  if (moves) {
    const uint64_t length = file.GetLength();
    if (length - oldEnd > UINT32_MAX) THROW_ERROR(kErrOutOfMemory, kGroupGeneral);
    after.resize(length - oldEnd);
    file.Seek(static_cast<int64_t>(oldEnd), File::kFromBeginning);
    if (file.ReadBytes(static_cast<uint32_t>(after.size()), after.data()) != 0)
      THROW_ERROR(kErrFileTooShort, kGroupGeneral);
  }
  file.Seek(static_cast<int64_t>(old.start), File::kFromBeginning);
  writeBytes(file, records.data(), records.size());
  if (moves) {
    writeBytes(file, after.data(), after.size());
    file.SetLength(file.GetPosition());
  }
}

}  // namespace

void WriteRecord(uint32_t tag, uint32_t size, const void* payload) {
  uint8_t header[kRecordHeaderSize];
  storeLittleEndian32(header, tag);
  storeLittleEndian32(header + 4, size);
  if (gSink.memory != nullptr) {
    const auto* bytes = static_cast<const uint8_t*>(payload);
    gSink.memory->insert(gSink.memory->end(), header, header + kRecordHeaderSize);
    gSink.memory->insert(gSink.memory->end(), bytes, bytes + size);
    return;
  }
  if (gSink.file == nullptr) THROW_ERROR(kErrEmptyReference, kGroupGeneral);
  writeBytes(*gSink.file, header, kRecordHeaderSize);
  writeBytes(*gSink.file, payload, size);
}

bool LoadWorkspace(File& file, FailureReport report) {
  return load(file, registeredParticipants(), report);
}

bool LoadParticipant(File& file, WorkspaceParticipant& participant, FailureReport report) {
  return load(file, Participants{&participant}, report);
}

bool SaveWorkspace(File& file, FailureReport report) {
  StErrorsSetAside earlierErrors;
  StRecordSink current({&file, nullptr});
  try {
    file.Seek(0, File::kFromBeginning);
    for (WorkspaceParticipant* participant : registeredParticipants()) participant->Save();
    file.SetLength(file.GetPosition());
    return true;
  } catch (...) {
    pushCauseOfCurrentException();
  }
  return fail(kErrSavingFailed, report);
}

bool RewriteParticipantRecord(File& file, uint32_t tag, WorkspaceParticipant& participant,
                              FailureReport report) {
  StErrorsSetAside earlierErrors;
  StRecordSink current({&file, nullptr});
  try {
    rewrite(file, tag, participant);
    return true;
  } catch (...) {
    pushCauseOfCurrentException();
  }
  return fail(kErrSavingFailed, report);
}

bool LoadWorkspaceWithDialog(platform::Window* owner) {
  StErrorsSetAside earlierErrors;
  try {
    File file;
    file.OpenForLoadingWithDialog(stringResource(kStrWorkspaceFilter), owner);
    return LoadWorkspace(file);
  } catch (const XCancel&) {
  } catch (const XError&) {
    reportErrors();
  }
  return false;
}

bool SaveWorkspaceWithDialog(platform::Window* owner) {
  StErrorsSetAside earlierErrors;
  try {
    File file;
    file.OpenForSavingWithDialog(stringResource(kStrWorkspaceFilter), stringResource(kStrWorkspaceDefaultName),
                                 owner);
    if (!SaveWorkspace(file)) return false;
    file.Close();
    return true;
  } catch (const XCancel&) {
  } catch (const XError&) {
    reportErrors();
  }
  return false;
}
