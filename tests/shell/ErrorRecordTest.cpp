#include "shell/ErrorRecord.h"

#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "resources/StringTable.h"
#include "tests/support/AutomatedTest.h"
#include "tests/support/FailingAllocator.h"

namespace {

using testing_support::AutomatedTest;

class ErrorRecordTest : public AutomatedTest {
 protected:
  void TearDown() override {
    clearErrors();
    AutomatedTest::TearDown();
  }
};

TEST_F(ErrorRecordTest, PlugInRecordShowsItsMessageAndAnEmptyLocation) {
  pushError(5, kGroupPlugIn);
  reportErrors();
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), std::string(stringResource(2005)) + "\n");
  EXPECT_EQ(boxes()[0].icon, platform::kMbIconInformation);
  EXPECT_EQ(boxes()[0].buttons, platform::kMbOk);
  EXPECT_FALSE(errorPending());
}

TEST_F(ErrorRecordTest, HostGroupCodeIsItsOwnMessageId) {
  EXPECT_EQ(messageIdFor(2009, kGroupHost), 2009);
  EXPECT_EQ(messageIdFor(5, kGroupPlugIn), 2005);
  EXPECT_EQ(messageIdFor(2, kGroupGeneral), 17001);
  pushError(2009, kGroupHost);
  reportErrors();
  EXPECT_EQ(boxText(0), std::string(stringResource(2009)) + "\n");
}

TEST_F(ErrorRecordTest, UnknownIdShowsTheFallbackText) {
  pushError(1, kGroupRecordFile);
  reportErrors();
  EXPECT_EQ(boxText(0), "Unknown error code and group!\n Code: 1, Group:, 1100\n");
}

// Collects what the error log is given.
std::vector<std::string> gLogged;
void collectLog(const std::string& line) { gLogged.push_back(line); }

class StCollectedLog {
 public:
  StCollectedLog() : previous_(setErrorLogSink(collectLog)) { gLogged.clear(); }
  ~StCollectedLog() { setErrorLogSink(previous_); }

 private:
  ErrorLogSink previous_;
};

TEST_F(ErrorRecordTest, SourceLocationGoesToTheLogNotToTheBox) {
  StCollectedLog log;
  pushError(1, kGroupUncaught, "Canvas.cpp", 42);
  reportErrors();
  EXPECT_EQ(boxText(0), "Unknown error code and group!\n Code: 1, Group:, 14000\n");
  ASSERT_EQ(gLogged.size(), 1u);
  EXPECT_EQ(gLogged[0],
            "Tessaly: error 1 in group 14000 at Canvas.cpp 42: Unknown error code and group!  Code: 1, Group:, 14000");
}

TEST_F(ErrorRecordTest, TheFirstBoxNamesTheCauseBelowARecordWithoutAMessage) {
  StCollectedLog log;
  pushError(kErrFileTooShort, kGroupGeneral, "Workspace.cpp", 98);
  pushError(1, kGroupRecordFile, "Workspace.cpp", 103);
  reportErrors();
  ASSERT_EQ(boxes().size(), 1u) << "the record without a message of its own is not shown";
  EXPECT_EQ(boxText(0), std::string(stringResource(17009)) + "\n");
  EXPECT_EQ(boxes()[0].buttons, platform::kMbOk) << "nothing else is shown after it";
  ASSERT_EQ(gLogged.size(), 2u) << "the log keeps the whole chain, newest first";
  EXPECT_EQ(gLogged[0].rfind("Tessaly: error 1 in group 1100 at Workspace.cpp 103: ", 0), 0u) << gLogged[0];
  EXPECT_EQ(gLogged[1].rfind("Tessaly: error 10 in group 15999 at Workspace.cpp 98: The file was shorter", 0), 0u)
      << gLogged[1];
  EXPECT_FALSE(errorPending());
}

TEST_F(ErrorRecordTest, CausesWithMessagesAreShownNewestFirstSkippingThoseWithout) {
  pushError(kErrDiskFull, kGroupGeneral);
  pushError(2, kGroupRecordFile);
  pushError(kErrWrite, kGroupGeneral);
  pushError(1, kGroupUncaught);
  platform::automation::queueBoxAnswer(platform::kIdCancel);
  reportErrors();
  ASSERT_EQ(boxes().size(), 2u);
  EXPECT_EQ(boxText(0), std::string(stringResource(17002)) + "\n");
  EXPECT_EQ(boxes()[0].buttons, platform::kMbOkCancel);
  EXPECT_EQ(boxText(1), std::string(stringResource(17008)) + "\n");
  EXPECT_EQ(boxes()[1].buttons, platform::kMbOk);
}

