#include "workspace/Workspace.h"

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/File.h"
#include "platform/MessageBox.h"
#include "resources/StringTable.h"
#include "shell/ErrorRecord.h"
#include "tests/support/AutomatedTest.h"
#include "workspace/WorkspaceParticipant.h"

// The largest single allocation since it was last reset: a loader must not
// allocate what a size field claims before the file shows it holds that much.
namespace {
size_t gLargestAllocation = 0;
}

void* operator new(size_t size) {
  gLargestAllocation = std::max(gLargestAllocation, size);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }

namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

Bytes littleEndian(uint32_t value) {
  uint8_t bytes[4];
  storeLittleEndian32(bytes, value);
  return Bytes(reinterpret_cast<char*>(bytes), 4);
}

Bytes record(uint32_t tag, const Bytes& payload) {
  return littleEndian(tag) + littleEndian(static_cast<uint32_t>(payload.size())) + payload;
}

constexpr uint32_t kTagWindow = fourCharCode("WrkW");
constexpr uint32_t kTagPathSettings = 1102;

// Takes the records of one tag and one size, and writes its payloads back.
class TestParticipant : public WorkspaceParticipant {
 public:
  TestParticipant(uint32_t tag, uint32_t size, Registration registration = Registration::kRegistered)
      : WorkspaceParticipant(registration), tag_(tag), size_(size) {}

  void BeginLoad() override {
    calls.push_back("BeginLoad");
    taken.clear();
  }
  void LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) override {
    ++offered;
    if (tag != tag_ || size != size_) return;
    taken.emplace_back(reinterpret_cast<const char*>(payload), size);
    if (throwOnTake) THROW_ERROR(kErrRead, kGroupGeneral);
  }
  void EndLoad() override { calls.push_back("EndLoad"); }
  void Save() override {
    for (const Bytes& payload : toSave) WriteRecord(tag_, static_cast<uint32_t>(payload.size()), payload.data());
    if (saveFailure) saveFailure();
  }

  std::vector<std::string> calls;
  std::vector<Bytes> taken;
  int offered = 0;
  bool throwOnTake = false;
  std::vector<Bytes> toSave;
  void (*saveFailure)() = nullptr;

 private:
  uint32_t tag_;
  uint32_t size_;
};

