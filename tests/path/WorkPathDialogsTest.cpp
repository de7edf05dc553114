#include "path/WorkPathDialogs.h"

#include <gtest/gtest.h>

#include "platform/Automation.h"
#include "tests/support/AutomatedTest.h"

namespace {

using platform::automation::DialogAnswer;
using platform::automation::queueDialogAnswer;
using platform::automation::shownDialogs;

class WorkPathDialogsTest : public testing_support::AutomatedTest {};

TEST_F(WorkPathDialogsTest, ApplyTakesTheTypedValuesAndTheOfferedSource) {
  queueDialogAnswer(DialogAnswer{"Apply", {{1020, "80"}, {1021, "5"}}});
  WorkPathChoice choice{PathSource::kChannel, 50, 30};
  ASSERT_TRUE(showWorkPathDialog(true, true, choice));
  EXPECT_EQ(choice.source, PathSource::kChannel);
  EXPECT_EQ(choice.choke, 80);
  EXPECT_EQ(choice.tolerance, 5);
  ASSERT_EQ(shownDialogs().size(), 1u);
  EXPECT_EQ(shownDialogs()[0].title, "Corvane - Make Work Path");
}

TEST_F(WorkPathDialogsTest, WithoutAChannelTheSelectionIsTheSource) {
  queueDialogAnswer(DialogAnswer{"Apply", {}});
  WorkPathChoice choice{PathSource::kChannel, 50, 30};
  ASSERT_TRUE(showWorkPathDialog(false, true, choice));
  EXPECT_EQ(choice.source, PathSource::kSelection);
  EXPECT_EQ(choice.choke, 50) << "untouched fields keep the stored values";
  EXPECT_EQ(choice.tolerance, 30);
}

TEST_F(WorkPathDialogsTest, ValuesOutsideZeroToHundredKeepTheDialogOpen) {
  queueDialogAnswer(DialogAnswer{"Apply", {{1020, "101"}}});
  queueDialogAnswer(DialogAnswer{"Apply", {{1020, "100"}, {1021, "-1"}}});
  queueDialogAnswer(DialogAnswer{"Apply", {{1021, "0"}}});
  WorkPathChoice choice{PathSource::kChannel, 50, 30};
  ASSERT_TRUE(showWorkPathDialog(true, false, choice));
  EXPECT_EQ(choice.choke, 100);
  EXPECT_EQ(choice.tolerance, 0);
  ASSERT_EQ(boxes().size(), 2u) << "one range message per refused value";
  EXPECT_EQ(boxText(0), "Please enter an integer between 0 and 100.");
}

TEST_F(WorkPathDialogsTest, CancelLeavesTheChoiceAlone) {
  queueDialogAnswer(DialogAnswer{"Cancel", {{1020, "10"}}});
  WorkPathChoice choice{PathSource::kChannel, 50, 30};
  EXPECT_FALSE(showWorkPathDialog(true, true, choice));
  EXPECT_EQ(choice.choke, 50);
}

TEST_F(WorkPathDialogsTest, ClippingPathAnswersPathNoPathOrCancel) {
  int32_t choke = 50, tolerance = 30;
  queueDialogAnswer(DialogAnswer{"No Path", {{1020, "90"}}});
  EXPECT_EQ(showClippingPathDialog(choke, tolerance), ClippingPathAnswer::kNoPath);
  EXPECT_EQ(choke, 50);
  queueDialogAnswer(DialogAnswer{"Cancel", {}});
  EXPECT_EQ(showClippingPathDialog(choke, tolerance), ClippingPathAnswer::kCancel);
  queueDialogAnswer(DialogAnswer{"Path", {{1020, "200"}}});
  queueDialogAnswer(DialogAnswer{"Path", {{1020, "90"}, {1021, "20"}}});
  EXPECT_EQ(showClippingPathDialog(choke, tolerance), ClippingPathAnswer::kPath);
  EXPECT_EQ(choke, 90);
  EXPECT_EQ(tolerance, 20);
  EXPECT_EQ(boxes().size(), 1u) << "200 was refused";
  EXPECT_EQ(shownDialogs().back().title, "Clipping Path");
}

}  // namespace
