// The work window's keys for keep mode, brush size, threshold, the
// temporary eyedroppers and Esc, and the `Tool` record that keeps the
// current tool and keep mode.
#include "tools/WorkKeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "display/CTool.h"
#include "image/File.h"
#include "platform/Message.h"
#include "tests/support/AutomatedTest.h"
#include "tests/support/StandInTool.h"
#include "tools/KeepMode.h"
#include "tools/SliderValues.h"
#include "tools/ToolRegistry.h"
#include "workspace/Workspace.h"

namespace {

using testing_support::StandInTool;

constexpr unsigned kShift = 4, kCtrl = 8, kAlt = 0x40;

class WorkKeysTest : public testing_support::AutomatedTest {
 protected:
  void SetUp() override {
    AutomatedTest::SetUp();
    ResetToolStack();
    SetKeepMode(false);
  }
  void TearDown() override {
    ResetToolStack();
    BrushPair().SetLower(64);
    BrushPair().SetUpper(192);
    ThresholdPair().SetLower(64);
    ThresholdPair().SetUpper(192);
    AutomatedTest::TearDown();
  }
  StandInTool keep_{kToolKeepEyedropper}, drop_{kToolDropEyedropper}, pencil_{kToolPencil},
      hand_{kToolHand};
};

void setPair(SliderPair& pair, int lower, int upper) {
  pair.SetLower(0);
  pair.SetUpper(upper);
  pair.SetLower(lower);
  pair.SetUpper(upper);
}

// The requested value of each key, and the limit that keeps the upper value
// at 255 at most, written out plainly.
struct ValueKey {
  uint32_t key;
  bool brush;
  int direction;
};

TEST_F(WorkKeysTest, BrushAndThresholdKeysStepTheLowerValueAndNeverPushTheUpperPast255) {
  const ValueKey keys[] = {{platform::kVkOem4, true, -1}, {platform::kVkLeft, true, -1},
                           {platform::kVkOem6, true, +1}, {platform::kVkRight, true, +1},
                           {platform::kVkUp, false, +1},  {platform::kVkDown, false, -1}};
  for (const ValueKey& k : keys)
    for (unsigned modifiers : {0u, kShift, kCtrl})
      for (int lower = 0; lower <= 255; lower += 3)
        for (int upper : {lower, std::min(255, lower + 1), std::min(255, lower + 4), std::min(255, lower + 90), 255}) {
          SliderPair& pair = k.brush ? BrushPair() : ThresholdPair();
          setPair(pair, lower, upper);
          ASSERT_EQ(pair.lower(), lower);
          ASSERT_EQ(pair.upper(), upper);
          const int requested = (modifiers & kCtrl) ? (k.direction < 0 ? 0 : 255)
                                                    : lower + k.direction * ((modifiers & kShift) ? 1 : 5);
          const int expectedLower = std::clamp(lower + std::min(requested - lower, 255 - upper), 0, 255);
          const int expectedUpper = std::min(255, upper + expectedLower - lower);

          EXPECT_TRUE(WorkKeyDown(k.key, modifiers, false));
          EXPECT_EQ(pair.lower(), expectedLower) << "key " << k.key << " modifiers " << modifiers << " from ("
                                                 << lower << ", " << upper << ")";
          EXPECT_EQ(pair.upper(), expectedUpper) << "key " << k.key << " from (" << lower << ", " << upper << ")";
        }
}

TEST_F(WorkKeysTest, RightArrowCannotRaiseTheBrushWhenTheEdgeIsAt255) {
  setPair(BrushPair(), 200, 255);
  WorkKeyDown(platform::kVkRight, 0, false);
  WorkKeyDown(platform::kVkOem6, kCtrl, false);
  EXPECT_EQ(BrushPair().lower(), 200);
  WorkKeyDown(platform::kVkLeft, kCtrl, false);
  EXPECT_EQ(BrushPair().lower(), 0);
  EXPECT_EQ(BrushPair().upper(), 55);
}

TEST_F(WorkKeysTest, KeepModeKeysSetClearAndToggleButIgnoreAutoRepeat) {
  WorkKeyDown('D', 0, false);
  EXPECT_TRUE(KeepMode());
  WorkKeyDown('E', kCtrl, false);
  EXPECT_FALSE(KeepMode());
  WorkKeyDown('X', 0, false);
  EXPECT_TRUE(KeepMode());
  EXPECT_TRUE(WorkKeyDown('X', 0, true)) << "a repeated key is still taken";
  EXPECT_TRUE(KeepMode()) << "but does not toggle again";
}

TEST_F(WorkKeysTest, AltAndCtrlCallUpTheEyedroppersForAsLongAsTheyAreHeld) {
  SelectTool(pencil_);
  WorkKeyDown(platform::kVkMenu, kAlt, false);
  EXPECT_EQ(ActiveTool(), &keep_);
  WorkKeyDown(platform::kVkMenu, kAlt, true);
  EXPECT_EQ(ActiveTool(), &keep_);
  WorkKeyUp(platform::kVkMenu, 0);
  EXPECT_EQ(ActiveTool(), &pencil_) << "the eyedropper ends even though it was not used";
  EXPECT_EQ(CurrentToolId(), kToolPencil);

  WorkKeyDown(platform::kVkControl, kCtrl, false);
  EXPECT_EQ(ActiveTool(), &drop_);
  WorkKeyUp(platform::kVkControl, 0);
  EXPECT_EQ(ActiveTool(), &pencil_);

  WorkKeyDown(platform::kVkControl, kCtrl | kAlt, false);
  EXPECT_EQ(ActiveTool(), &pencil_) << "Ctrl with Alt calls up nothing";

  SelectTool(hand_);
  WorkKeyDown(platform::kVkMenu, kAlt, false);
  EXPECT_EQ(ActiveTool(), &hand_) << "the hand keeps Alt for zooming";
}

TEST_F(WorkKeysTest, TheToolRecordKeepsTheCurrentToolAndKeepModeAndAFileWithoutItSelectsThePencil) {
  const auto path = std::filesystem::temp_directory_path() / "tessaly-tool-record.tsw";
  SelectTool(hand_);
  SetKeepMode(true);
  {
    File file;
    file.OpenForSaving(path.string());
    ASSERT_TRUE(SaveWorkspace(file));
    file.Close();
  }
  SelectTool(pencil_);
  SetKeepMode(false);
  {
    File file;
    file.OpenForLoading(path.string());
    ASSERT_TRUE(LoadWorkspace(file));
  }
  EXPECT_EQ(ActiveTool(), &hand_);
  EXPECT_TRUE(KeepMode());

  std::filesystem::resize_file(path, 0);
  {
    File file;
    file.OpenForLoading(path.string());
    ASSERT_TRUE(LoadWorkspace(file));
  }
  EXPECT_EQ(ActiveTool(), &pencil_);
  EXPECT_FALSE(KeepMode());
  std::filesystem::remove(path);
}

}  // namespace