class WorkspaceTest : public testing_support::AutomatedTest {
 protected:
  void SetUp() override {
    AutomatedTest::SetUp();
    std::string pattern = (fs::temp_directory_path() / "tessaly-workspace-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    path_ = (folder_ / "Workspace 1.tsw").string();
  }
  void TearDown() override {
    clearErrors();
    fs::remove_all(folder_);
    AutomatedTest::TearDown();
  }

  void WriteFile(const Bytes& content) const { std::ofstream(path_, std::ios::binary) << content; }
  Bytes FileContent() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  bool Load(const Bytes& content, FailureReport report = FailureReport::kAtOnce) {
    WriteFile(content);
    File file;
    file.OpenForLoading(path_);
    return LoadWorkspace(file, report);
  }
  // A save that fails is not closed, so the old file stays.
  bool Save() {
    File file;
    file.OpenForSaving(path_);
    if (!SaveWorkspace(file)) return false;
    file.Close();
    return true;
  }
  bool Rewrite(uint32_t tag, WorkspaceParticipant& participant) {
    File file;
    file.OpenForSaving(path_);
    if (!RewriteParticipantRecord(file, tag, participant)) return false;
    file.Close();
    return true;
  }

  // The records of a failure are pending (kLeavePending): the report on top,
  // its cause below.
  static void ExpectPendingFailure(int16_t reportCode, int16_t causeCode, int16_t causeGroup) {
    const ErrorRecord* head = errorStackHead();
    ASSERT_NE(head, nullptr) << "no error records pending";
    EXPECT_EQ(head->group, kGroupRecordFile);
    EXPECT_EQ(head->code, reportCode);
    ASSERT_NE(head->next, nullptr) << "the cause is missing below the report";
    EXPECT_EQ(head->next->group, causeGroup);
    EXPECT_EQ(head->next->code, causeCode);
  }

  static std::vector<std::string> BeginAndEnd() { return {"BeginLoad", "EndLoad"}; }

  fs::path folder_;
  std::string path_;
};

const Bytes kWindowPayload(44, 'w');
const Bytes kPathPayload = littleEndian(30) + littleEndian(50) + littleEndian(0);

TEST_F(WorkspaceTest, TagsAreBigEndianCharacterCodesStoredLittleEndian) {
  EXPECT_EQ(fourCharCode("WrkW"), 0x57726B57u);
  TestParticipant window(kTagWindow, 44);
  window.toSave = {kWindowPayload};
  ASSERT_TRUE(Save());
  EXPECT_EQ(FileContent(), "WkrW" + Bytes("\x2c\0\0\0", 4) + kWindowPayload);
}

TEST_F(WorkspaceTest, EmptyFileGivesEveryParticipantBeginAndEndOnly) {
  TestParticipant window(kTagWindow, 44);
  TestParticipant path(kTagPathSettings, 12);
  EXPECT_TRUE(Load(""));
  EXPECT_EQ(window.calls, BeginAndEnd());
  EXPECT_EQ(path.calls, BeginAndEnd());
  EXPECT_EQ(window.offered + path.offered, 0);
  EXPECT_TRUE(boxes().empty());
}

TEST_F(WorkspaceTest, TagCutShortEndsTheFileNormally) {
  for (size_t cut = 1; cut <= 3; ++cut) {
    TestParticipant window(kTagWindow, 44);
    EXPECT_TRUE(Load(record(kTagWindow, kWindowPayload) + Bytes("WkrW", cut))) << cut << " bytes of a tag";
    EXPECT_EQ(window.taken, std::vector<Bytes>{kWindowPayload});
    EXPECT_EQ(window.calls, BeginAndEnd());
  }
  EXPECT_TRUE(boxes().empty()) << "a tag cut short is no error";
}

TEST_F(WorkspaceTest, FileEndingInsideASizeOrPayloadIsTruncatedAndKeepsWhatCameBefore) {
  const Bytes complete = record(kTagPathSettings, kPathPayload);
  const Bytes nextRecord = record(kTagPathSettings, littleEndian(1) + littleEndian(2) + littleEndian(3));
  const std::vector<Bytes> cutShort = {
      complete + nextRecord.substr(0, 5),   // one byte into the size
      complete + nextRecord.substr(0, 7),   // three bytes into the size
      complete + nextRecord.substr(0, 8),   // no payload at all
      complete + nextRecord.substr(0, 19),  // one byte of the payload missing
  };
  for (const Bytes& content : cutShort) {
    TestParticipant path(kTagPathSettings, 12);
    EXPECT_FALSE(Load(content, FailureReport::kLeavePending)) << content.size() << " bytes";
    ExpectPendingFailure(kErrLoadingFailed, kErrFileTooShort, kGroupGeneral);
    EXPECT_EQ(path.taken, std::vector<Bytes>{kPathPayload}) << "the record before the cut was lost";
    EXPECT_EQ(path.calls, BeginAndEnd());
    clearErrors();
  }
}

TEST_F(WorkspaceTest, SizeBeyondTheEndOfTheFileIsTruncationNotAnAllocation) {
  for (uint32_t size : {0xFFFFFFFFu, 0x80000000u, 13u}) {
    TestParticipant path(kTagPathSettings, 12);
    gLargestAllocation = 0;
    EXPECT_FALSE(Load(record(kTagPathSettings, kPathPayload) + littleEndian(kTagPathSettings) +
                          littleEndian(size) + Bytes(12, 'x'),
                      FailureReport::kLeavePending))
        << "size " << size;
    EXPECT_LT(gLargestAllocation, size_t{1} << 20) << "the loader allocated what size " << size << " claims";
    ExpectPendingFailure(kErrLoadingFailed, kErrFileTooShort, kGroupGeneral);
    EXPECT_EQ(path.taken, std::vector<Bytes>{kPathPayload});
    clearErrors();
  }
}

TEST_F(WorkspaceTest, UnknownTagsAndKnownTagsOfAnotherSizeAreSkippedSilently) {
  TestParticipant window(kTagWindow, 44);
  const Bytes content = record(fourCharCode("Zzzz"), "unknown") + record(kTagWindow, Bytes(43, 'a')) +
                        record(kTagWindow, kWindowPayload) + record(kTagWindow, Bytes(45, 'b')) +
                        record(0, "") + record(kTagWindow, Bytes());
  EXPECT_TRUE(Load(content));
  EXPECT_EQ(window.taken, std::vector<Bytes>{kWindowPayload});
  EXPECT_EQ(window.offered, 6) << "every record is offered to every participant";
  EXPECT_TRUE(boxes().empty());
}

TEST_F(WorkspaceTest, RecordsOfOneParticipantKeepTheirOrderThroughSaveAndLoad) {
  TestParticipant path(kTagPathSettings, 12);
  TestParticipant window(kTagWindow, 44);
  path.toSave = {kPathPayload, littleEndian(1) + littleEndian(2) + littleEndian(3)};
  window.toSave = {kWindowPayload};
  ASSERT_TRUE(Save());
  EXPECT_EQ(FileContent(), record(kTagWindow, kWindowPayload) + record(kTagPathSettings, path.toSave[0]) +
                               record(kTagPathSettings, path.toSave[1]))
      << "runs follow the registry, the participant registered last first";

  ASSERT_TRUE(Load(FileContent()));
  EXPECT_EQ(path.taken, path.toSave);
  EXPECT_EQ(window.taken, window.toSave);
}

TEST_F(WorkspaceTest, SavingOverALongerFileLeavesNoOldTail) {
  WriteFile(Bytes(500, '\xEE'));
  TestParticipant path(kTagPathSettings, 12);
  path.toSave = {kPathPayload};
  ASSERT_TRUE(Save());
  EXPECT_EQ(FileContent(), record(kTagPathSettings, kPathPayload));
}

TEST_F(WorkspaceTest, ParticipantFailureStopsReadingAndStillEndsEveryone) {
  TestParticipant failing(kTagPathSettings, 12);
  TestParticipant window(kTagWindow, 44);
  failing.throwOnTake = true;
  EXPECT_FALSE(Load(record(kTagWindow, kWindowPayload) + record(kTagPathSettings, kPathPayload) +
                        record(kTagWindow, Bytes(44, 'z')),
                    FailureReport::kLeavePending));
  ExpectPendingFailure(kErrLoadingFailed, kErrRead, kGroupGeneral);
  EXPECT_EQ(window.taken, std::vector<Bytes>{kWindowPayload}) << "reading went on after the failure";
  EXPECT_EQ(window.calls, BeginAndEnd());
  EXPECT_EQ(failing.calls, BeginAndEnd());
}

TEST_F(WorkspaceTest, LoadingFailureIsReportedAtOnceAboveItsCause) {
  TestParticipant path(kTagPathSettings, 12);
  platform::automation::queueBoxAnswer(platform::kIdCancel);
  EXPECT_FALSE(Load(littleEndian(kTagPathSettings) + Bytes("\x0c", 1)));
  ASSERT_EQ(boxes().size(), 2u);
  EXPECT_EQ(boxText(0).rfind("Unknown error code and group!\n Code: 1, Group:, 1100\nWorkspace.cpp ", 0), 0u)
      << boxText(0);
  EXPECT_EQ(boxes()[0].buttons, platform::kMbOkCancel);
  EXPECT_EQ(boxText(1).rfind(std::string(stringResource(17009)) + "\nWorkspace.cpp ", 0), 0u) << boxText(1);
  EXPECT_EQ(boxes()[1].buttons, platform::kMbOk);
  EXPECT_FALSE(errorPending()) << "a report clears the records it showed";
}

TEST_F(WorkspaceTest, ExceptionsWithoutARecordGetOneBelowTheReport) {
  struct Throwing : TestParticipant {
    using TestParticipant::TestParticipant;
    void EndLoad() override { throw std::runtime_error("not ours"); }
  } throwing(kTagWindow, 44);
  struct Cancelling : TestParticipant {
    using TestParticipant::TestParticipant;
    void BeginLoad() override { throw XCancel(TESSALY_HERE); }
  } cancelling(kTagPathSettings, 12);
  EXPECT_FALSE(Load(record(kTagWindow, kWindowPayload), FailureReport::kLeavePending));
  ExpectPendingFailure(kErrLoadingFailed, kErrUnknown, kGroupUncaught);
  EXPECT_TRUE(throwing.taken.empty()) << "records were read after BeginLoad failed";
  const ErrorRecord* cancelCause = errorStackHead()->next->next;
  ASSERT_NE(cancelCause, nullptr);
  EXPECT_EQ(cancelCause->group, kGroupUncaught);
  EXPECT_STREQ(cancelCause->text, "WorkspaceTest.cpp") << "the cause does not say where it arose";
}

TEST_F(WorkspaceTest, SavingFailureIsReportedAboveItsCauseAndEndsTheSave) {
  TestParticipant path(kTagPathSettings, 12);
  path.toSave = {kPathPayload};
  WriteFile("old content");
  {
    File file;
    file.OpenForLoading(path_);
    EXPECT_FALSE(SaveWorkspace(file, FailureReport::kLeavePending));
  }
  ExpectPendingFailure(kErrSavingFailed, kErrSaving, kGroupHost);
  EXPECT_EQ(FileContent(), "old content");
  clearErrors();

  EXPECT_THROW(WriteRecord(kTagPathSettings, 12, kPathPayload.data()), XError)
      << "the saved file stayed current after the save";
  clearErrors();

  path.saveFailure = [] { THROW_ERROR(kErrDiskFull, kGroupGeneral); };
  platform::automation::queueBoxAnswer(platform::kIdCancel);
  EXPECT_FALSE(Save());
  ASSERT_EQ(boxes().size(), 2u);
  EXPECT_EQ(boxText(0).rfind("Unknown error code and group!\n Code: 2, Group:, 1100\n", 0), 0u) << boxText(0);
  EXPECT_EQ(boxText(1).rfind(std::string(stringResource(17008)) + "\n", 0), 0u) << boxText(1);
}

TEST_F(WorkspaceTest, RecordsPendingBeforeAFailureAreNeitherShownNorLost) {
  TestParticipant path(kTagPathSettings, 12);
  path.saveFailure = [] { THROW_ERROR(kErrDiskFull, kGroupGeneral); };
  pushError(kResultQuiet, kGroupHost);  // closing through Exit, answered No

  platform::automation::queueBoxAnswer(platform::kIdCancel);
  EXPECT_FALSE(Save());
  EXPECT_EQ(boxes().size(), 2u) << "the report showed more than the failed save";
  ASSERT_TRUE(errorPending()) << "the quiet cancel record was dropped";
  EXPECT_EQ(pendingErrorCode(), kResultQuiet);
  EXPECT_EQ(errorStackHead()->next, nullptr);

  File file;
  file.OpenForSaving(path_);
  EXPECT_FALSE(SaveWorkspace(file, FailureReport::kLeavePending));
  ExpectPendingFailure(kErrSavingFailed, kErrDiskFull, kGroupGeneral);
  const ErrorRecord* bottom = errorStackHead()->next->next;
  ASSERT_NE(bottom, nullptr);
  EXPECT_EQ(bottom->code, kResultQuiet) << "the earlier record is not below the new ones";
  EXPECT_EQ(bottom->next, nullptr);
}

// The disk fills up after every possible number of bytes: the save fails,
// and the file that was there is still there, whole, with nothing beside it.
TEST_F(WorkspaceTest, ASaveThatFailsAtAnyByteLeavesTheOldFileWhole) {
  TestParticipant window(kTagWindow, 44);
  window.toSave = {Bytes(44, 'w')};
  const Bytes old = record(kTagWindow, Bytes(44, 'o')) + record(kTagPathSettings, Bytes(12, 'p'));
  const size_t newSize = 8 + 44;
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
  rlimit unlimited {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
  for (size_t limit = 0; limit <= old.size() + 1; ++limit) {
    WriteFile(old);
    rlimit limited = unlimited;
    limited.rlim_cur = limit;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool saved = false;
    try {
      saved = Save();
    } catch (const XError&) {
      // opening failed: the old file could not be copied
    }
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const Bytes now = FileContent();
    if (saved) {
      EXPECT_GE(limit, old.size()) << "the old file had to be copied whole first";
      EXPECT_EQ(now.substr(0, newSize), record(kTagWindow, Bytes(44, 'w')));
    } else {
      EXPECT_EQ(now, old) << "a save failing at byte " << limit << " damaged the old file";
      clearErrors();
      platform::automation::reset();
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1)
        << "a save failing at byte " << limit << " left a file behind";
  }
  ::sigaction(SIGXFSZ, &previous, nullptr);
}

TEST_F(WorkspaceTest, WorkspaceCommandsSaveAndLoadTheChosenFile) {
  TestParticipant window(kTagWindow, 44);
  window.toSave = {kWindowPayload};
  platform::automation::queueFileAnswer((folder_ / "Mine").string());
  EXPECT_TRUE(SaveWorkspaceWithDialog(nullptr));
  const std::string saved = (folder_ / "Mine.tsw").string();
  ASSERT_TRUE(fs::exists(saved)) << "the workspace extension was not added";

  platform::automation::queueFileAnswer(saved);
  EXPECT_TRUE(LoadWorkspaceWithDialog(nullptr));
  EXPECT_EQ(window.taken, window.toSave);
  EXPECT_TRUE(boxes().empty());
}

TEST_F(WorkspaceTest, WorkspaceCommandsCancelQuietlyAndReportOpeningFailures) {
  TestParticipant window(kTagWindow, 44);
  EXPECT_FALSE(LoadWorkspaceWithDialog(nullptr)) << "no file chosen";
  EXPECT_FALSE(SaveWorkspaceWithDialog(nullptr));
  EXPECT_TRUE(window.calls.empty()) << "a cancelled load began loading";
  EXPECT_TRUE(boxes().empty()) << "a cancel showed a message";

  platform::automation::queueFileAnswer((folder_ / "missing.tsw").string());
  EXPECT_FALSE(LoadWorkspaceWithDialog(nullptr));
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0).rfind(std::string(stringResource(2008)) + "\nFile.cpp ", 0), 0u) << boxText(0);
  EXPECT_FALSE(errorPending());
}

