// Interactive use, driven by automation steps: the window shows the
// document, its menus change the view and the target, and a plug-in chosen
// from the menus runs on the document.
#include <gtest/gtest.h>

#include "TempFolder.h"
#include "host/ImageFiles.h"
#include "host/Interactive.h"
#include "host/HostWindow.h"
#include "platform/Automation.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"

namespace {

using host_testing::TempFolder;

class Interactive : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::automation::setEnabled(true);
    platform::automation::reset();
  }
  void TearDown() override {
    platform::discardMessages();
    platform::automation::reset();
  }
  static platform::Window& hostWindow() {
    platform::Window* w = platform::automation::findWindow(host::kHostWindowTitle);
    if (w == nullptr) throw std::runtime_error("no host window");
    return *w;
  }
  TempFolder folder_;
};

TEST_F(Interactive, ShowsTheDocumentAndSwitchesToTheTargetPlane) {
  host::Document doc(host::kModeRGB, 40, 30, {250, 10, 10});
  doc.alphas.push_back({"Mask", doc.newPlane(0)});
  host::saveImage(doc, folder_ / "red.tif");
  const auto composite = folder_ / "composite.png", target = folder_ / "target.png";
  bool chose = false;
  platform::automation::queueStep([&] { platform::automation::saveScreenshot(hostWindow(), composite.string()); });
  platform::automation::queueStep([&] {
    chose = platform::automation::chooseMenuItem(hostWindow(), {"Target", "Mask"}) &&
            platform::automation::chooseMenuItem(hostWindow(), {"View", "Target Plane"});
  });
  platform::automation::queueStep([&] { platform::automation::saveScreenshot(hostWindow(), target.string()); });
  host::PluginFolder none;
  host::runInteractive(none, folder_ / "red.tif");
  EXPECT_TRUE(chose) << "the Target menu lists the alpha channel";
  ASSERT_TRUE(std::filesystem::exists(composite));
  ASSERT_TRUE(std::filesystem::exists(target));
  EXPECT_NE(host::readWholeFile(composite), host::readWholeFile(target)) << "the view changed";
}

TEST_F(Interactive, RunsAPlugInChosenFromTheSelectMenu) {
  host::PluginFolder plugins = host::PluginFolder::scan(host::executableFolder());
  host::Document doc(host::kModeGrey, 20, 20, {0});
  host::saveImage(doc, folder_ / "grey.tif");
  bool chose = false;
  platform::automation::queueStep([&] {
    chose = platform::automation::chooseMenuItem(hostWindow(), {"Select", "Corvane Tessaly", "Make Work Path..."});
  });
  platform::automation::queueStep([] {});
  host::runInteractive(plugins, folder_ / "grey.tif");
  EXPECT_TRUE(chose);
  // Without a target channel or a selection the plug-in says so.
  ASSERT_FALSE(platform::automation::shownBoxes().empty());
}

}  // namespace