TEST_F(ErrorRecordTest, RecordsWithoutMessagesAreShownWhenNothingElseIsPending) {
  pushError(1, kGroupUncaught);
  pushError(1, kGroupRecordFile);
  platform::automation::queueBoxAnswer(platform::kIdCancel);
  reportErrors();
  ASSERT_EQ(boxes().size(), 2u);
  EXPECT_EQ(boxText(0), "Unknown error code and group!\n Code: 1, Group:, 1100\n");
  EXPECT_EQ(boxText(1), "Unknown error code and group!\n Code: 1, Group:, 14000\n");
}

TEST_F(ErrorRecordTest, DetailTextWithoutLineIsShownAsIs) {
  StCollectedLog log;
  pushError(11, kGroupGeneral, "prefs.tsw");
  reportErrors();
  EXPECT_EQ(boxText(0), std::string(stringResource(17010)) + "\nprefs.tsw");
  ASSERT_EQ(gLogged.size(), 1u);
  EXPECT_EQ(gLogged[0], "Tessaly: error 11 in group 15999 (prefs.tsw): The file was not found.");
}

TEST_F(ErrorRecordTest, ThreeRecordsShowNewestFirstUntilOk) {
  pushError(3, kGroupGeneral);
  pushError(4, kGroupGeneral);
  pushError(5, kGroupGeneral);
  platform::automation::queueBoxAnswer(platform::kIdCancel);
  platform::automation::queueBoxAnswer(platform::kIdCancel);
  reportErrors();
  ASSERT_EQ(boxes().size(), 3u);
  EXPECT_EQ(boxText(0), std::string(stringResource(17004)) + "\n");
  EXPECT_EQ(boxText(2), std::string(stringResource(17002)) + "\n");
  EXPECT_EQ(boxes()[0].buttons, platform::kMbOkCancel);
  EXPECT_EQ(boxes()[1].buttons, platform::kMbOkCancel);
  EXPECT_EQ(boxes()[2].buttons, platform::kMbOk);
  EXPECT_FALSE(errorPending());
}

TEST_F(ErrorRecordTest, OkOnTheFirstBoxDropsTheRestUnseen) {
  pushError(3, kGroupGeneral);
  pushError(4, kGroupGeneral);
  pushError(5, kGroupGeneral);
  reportErrors();
  EXPECT_EQ(boxes().size(), 1u);
  EXPECT_FALSE(errorPending());
}

TEST_F(ErrorRecordTest, BoxThatCannotBeShownBeepsSevenTimesAndGoesOn) {
  pushError(3, kGroupGeneral);
  pushError(4, kGroupGeneral);
  platform::automation::queueBoxFailure();
  reportErrors();
  EXPECT_EQ(platform::automation::beeps().size(), 7u);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), std::string(stringResource(17002)) + "\n");
}

TEST_F(ErrorRecordTest, ThrowErrorPushesThenThrowsXError) {
  try {
    throwError(2, kGroupPlugIn);
    FAIL() << "throwError returned";
  } catch (const XError& e) {
    EXPECT_NE(e.file(), nullptr);
  }
  EXPECT_EQ(pendingErrorCode(), 2);
  EXPECT_EQ(pendingErrorGroup(), kGroupPlugIn);
}

TEST_F(ErrorRecordTest, WithoutMemoryANewErrorOverwritesTheNewestRecord) {
  pushError(3, kGroupGeneral);
  pushError(4, kGroupGeneral);
  std::new_handler previous = std::set_new_handler([] {
    pushSpareRecord();
    throw std::bad_alloc();
  });
  {
    testing_support::StFailingAllocations failing;
    pushError(8, kGroupGeneral, "x", 7);
  }
  std::set_new_handler(previous);

  const ErrorRecord* head = errorStackHead();
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(head->code, 8);
  EXPECT_EQ(head->line, 7);
  ASSERT_NE(head->next, nullptr);
  EXPECT_EQ(head->next->code, 3);
  EXPECT_EQ(head->next->next, nullptr);
  // The spare is free again: pushing it now puts it on top.
  pushSpareRecord();
  EXPECT_EQ(pendingErrorCode(), -108);
}

TEST_F(ErrorRecordTest, WithoutMemoryAndNothingPendingOnlyTheSpareRemains) {
  std::new_handler previous = std::set_new_handler([] {
    pushSpareRecord();
    throw std::bad_alloc();
  });
  {
    testing_support::StFailingAllocations failing;
    pushError(8, kGroupGeneral);
  }
  std::set_new_handler(previous);
  EXPECT_EQ(pendingErrorCode(), -108);
  EXPECT_EQ(pendingErrorGroup(), kGroupHost);
  EXPECT_EQ(errorStackHead()->next, nullptr);
  clearErrors();
  EXPECT_FALSE(errorPending());
}

}  // namespace