TEST_F(WorkspaceTest, LoadingOneParticipantLeavesTheRegistryAlone) {
  TestParticipant registered(kTagPathSettings, 12);
  TestParticipant alone(kTagPathSettings, 12, WorkspaceParticipant::Registration::kStandalone);
  for (WorkspaceParticipant* p = WorkspaceParticipant::First(); p != nullptr; p = p->Next())
    EXPECT_NE(p, &alone) << "a standalone participant joined the registry";
  WriteFile(record(kTagWindow, kWindowPayload) + record(kTagPathSettings, kPathPayload));
  File file;
  file.OpenForLoading(path_);
  EXPECT_TRUE(LoadParticipant(file, alone));
  EXPECT_EQ(alone.taken, std::vector<Bytes>{kPathPayload});
  EXPECT_EQ(alone.offered, 2);
  EXPECT_TRUE(registered.calls.empty());
}

TEST_F(WorkspaceTest, DestroyedParticipantsLeaveTheRegistry) {
  WorkspaceParticipant* const before = WorkspaceParticipant::First();
  {
    TestParticipant first(kTagWindow, 44);
    TestParticipant second(kTagPathSettings, 12);
    EXPECT_EQ(WorkspaceParticipant::First(), &second);
    EXPECT_EQ(second.Next(), &first);
  }
  EXPECT_EQ(WorkspaceParticipant::First(), before);
}

