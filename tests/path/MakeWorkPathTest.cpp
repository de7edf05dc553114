#include "path/MakeWorkPath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/File.h"
#include "path/PathRecords.h"
#include "path/PathSettings.h"
#include "platform/MessageQueue.h"
#include "resources/StringTable.h"
#include "shell/ErrorRecord.h"
#include "shell/PlugIn.h"
#include "shell/PlugInServices.h"
#include "tests/support/AutomatedTest.h"
#include "workspace/PreferenceFile.h"
#include "workspace/Workspace.h"

namespace {

namespace fs = std::filesystem;

// One channel of the fake document, read through the channel port.
struct Channel {
  ReadChannelDesc desc{};
  std::vector<uint8_t> pixels;
  int32_t width = 0;
};

// A selection-module host: a document with channels, channel ports and
// handles in plain memory.
class FakeDocument {
 public:
  FakeDocument(int32_t height, int32_t width) : height_(height), width_(width) {
    info_.bounds = {0, 0, height, width};
    info_.imageMode = kHostModeRGB;
    info_.depth = 8;
    ports_.version = 1;
    ports_.count = 1;
    ports_.readPixelsProc = readPixels;
    handles_.newProc = newHandle;
    handles_.disposeProc = disposeHandle;
    handles_.getSizeProc = handleSize;
    handles_.lockProc = lockHandle;
    handles_.unlockProc = [](HostHandle) {};
    params_.documentInfo = &info_;
    params_.handleProcs = &handles_;
    params_.channelPortProcs = &ports_;
    gSelectionParams = &params_;
    current_ = this;
  }
  ~FakeDocument() {
    while (!handles.empty()) disposeHandle(handles.begin()->first);
    gSelectionParams = nullptr;
    current_ = nullptr;
  }

  // A channel filled with `value`; `targeted` marks it as the user's target.
  Channel& addChannel(ReadChannelDesc*& slot, uint8_t value, bool targeted) {
    channels_.push_back(std::make_unique<Channel>());
    Channel& c = *channels_.back();
    c.width = width_;
    c.pixels.assign(size_t(height_) * size_t(width_), value);
    c.desc.bounds = {0, 0, height_, width_};
    c.desc.depth = 8;
    c.desc.target = targeted ? 1 : 0;
    c.desc.port = reinterpret_cast<HostChannelReadPort>(&c);
    c.desc.next = slot;
    slot = &c.desc;
    return c;
  }

  HostDocumentInfo& info() { return info_; }
  PISelectionParams& params() { return params_; }

  // The records handed back as newPath.
  std::vector<uint8_t> pathBytes() const {
    auto h = handles.find(params_.newPath);
    return h == handles.end() ? std::vector<uint8_t>{} : h->second;
  }

  std::map<HostHandle, std::vector<uint8_t>> handles;
  bool refuseHandles = false;

 private:
  static HostError readPixels(HostChannelReadPort port, const HostScalingInfo*, const HostRect32* rect,
                              const HostPixelMemoryDesc* destination, HostRect32* wrote) {
    const Channel& c = *reinterpret_cast<const Channel*>(port);
    auto* out = static_cast<uint8_t*>(destination->data);
    for (int32_t r = rect->top; r < rect->bottom; ++r)
      for (int32_t x = rect->left; x < rect->right; ++x)
        out[size_t(r - rect->top) * size_t(destination->rowBits / 8) + size_t(x - rect->left)] =
            c.pixels[size_t(r) * size_t(c.width) + size_t(x)];
    *wrote = *rect;
    return kHostNoError;
  }
  static HostHandle newHandle(int32_t size) {
    if (current_->refuseHandles) return nullptr;
    auto* key = reinterpret_cast<HostHandle>(new char);
    current_->handles[key].assign(size_t(size), 0);
    return key;
  }
  static void disposeHandle(HostHandle h) {
    current_->handles.erase(h);
    delete reinterpret_cast<char*>(h);
  }
  static int32_t handleSize(HostHandle h) { return int32_t(current_->handles[h].size()); }
  static char* lockHandle(HostHandle h, HostBoolean) {
    return reinterpret_cast<char*>(current_->handles[h].data());
  }

