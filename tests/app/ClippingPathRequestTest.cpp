#include <gtest/gtest.h>

#include "path/MakeWorkPath.h"
#include "path/PathSettings.h"
#include "shell/PlugIn.h"
#include "shell/PlugInServices.h"
#include "app/TessalyApplication.h"
#include "tests/support/AutomatedTest.h"

namespace {

ClippingPathAnswer gAnswer = ClippingPathAnswer::kPath;

class ClippingPathRequestTest : public testing_support::AutomatedTest {
 protected:
  void SetUp() override {
    AutomatedTest::SetUp();
    pathDialogs().askClippingPath = [](int32_t&, int32_t&) { return gAnswer; };
    record_.channelPortProcs = &ports_;
    gFilterRecord = &record_;
  }
  void TearDown() override {
    gFilterRecord = nullptr;
    pathDialogs() = {};
    pathSettings().makePathOnNextRun = false;
    AutomatedTest::TearDown();
  }
  FilterRecord record_{};
  HostChannelPortProcs ports_{};
};

TEST_F(ClippingPathRequestTest, PathAtSaveApplyHasTheApplicationPostTheCommand) {
  TessalyApplication application;
  auto ask = plugInServices().askClippingPath;
  ASSERT_NE(ask, nullptr);

  gAnswer = ClippingPathAnswer::kNoPath;
  EXPECT_TRUE(ask()) << "No Path goes on with the apply";
  EXPECT_FALSE(application.postPathCommand());
  gAnswer = ClippingPathAnswer::kCancel;
  EXPECT_FALSE(ask()) << "Cancel stops the apply";
  EXPECT_FALSE(application.postPathCommand());
  gAnswer = ClippingPathAnswer::kPath;
  EXPECT_TRUE(ask());
  EXPECT_TRUE(application.postPathCommand());
  EXPECT_TRUE(pathSettings().makePathOnNextRun);
}

}  // namespace