TEST_F(WorkspaceTest, RewriteChangesOnlyTheRecordInPlace) {
  const Bytes before = record(kTagWindow, kWindowPayload);
  const Bytes after = record(fourCharCode("Navi"), Bytes(16, 'n')) + record(kTagPathSettings, Bytes(12, 'l'));
  WriteFile(before + record(kTagPathSettings, kPathPayload) + after);
  TestParticipant path(kTagPathSettings, 12, WorkspaceParticipant::Registration::kStandalone);
  path.toSave = {littleEndian(80) + littleEndian(20) + littleEndian(1)};
  ASSERT_TRUE(Rewrite(kTagPathSettings, path));
  EXPECT_EQ(FileContent(), before + record(kTagPathSettings, path.toSave[0]) + after)
      << "more than the first record of the tag changed";
}

TEST_F(WorkspaceTest, RewriteAppendsWhenTheRecordIsMissing) {
  const Bytes content = record(kTagWindow, kWindowPayload);
  TestParticipant path(kTagPathSettings, 12, WorkspaceParticipant::Registration::kStandalone);
  path.toSave = {kPathPayload};

  WriteFile(content);
  ASSERT_TRUE(Rewrite(kTagPathSettings, path));
  EXPECT_EQ(FileContent(), content + record(kTagPathSettings, kPathPayload));

  fs::remove(path_);
  ASSERT_TRUE(Rewrite(kTagPathSettings, path));
  EXPECT_EQ(FileContent(), record(kTagPathSettings, kPathPayload)) << "a missing file is created";

  WriteFile(content + "\x4e\x04");
  ASSERT_TRUE(Rewrite(kTagPathSettings, path));
  EXPECT_EQ(FileContent(), content + record(kTagPathSettings, kPathPayload))
      << "a tag cut short at the end must not hide the appended record";
}

