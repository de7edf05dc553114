#include "workspace/PreferenceFile.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <fstream>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "resources/StringTable.h"
#include "shell/ErrorRecord.h"
#include "tests/support/AutomatedTest.h"
#include "workspace/WorkspaceParticipant.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kTagOpacity = fourCharCode("OpSl");

// The overlay opacity: one byte, kept when a file has no record of it.
class OpacitySetting : public WorkspaceParticipant {
 public:
  void LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) override {
    if (tag == kTagOpacity && size == 1) opacity = payload[0];
  }
  void Save() override { WriteRecord(kTagOpacity, 1, &opacity); }
  uint8_t opacity = 255;
};

// Points the configuration folder, and with it the registry, at a fresh
// temporary folder.
class PreferenceFileTest : public testing_support::AutomatedTest {
 protected:
  void SetUp() override {
    AutomatedTest::SetUp();
    std::string pattern = (fs::temp_directory_path() / "tessaly-config-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    config_ = pattern;
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldConfig_ = old;
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  }
  void TearDown() override {
    if (oldConfig_)
      ::setenv("XDG_CONFIG_HOME", oldConfig_->c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
    clearErrors();
    fs::remove_all(config_);
    AutomatedTest::TearDown();
  }

  fs::path config_;
  std::optional<std::string> oldConfig_;
};

TEST_F(PreferenceFileTest, MissingRegistryValueNamesNoFile) {
  EXPECT_EQ(ReadPreferenceFileLocation(), std::nullopt);
}

TEST_F(PreferenceFileTest, InstallingNamesTheDefaultFileInTheConfigurationFolderOnce) {
  ASSERT_TRUE(InstallPreferenceFileLocation());
  const std::string expected = (config_ / "Tessaly" / "Preferences.tsw").string();
  EXPECT_EQ(DefaultPreferenceFilePath(), expected);
  EXPECT_EQ(ReadPreferenceFileLocation(), expected);

  ASSERT_TRUE(platform::registry::writeString(platform::registry::Root::kLocalMachine,
                                              stringResource(kStrRegistryKey), "PrefsLocation", "/elsewhere.tsw"));
  ASSERT_TRUE(InstallPreferenceFileLocation());
  EXPECT_EQ(ReadPreferenceFileLocation(), "/elsewhere.tsw") << "installing replaced a location already named";
}

TEST_F(PreferenceFileTest, SavedPreferencesComeBackOnTheNextLoad) {
  ASSERT_TRUE(InstallPreferenceFileLocation());
  OpacitySetting setting;
  setting.opacity = 77;
  EXPECT_TRUE(SavePreferenceFile(DefaultPreferenceFilePath()));
  setting.opacity = 1;
  EXPECT_TRUE(LoadPreferenceFile(DefaultPreferenceFilePath()));
  EXPECT_EQ(setting.opacity, 77);
  EXPECT_TRUE(boxes().empty());
}

TEST_F(PreferenceFileTest, MissingOrDamagedFileFailsTheLoadWithoutAMessage) {
  OpacitySetting setting;
  pushError(kResultQuiet, kGroupHost);
  EXPECT_FALSE(LoadPreferenceFile((config_ / "missing.tsw").string()));

  const fs::path damaged = config_ / "damaged.tsw";
  std::ofstream(damaged, std::ios::binary) << "OpSl\x05";
  EXPECT_FALSE(LoadPreferenceFile(damaged.string()));

  EXPECT_TRUE(boxes().empty()) << "a failed preference load showed a message";
  EXPECT_EQ(pendingErrorCode(), kResultQuiet) << "the record pending before was dropped";
  EXPECT_EQ(errorStackHead()->next, nullptr) << "the failure left records behind";
}

TEST_F(PreferenceFileTest, UnwritableFileIsToldOnceAndKeepsTheQuietCancel) {
  OpacitySetting setting;
  pushError(kResultQuiet, kGroupHost);  // closing through Exit, answered No
  EXPECT_FALSE(SavePreferenceFile((config_ / "no-such-folder" / "Preferences.tsw").string()));
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxText(0), stringResource(kStrPrefsNotSaved));
  EXPECT_EQ(boxes()[0].icon, platform::kMbIconExclamation);
  EXPECT_EQ(pendingErrorCode(), kResultQuiet) << "the quiet cancel record was lost";
  EXPECT_EQ(errorStackHead()->next, nullptr);
}

}  // namespace