  int32_t height_, width_;
  HostDocumentInfo info_{};
  HostChannelPortProcs ports_{};
  HostHandleProcs handles_{};
  PISelectionParams params_{};
  std::vector<std::unique_ptr<Channel>> channels_;
  static inline FakeDocument* current_ = nullptr;
};

struct DialogCall {
  bool channelEnabled = false;
  bool selectionEnabled = false;
  WorkPathChoice offered;
};

// What the fake dialogs saw and how they answer.
struct DialogScript {
  std::vector<DialogCall> calls;
  std::optional<WorkPathChoice> apply;  // nothing: Cancel
  ClippingPathAnswer clippingAnswer = ClippingPathAnswer::kPath;
  int32_t clippingChoke = 0, clippingTolerance = 0;
  int clippingCalls = 0;
};
DialogScript gScript;

bool scriptedWorkPath(bool channelEnabled, bool selectionEnabled, WorkPathChoice& choice) {
  gScript.calls.push_back({channelEnabled, selectionEnabled, choice});
  if (!gScript.apply) return false;
  choice = *gScript.apply;
  return true;
}

ClippingPathAnswer scriptedClippingPath(int32_t& choke, int32_t& tolerance) {
  ++gScript.clippingCalls;
  choke = gScript.clippingChoke;
  tolerance = gScript.clippingTolerance;
  return gScript.clippingAnswer;
}

// Each test runs with its own configuration folder, registry and default
// preference file, and settings at their defaults.
class MakeWorkPathTest : public testing_support::AutomatedTest {
 protected:
  void SetUp() override {
    AutomatedTest::SetUp();
    std::string pattern = (fs::temp_directory_path() / "tessaly-path-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    config_ = pattern;
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldConfig_ = old;
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    ASSERT_TRUE(InstallPreferenceFileLocation());
    preferences_ = DefaultPreferenceFilePath();
    resetSettings();
    gScript = {};
    pathDialogs().askWorkPath = scriptedWorkPath;
    pathDialogs().askClippingPath = scriptedClippingPath;
  }
  void TearDown() override {
    pathDialogs() = {};
    resetSettings();
    if (oldConfig_) ::setenv("XDG_CONFIG_HOME", oldConfig_->c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    clearErrors();
    fs::remove_all(config_);
    AutomatedTest::TearDown();
  }

  static void resetSettings() {
    pathSettings().tolerance = PathSettings::kDefaultTolerance;
    pathSettings().choke = PathSettings::kDefaultChoke;
    pathSettings().makePathOnNextRun = false;
  }

  // Writes the preference file: a record before, record 1102, one after.
  void writePreferences(int32_t tolerance, int32_t choke, int32_t flag) {
    std::ofstream out(preferences_, std::ios::binary | std::ios::trunc);
    auto put32 = [&](uint32_t v) {
      const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
      out.write(b, 4);
    };
    put32(123); put32(2); out.write("\x10\x20", 2);
    put32(1102); put32(12); put32(uint32_t(tolerance)); put32(uint32_t(choke)); put32(uint32_t(flag));
    put32(1037); put32(1); out.write("\x40", 1);
  }
  std::vector<uint8_t> preferenceBytes() const {
    std::ifstream in(preferences_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static int32_t int32At(const std::vector<uint8_t>& b, size_t at) {
    return int32_t(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24);
  }

  fs::path config_;
  std::optional<std::string> oldConfig_;
  std::string preferences_;
};

TEST(PathSettingsRecord, ThresholdAndToleranceFollowChokeAndPercent) {
  PathSettings settings(WorkspaceParticipant::Registration::kStandalone);
  EXPECT_EQ(settings.tolerance, 30);
  EXPECT_EQ(settings.choke, 50);
  EXPECT_FALSE(settings.makePathOnNextRun);
  EXPECT_EQ(settings.threshold(), 127);
  EXPECT_DOUBLE_EQ(settings.tolerancePixels(), 0.3);
  settings.choke = 0;
  EXPECT_EQ(settings.threshold(), 2);
  settings.choke = 100;
  EXPECT_EQ(settings.threshold(), 252);
}

TEST(PathSettingsRecord, TakesOnlyItsOwnTwelveByteRecordAndPullsValuesIntoRange) {
  PathSettings settings(WorkspaceParticipant::Registration::kStandalone);
  const uint8_t payload[12] = {0x10, 0x27, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0};
  settings.LoadRecord(1102, 11, payload);
  settings.LoadRecord(1103, 12, payload);
  EXPECT_EQ(settings.tolerance, 30) << "records of another size or tag are ignored";
  settings.LoadRecord(1102, 12, payload);
  EXPECT_EQ(settings.tolerance, 100) << "10000 % from a damaged file";
  EXPECT_EQ(settings.choke, 0) << "-1 % from a damaged file";
  EXPECT_TRUE(settings.makePathOnNextRun);
}

TEST_F(MakeWorkPathTest, TargetChannelIsTheLastTargetedOfTransparencyMaskAndAlphas) {
  FakeDocument doc(4, 4);
  EXPECT_EQ(targetChannel(doc.info()), nullptr);
  Channel& transparency = doc.addChannel(doc.info().targetTransparency, 0, true);
  EXPECT_EQ(targetChannel(doc.info()), &transparency.desc);
  Channel& mask = doc.addChannel(doc.info().targetLayerMask, 0, true);
  EXPECT_EQ(targetChannel(doc.info()), &mask.desc);
  Channel& last = doc.addChannel(doc.info().alphaChannels, 0, true);  // becomes the second in the list
  doc.addChannel(doc.info().alphaChannels, 0, false);
  Channel& first = doc.addChannel(doc.info().alphaChannels, 0, true);
  EXPECT_EQ(targetChannel(doc.info()), &last.desc);
  first.desc.target = 0;
  mask.desc.target = 0;
  last.desc.target = 0;
  EXPECT_EQ(targetChannel(doc.info()), &transparency.desc) << "untargeted channels never count";
}

TEST_F(MakeWorkPathTest, WithoutTargetOrSelectionTheUserIsToldAndNoPathIsMade) {
  FakeDocument doc(4, 4);
  doc.addChannel(doc.info().alphaChannels, 255, false);
  EXPECT_FALSE(makeWorkPath());
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), stringResource(2018));
  EXPECT_TRUE(gScript.calls.empty());
  EXPECT_EQ(doc.params().newPath, nullptr);
}

TEST_F(MakeWorkPathTest, SelectionOnlyOffersTheDialogWithChannelDisabled) {
  FakeDocument doc(10, 10);
  doc.addChannel(doc.info().selection, 255, false);
  gScript.apply = WorkPathChoice{PathSource::kSelection, 100, 0};
  ASSERT_TRUE(makeWorkPath());
  ASSERT_EQ(gScript.calls.size(), 1u);
  EXPECT_FALSE(gScript.calls[0].channelEnabled);
  EXPECT_TRUE(gScript.calls[0].selectionEnabled);
  EXPECT_EQ(gScript.calls[0].offered.source, PathSource::kSelection);
  EXPECT_EQ(gScript.calls[0].offered.choke, 50);
  EXPECT_EQ(gScript.calls[0].offered.tolerance, 30);
  EXPECT_EQ(doc.params().treatment, kSelectionTreatmentWorkPath);
  // The whole document inside: one outline, corners cut, straight edges.
  const std::vector<uint8_t> bytes = doc.pathBytes();
  EXPECT_EQ(bytes.size(), size_t(26 * (1 + 1 + 8)));
  EXPECT_EQ(pathSettings().choke, 100);
  EXPECT_EQ(pathSettings().tolerance, 0);
  const std::vector<uint8_t> file = preferenceBytes();
  ASSERT_EQ(file.size(), 20u) << "the settings were written to a preference file that had none";
  EXPECT_EQ(int32At(file, 0), 1102);
  EXPECT_EQ(int32At(file, 8), 0);
  EXPECT_EQ(int32At(file, 12), 100);
}

TEST_F(MakeWorkPathTest, SourceAboveNoThresholdGivesThePathOfTheFillRuleRecordAlone) {
  FakeDocument doc(20, 30);
  doc.addChannel(doc.info().alphaChannels, 127, true);
  gScript.apply = WorkPathChoice{PathSource::kChannel, 50, 30};
  ASSERT_TRUE(makeWorkPath());
  const std::vector<uint8_t> bytes = doc.pathBytes();
  ASSERT_EQ(bytes.size(), 26u);
  EXPECT_EQ(bytes[1], 6);
  EXPECT_EQ(doc.handles.size(), 1u);
}

TEST_F(MakeWorkPathTest, PendingPathRequestRunsWithoutDialogOnceAndIsConsumed) {
  writePreferences(0, 0, 1);
  const std::vector<uint8_t> before = preferenceBytes();
  FakeDocument doc(100, 200);
  Channel& alpha = doc.addChannel(doc.info().alphaChannels, 0, true);
  doc.addChannel(doc.info().selection, 255, false);
  alpha.pixels[size_t(50) * 200 + 100] = 255;
  ASSERT_TRUE(makeWorkPath());
  EXPECT_TRUE(gScript.calls.empty()) << "the filter's request skips the dialog";
  // A lone pixel at (50, 100) traced at choke 0 (threshold 2), tolerance 0:
  // a diamond whose top knot is 254/256 pixel above the centre.
  const std::vector<uint8_t> bytes = doc.pathBytes();
  ASSERT_EQ(bytes.size(), size_t(26 * (1 + 1 + 4)));
  const int32_t topV = pathFraction(50 * 256 + 128 - 254, 100);
  bool foundTop = false;
  for (size_t k = 52; k < bytes.size(); k += 26) {
    const int32_t v = int32_t(uint32_t(bytes[k + 2]) << 24 | uint32_t(bytes[k + 3]) << 16 |
                              uint32_t(bytes[k + 4]) << 8 | bytes[k + 5]);
    foundTop = foundTop || v == topV;
  }
  EXPECT_TRUE(foundTop) << "the traced channel is the alpha, not the selection";

  // Record 1102 was rewritten in place: only its flag changed.
  std::vector<uint8_t> after = preferenceBytes();
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(int32At(after, 10 + 16), 0) << "the request is consumed";
  after[10 + 16] = 1;
  EXPECT_EQ(after, before);

  EXPECT_FALSE(makeWorkPath()) << "cancelled";
  EXPECT_EQ(gScript.calls.size(), 1u) << "the next run asks again";
}

TEST_F(MakeWorkPathTest, CancelledDialogWritesTheSettingsBackUnchanged) {
  writePreferences(12, 34, 0);
  FakeDocument doc(10, 10);
  doc.addChannel(doc.info().targetLayerMask, 255, true);
  doc.addChannel(doc.info().selection, 255, false);
  EXPECT_FALSE(makeWorkPath());
  ASSERT_EQ(gScript.calls.size(), 1u);
  EXPECT_TRUE(gScript.calls[0].channelEnabled);
  EXPECT_TRUE(gScript.calls[0].selectionEnabled);
  EXPECT_EQ(gScript.calls[0].offered.source, PathSource::kChannel);
  EXPECT_EQ(gScript.calls[0].offered.tolerance, 12) << "read from the preference file";
  EXPECT_EQ(gScript.calls[0].offered.choke, 34);
  EXPECT_EQ(doc.params().newPath, nullptr);
  EXPECT_TRUE(boxes().empty());
  EXPECT_EQ(int32At(preferenceBytes(), 18), 12);
}

TEST_F(MakeWorkPathTest, EscapeWhileTracingEndsSilently) {
  FakeDocument doc(10, 10);
  doc.addChannel(doc.info().alphaChannels, 255, true);
  gScript.apply = WorkPathChoice{PathSource::kChannel, 50, 30};
  platform::postMessage(nullptr, platform::kWmKeyDown, platform::kVkEscape);
  EXPECT_FALSE(makeWorkPath());
  EXPECT_TRUE(boxes().empty());
  EXPECT_FALSE(errorPending());
  EXPECT_EQ(doc.params().newPath, nullptr);
  EXPECT_TRUE(doc.handles.empty());
}

TEST_F(MakeWorkPathTest, FailuresReportTheOperationCouldNotBeCompleted) {
  FakeDocument doc(10, 10);
  doc.addChannel(doc.info().alphaChannels, 255, true);
  gScript.apply = WorkPathChoice{PathSource::kChannel, 50, 30};
  doc.refuseHandles = true;
  EXPECT_FALSE(makeWorkPath()) << "no handle and nothing to purge";
  ASSERT_FALSE(boxes().empty());
  EXPECT_NE(boxText(0).find(stringResource(2002)), std::string::npos) << boxText(0);
  EXPECT_FALSE(errorPending());

  doc.refuseHandles = false;
  pathDialogs().askWorkPath = nullptr;
  const size_t shown = boxes().size();
  EXPECT_FALSE(makeWorkPath()) << "no dialog to ask with";
  ASSERT_GT(boxes().size(), shown);
  EXPECT_NE(boxText(shown).find(stringResource(2002)), std::string::npos) << boxText(shown);
  EXPECT_EQ(doc.params().newPath, nullptr);
}

TEST_F(MakeWorkPathTest, ClippingPathQuestionMarksTheNextRun) {
  EXPECT_EQ(askClippingPath(), ClippingPathAnswer::kNoPath) << "no filter call: nothing to ask";
  EXPECT_EQ(gScript.clippingCalls, 0);

  FilterRecord record{};
  HostChannelPortProcs ports{};
  record.channelPortProcs = &ports;
  gFilterRecord = &record;
  gScript.clippingAnswer = ClippingPathAnswer::kCancel;
  gScript.clippingChoke = 80;
  EXPECT_EQ(askClippingPath(), ClippingPathAnswer::kCancel);
  EXPECT_EQ(pathSettings().choke, 50);
  EXPECT_FALSE(pathSettings().makePathOnNextRun);

  gScript.clippingAnswer = ClippingPathAnswer::kPath;
  gScript.clippingTolerance = 20;
  EXPECT_EQ(askClippingPath(), ClippingPathAnswer::kPath);
  EXPECT_EQ(pathSettings().choke, 80);
  EXPECT_EQ(pathSettings().tolerance, 20);
  EXPECT_TRUE(pathSettings().makePathOnNextRun);

  record.channelPortProcs = nullptr;
  EXPECT_EQ(askClippingPath(), ClippingPathAnswer::kNoPath) << "a host without channel ports is not asked";
  EXPECT_EQ(gScript.clippingCalls, 2);
  gFilterRecord = nullptr;
}

TEST_F(MakeWorkPathTest, TheSelectionModuleReachesTheCommand) {
  EXPECT_EQ(plugInServices().makeWorkPath, &makeWorkPath);
}

}  // namespace
