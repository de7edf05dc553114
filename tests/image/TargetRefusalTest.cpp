// The filter's start, with the colour-channel test this library registers
// when it is loaded, against a host that delivers real planes.
#include <gtest/gtest.h>

#include "resources/StringTable.h"
#include "shell/ErrorRecord.h"
#include "shell/PlugInServices.h"
#include "tests/support/AutomatedTest.h"
#include "tests/support/FakeHost.h"

extern "C" void ENTRYPOINT(int16_t, void*, int32_t*, int16_t*);

namespace {

class TargetRefusalTest : public testing_support::AutomatedTest {
 protected:
  // RGB with one alpha channel (absolute planes 0 to 3); the target is one
  // plane, chosen by each test.
  TargetRefusalTest() : host(200, 150) {
    for (int16_t plane = 0; plane < 4; ++plane)
      for (int16_t v = 0; v < 150; ++v)
        for (int16_t h = 0; h < 200; ++h) host.pixel(plane, v, h) = static_cast<uint8_t>(plane * 40 + v + h);
    savedRun_ = plugInServices().runWorkWindow;
    plugInServices().runWorkWindow = [] { ++runs; };
    runs = 0;
  }
  ~TargetRefusalTest() override { plugInServices().runWorkWindow = savedRun_; }

  int16_t start() {
    int16_t result = 12345;
    int32_t data = 0;
    ENTRYPOINT(kFilterSelectorStart, &host.record(), &data, &result);
    EXPECT_FALSE(errorPending());
    return result;
  }

  static inline int runs = 0;
  testing_support::FakeFilterHost host;

 private:
  void (*savedRun_)() = nullptr;
};

TEST_F(TargetRefusalTest, TheLibraryRegistersTheColourChannelTest) {
  EXPECT_NE(plugInServices().targetIsColourChannel, nullptr);
}

TEST_F(TargetRefusalTest, GreenTargetIsRefusedWithoutOpeningTheWorkWindow) {
  host.setStreamPlanes({1});
  EXPECT_EQ(start(), 1110);
  EXPECT_EQ(runs, 0);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), stringResource(5));
}

TEST_F(TargetRefusalTest, AlphaChannelTargetOpensTheWorkWindow) {
  host.setStreamPlanes({3});
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(boxes().empty());
}

TEST_F(TargetRefusalTest, AlphaChannelThatCopiesAColourChannelIsStillAccepted) {
  host.setStreamPlanes({3});
  host.documentPlane(3) = host.documentPlane(0);
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(runs, 1);
}

}  // namespace

namespace {

TEST_F(TargetRefusalTest, AHostCancelDuringTheTestEndsTheFilterQuietly) {
  host.setStreamPlanes({3});
  host.queueAdvanceResults({-128});
  EXPECT_EQ(start(), 1110);
  EXPECT_EQ(runs, 0);
  EXPECT_TRUE(boxes().empty());
}

}  // namespace
