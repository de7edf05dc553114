#include <stdexcept>

#include "hostapi/PluginEntry.h"
#include "platform/MessageBox.h"
#include "resources/StringTable.h"
#include "shell/ErrorRecord.h"
#include "shell/PlugInServices.h"
#include "shell/TessalyFilter.h"
#include "tests/support/AutomatedTest.h"
#include "tests/support/FakeHost.h"

extern "C" void ENTRYPOINT(int16_t, void*, int32_t*, int16_t*);
extern "C" void SELECTIONENTRYPOINT(int16_t, void*, int32_t*, int16_t*);

namespace {

using testing_support::AutomatedTest;
using testing_support::FakeFilterHost;
using testing_support::FakeSelectionHost;

class EntryPointsTest : public AutomatedTest {
 protected:
  void TearDown() override {
    plugInServices() = PlugInServices{};
    AutomatedTest::TearDown();
  }

  int16_t callFilter(int16_t selector, void* block) {
    int16_t result = 12345;
    int32_t data = 0;
    ENTRYPOINT(selector, block, &data, &result);
    EXPECT_FALSE(errorPending()) << "the error stack must be empty after every call";
    return result;
  }
  int16_t callSelection(int16_t selector, void* block) {
    int16_t result = 12345;
    int32_t data = 0;
    SELECTIONENTRYPOINT(selector, block, &data, &result);
    EXPECT_FALSE(errorPending());
    return result;
  }

  // Services that say "not a colour channel" and run nothing.
  static void installQuietServices() {
    plugInServices().targetIsColourChannel = [](int16_t, int16_t) { return false; };
    plugInServices().runWorkWindow = [] {};
  }

  FakeFilterHost host;
};

TEST_F(EntryPointsTest, AboutNeedsNoParameterBlock) {
  const int before = gTessalyFilter.unansweredAboutRequests();
  EXPECT_EQ(callFilter(kFilterSelectorAbout, nullptr), 0);
  EXPECT_EQ(gTessalyFilter.unansweredAboutRequests(), before + 1);
  EXPECT_EQ(callSelection(kSelectionSelectorAbout, nullptr), 0);
  EXPECT_TRUE(boxes().empty());
}

TEST_F(EntryPointsTest, AboutUsesTheAboutBoxWhenThereIsOne) {
  static int shown = 0;
  plugInServices().showAboutBox = [] { ++shown; };
  EXPECT_EQ(callFilter(kFilterSelectorAbout, nullptr), 0);
  EXPECT_EQ(shown, 1);
}

TEST_F(EntryPointsTest, MissingFacilityRefusesEverySelectorButAbout) {
  host.record().displayPixels = nullptr;
  for (int16_t selector = kFilterSelectorParameters; selector <= kFilterSelectorFinish; ++selector)
    EXPECT_EQ(callFilter(selector, &host.record()), kHostInsufficient) << "selector " << selector;
  EXPECT_EQ(callFilter(kFilterSelectorAbout, &host.record()), 0);
  EXPECT_TRUE(boxes().empty());
  EXPECT_EQ(host.record().inputPadding, 0) << "nothing is set up for an insufficient host";
}

TEST_F(EntryPointsTest, EachRequiredFilterFacilityIsChecked) {
  const auto refused = [&](auto change) {
    FilterRecord saved = host.record();
    change(host.record());
    const int16_t result = callFilter(kFilterSelectorPrepare, &host.record());
    host.record() = saved;
    return result == kHostInsufficient;
  };
  EXPECT_TRUE(refused([](FilterRecord& r) { r.progressProc = nullptr; }));
  EXPECT_TRUE(refused([](FilterRecord& r) { r.advanceState = nullptr; }));
  EXPECT_TRUE(refused([](FilterRecord& r) { r.bufferProcs = nullptr; }));
  EXPECT_TRUE(refused([](FilterRecord& r) { r.supportsPadding = 0; }));
  EXPECT_TRUE(refused([](FilterRecord& r) { r.supportsAbsolute = 0; }));
  EXPECT_TRUE(refused([](FilterRecord& r) { r.propertyProcs = nullptr; }));
  // Without property procedures the obsolete reader will do.
  EXPECT_FALSE(refused([](FilterRecord& r) {
    r.getPropertyObsolete = r.propertyProcs->getPropertyProc;
    r.propertyProcs = nullptr;
  }));
  EXPECT_TRUE(refused([](FilterRecord& r) { r.bufferProcs->freeProc = nullptr; }));
}

TEST_F(EntryPointsTest, UnknownSelectorsAreTheHostsToReport) {
  EXPECT_EQ(callFilter(6, &host.record()), kHostFilterBadParameters);
  FakeSelectionHost selectionHost;
  EXPECT_EQ(callSelection(2, &selectionHost.params()), kHostSelectionBadParameters);
  EXPECT_TRUE(boxes().empty());
}

TEST_F(EntryPointsTest, PrepareSetsUpTheCall) {
  EXPECT_EQ(callFilter(kFilterSelectorPrepare, &host.record()), 0);
  EXPECT_EQ(host.record().bufferSpace, 262144);
  EXPECT_EQ(host.record().inputPadding, -1);
  EXPECT_EQ(host.record().outputPadding, -1);
  EXPECT_EQ(host.record().maskPadding, -1);
  EXPECT_EQ(host.propertiesSet().at(kHostPropWatchSuspension), 1);
  EXPECT_TRUE(boxes().empty());
}

TEST_F(EntryPointsTest, PrepareInIndexedModeReportsMessage2005) {
  host.setImageMode(kHostModeIndexed);
  EXPECT_EQ(callFilter(kFilterSelectorPrepare, &host.record()), 5);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), std::string(stringResource(2005)) + "\n");
}