TEST_F(WorkspaceTest, RewriteOfARecordOfAnotherSizeMovesTheRestInsteadOfOverwritingIt) {
  const Bytes rest = record(kTagWindow, kWindowPayload);
  TestParticipant path(kTagPathSettings, 12, WorkspaceParticipant::Registration::kStandalone);
  path.toSave = {kPathPayload};

  WriteFile(record(kTagPathSettings, "abcd") + rest);
  ASSERT_TRUE(Rewrite(kTagPathSettings, path));
  EXPECT_EQ(FileContent(), record(kTagPathSettings, kPathPayload) + rest);

  WriteFile(record(kTagPathSettings, Bytes(40, 'x')) + rest);
  ASSERT_TRUE(Rewrite(kTagPathSettings, path));
  EXPECT_EQ(FileContent(), record(kTagPathSettings, kPathPayload) + rest);
}

TEST_F(WorkspaceTest, RewriteLeavesADamagedFileUntouched) {
  const Bytes damaged = record(kTagWindow, kWindowPayload) + littleEndian(kTagWindow) + littleEndian(1000) + "abc";
  WriteFile(damaged);
  TestParticipant path(kTagPathSettings, 12, WorkspaceParticipant::Registration::kStandalone);
  path.toSave = {kPathPayload};
  File file;
  file.OpenForSaving(path_);
  EXPECT_FALSE(RewriteParticipantRecord(file, kTagPathSettings, path, FailureReport::kLeavePending));
  ExpectPendingFailure(kErrSavingFailed, kErrFileTooShort, kGroupGeneral);
  EXPECT_EQ(FileContent(), damaged);
}

}  // namespace
