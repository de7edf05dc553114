#include "path/WorkPathDialogs.h"

#include <gtest/gtest.h>

#include "platform/Automation.h"
#include "platform/Controls.h"
#include "platform/DeviceContext.h"
#include "platform/Framebuffer.h"
#include "platform/Menu.h"
#include "platform/Window.h"
#include "tests/support/AutomatedTest.h"

namespace {

using platform::automation::DialogAnswer;
using platform::automation::queueDialogAnswer;
using platform::automation::shownDialogs;

class WorkPathDialogsTest : public testing_support::AutomatedTest {};

// Every one-line label of the open dialog fits its control as the dialog
// font measures it.
void expectLabelsFitThenAnswer(const char* title, DialogAnswer answer) {
  platform::automation::queueStep([title, answer] {
    queueDialogAnswer(answer);
    platform::Window* dialog = nullptr;
    for (platform::Window* w : platform::Window::topLevelWindows())
      if (w->title() == title) dialog = w;
    ASSERT_NE(dialog, nullptr) << title;
    platform::Framebuffer scratch(1, 1);
    platform::DeviceContext dc(scratch);
    for (platform::Window* c : dialog->children()) {
      const std::string text = platform::Menu::displayText(c->title());
      // Icons, and texts with room for more than one line, which wrap.
      if (text.empty() || dynamic_cast<platform::StaticImage*>(c) ||
          c->clientRect().height() >= 2 * dc.textExtent(text).cy)
        continue;
      // Buttons and marks keep room beside their text.
      const int32_t room = dynamic_cast<platform::StaticText*>(c) ? 0 : 16;
      EXPECT_LE(dc.textExtent(text).cx + room, c->clientRect().width()) << title << ": " << text;
    }
  });
}

TEST_F(WorkPathDialogsTest, ApplyTakesTheTypedValuesAndTheOfferedSource) {
  expectLabelsFitThenAnswer("Corvane - Make Work Path", DialogAnswer{"Apply", {{1020, "80"}, {1021, "5"}}});
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
  expectLabelsFitThenAnswer("Clipping Path", DialogAnswer{"No Path", {{1020, "90"}}});
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