TEST_F(EntryPointsTest, RefusedTargetDecidesOverTheModeAndHidesIt) {
  host.setImageMode(kHostModeIndexed);
  host.record().outNonLayerPlanes = 2;
  EXPECT_EQ(callFilter(kFilterSelectorPrepare, &host.record()), 1110);
  ASSERT_EQ(boxes().size(), 1u) << "message 5 is shown; message 2005 is dropped unseen";
  EXPECT_EQ(boxText(0), stringResource(5));
  EXPECT_EQ(boxes()[0].icon, platform::kMbIconExclamation);
  EXPECT_EQ(host.record().bufferSpace, 262144);
}

TEST_F(EntryPointsTest, TargetRulesByPlaneCounts) {
  FilterRecord r{};
  // Greyscale whose only target is the grey channel.
  r.outNonLayerPlanes = 1;
  r.absNonLayerPlanes = 1;
  EXPECT_TRUE(targetRefusedByPlaneCounts(r, 1));
  // RGB with an alpha channel as target.
  r.absNonLayerPlanes = 4;
  EXPECT_FALSE(targetRefusedByPlaneCounts(r, 3));
  // Two target planes.
  r.outNonLayerPlanes = 2;
  EXPECT_TRUE(targetRefusedByPlaneCounts(r, 3));
  // A layer: only its transparency or masks can take the mask.
  r = FilterRecord{};
  r.absLayerPlanes = 3;
  EXPECT_TRUE(targetRefusedByPlaneCounts(r, 3));
  r.outTransparencyMask = 1;
  EXPECT_FALSE(targetRefusedByPlaneCounts(r, 3));
  r.outTransparencyMask = 0;
  r.outInvertedLayerMasks = 1;
  EXPECT_FALSE(targetRefusedByPlaneCounts(r, 3));
}

TEST_F(EntryPointsTest, StartRefusesATargetThatIsAColourChannel) {
  static int runs = 0;
  plugInServices().targetIsColourChannel = [](int16_t colours, int16_t total) {
    EXPECT_EQ(colours, 3);
    EXPECT_EQ(total, 4);
    return true;
  };
  plugInServices().runWorkWindow = [] { ++runs; };
  EXPECT_EQ(callFilter(kFilterSelectorStart, &host.record()), 1110);
  EXPECT_EQ(runs, 0);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), stringResource(5));
  EXPECT_EQ(host.record().outRect.right, host.record().outRect.left);
}

TEST_F(EntryPointsTest, StartRunsTheWorkWindowAndEndsTheHostsLoop) {
  static int runs = 0;
  installQuietServices();
  plugInServices().runWorkWindow = [] { ++runs; };
  EXPECT_EQ(callFilter(kFilterSelectorStart, &host.record()), 0);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(host.record().inRect.right, host.record().inRect.left);
  EXPECT_EQ(host.record().maskRect.right, host.record().maskRect.left);
}

TEST_F(EntryPointsTest, StartWithoutAWorkWindowFailsOpenly) {
  EXPECT_EQ(callFilter(kFilterSelectorStart, &host.record()), 2);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0).substr(0, 38), "The operation could not be completed.\n");
}

TEST_F(EntryPointsTest, EscapingExceptionsBecomeCode1InGroup14000) {
  installQuietServices();
  plugInServices().runWorkWindow = [] { throw std::runtime_error("boom"); };
  EXPECT_EQ(callFilter(kFilterSelectorStart, &host.record()), 1);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), "Unknown error code and group!\n Code: 1, Group:, 14000\n");

  platform::automation::clearShownBoxes();
  plugInServices().runWorkWindow = [] { throw XLock("Canvas.cpp", 17); };
  EXPECT_EQ(callFilter(kFilterSelectorStart, &host.record()), 1);
  EXPECT_EQ(boxText(0), "Unknown error code and group!\n Code: 1, Group:, 14000\n")
      << "where it arose is for the log, not the user";

  platform::automation::clearShownBoxes();
  plugInServices().runWorkWindow = [] { throw XReentry(); };
  EXPECT_EQ(callFilter(kFilterSelectorStart, &host.record()), 1);
}

// A piece the host could not deliver at any size: the host's result goes
// back to it, to be reported by the host; nothing is shown by the plug-in.
TEST_F(EntryPointsTest, AnUnreducibleHostFailureHandsTheHostItsOwnCode) {
  installQuietServices();
  for (const int16_t code : {int16_t{kHostOutOfMemory}, int16_t{-34}, int16_t{-1}, int16_t{kHostFilterBadParameters}}) {
    static int16_t thrown;
    thrown = code;
    plugInServices().targetIsColourChannel = [](int16_t, int16_t) -> bool {
      throw XReduce("HostImage.cpp", 67, thrown);
    };
    host.record().outNonLayerPlanes = 1;
    host.record().absNonLayerPlanes = 4;
    EXPECT_EQ(callFilter(kFilterSelectorStart, &host.record()), code);
    EXPECT_TRUE(boxes().empty()) << "code " << code;
  }
}

TEST_F(EntryPointsTest, AnUnreducibleFailureWithACodeTheHostDoesNotDefineIsThePlugInsToTell) {
  installQuietServices();
  plugInServices().runWorkWindow = [] { throw XReduce("HostImage.cpp", 67, 1); };
  EXPECT_EQ(callFilter(kFilterSelectorStart, &host.record()), kErrOperationFailed);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), std::string(stringResource(2002)) + "\n");

  platform::automation::clearShownBoxes();
  plugInServices().runWorkWindow = [] { throw XReduce("Canvas.cpp", 3); };
  EXPECT_EQ(callFilter(kFilterSelectorStart, &host.record()), 1) << "no host call failed: an escaped exception";
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), "Unknown error code and group!\n Code: 1, Group:, 14000\n");
}

TEST_F(EntryPointsTest, AnExceptionAfterAPushKeepsThePushedRecord) {
  installQuietServices();
  plugInServices().runWorkWindow = [] {
    pushError(9, kGroupGeneral);
    throw XCancel("x", 1);
  };
  EXPECT_EQ(callFilter(kFilterSelectorStart, &host.record()), 9);
  EXPECT_EQ(boxText(0), std::string(stringResource(17008)) + "\n");
}

TEST_F(EntryPointsTest, SelectionExecuteRunsMakeWorkPath) {
  FakeSelectionHost selectionHost;
  static bool made = true;
  plugInServices().makeWorkPath = [] { return made; };
  EXPECT_EQ(callSelection(kSelectionSelectorExecute, &selectionHost.params()), 0);
  made = false;
  EXPECT_EQ(callSelection(kSelectionSelectorExecute, &selectionHost.params()), 1110);
  EXPECT_TRUE(boxes().empty());
  selectionHost.params().processEvent = nullptr;
  EXPECT_EQ(callSelection(kSelectionSelectorExecute, &selectionHost.params()), kHostInsufficient);
}

TEST_F(EntryPointsTest, ParameterBlockIsForgottenAfterEveryCall) {
  installQuietServices();
  callFilter(kFilterSelectorPrepare, &host.record());
  EXPECT_EQ(gFilterRecord, nullptr);
  FakeSelectionHost selectionHost;
  plugInServices().makeWorkPath = [] {
    EXPECT_NE(gSelectionParams, nullptr);
    return true;
  };
  callSelection(kSelectionSelectorExecute, &selectionHost.params());
  EXPECT_EQ(gSelectionParams, nullptr);
}

}  // namespace
