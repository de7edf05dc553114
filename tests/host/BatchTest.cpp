// The batch language: how lines are split, which scripts are refused before
// anything runs, and what the document commands do.
#include <gtest/gtest.h>

#include <sstream>

#include "TempFolder.h"
#include "host/Batch.h"
#include "host/Failure.h"
#include "host/ImageFiles.h"

namespace {

using host::BatchRunner;
using host_testing::TempFolder;

TEST(ScriptLines, SplitAtSpacesWithQuotesAndComments) {
  EXPECT_EQ(host::splitScriptLine("  open  a.png  "), (std::vector<std::string>{"open", "a.png"}));
  EXPECT_EQ(host::splitScriptLine("expect box \"The mask # x\" # note"),
            (std::vector<std::string>{"expect", "box", "The mask # x"}));
  EXPECT_EQ(host::splitScriptLine("add-alpha \"\" 3"), (std::vector<std::string>{"add-alpha", "", "3"}));
  EXPECT_TRUE(host::splitScriptLine("# only a comment").empty());
  EXPECT_THROW(host::splitScriptLine("open \"a.png"), host::Failure);
}

class BatchScript : public ::testing::Test {
 protected:
  int run(const std::string& text) {
    log_.str("");
    runner_ = std::make_unique<BatchRunner>(plugins_, log_);
    return runner_->runText(text, "test.tsb");
  }
  std::string log() const { return log_.str(); }

  host::PluginFolder plugins_;  // none: these scripts need no plug-in
  std::ostringstream log_;
  std::unique_ptr<BatchRunner> runner_;
  TempFolder folder_;
};

TEST_F(BatchScript, MistakesAnywhereAreReportedWithTheirLineBeforeAnythingRuns) {
  const std::string out = (folder_ / "x.tif").string();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"new grey 4 4 0\nsave " + out + "\nfrobnicate\n", "test.tsb:3: unknown command \"frobnicate\""},
      {"new grey 4 4 0\nsave " + out + "\nsave\n", "test.tsb:3: \"save\" takes 1 arguments, not 0"},
      {"new grey 4 4 0\nsave " + out + "\nend\n", "test.tsb:3: \"end\" without \"filter\""},
      {"new grey 4 4 0\nsave " + out + "\nfilter\nkey s\n", "test.tsb:3: \"filter\" has no matching \"end\""},
      {"new grey 4 4 0\nsave " + out + "\nfilter\nopen x.png\nend\n", "test.tsb:4: \"open\" cannot be used inside a filter"},
      {"new grey 4 4 0\nsave " + out + "\nexpect box \"open\n", "test.tsb:3: a double quote is not closed"},
  };
  for (const auto& [script, message] : cases) {
    EXPECT_EQ(run(script), 1) << script;
    EXPECT_EQ(log(), message + "\n");
    EXPECT_FALSE(std::filesystem::exists(out)) << "nothing ran: " << script;
  }
}

TEST_F(BatchScript, AFailingCommandStopsTheScriptNamingItsLine) {
  EXPECT_EQ(run("new rgb 4 4 1 2\n"), 1);
  EXPECT_EQ(log(), "test.tsb:1: a RGB colour has 3 values\n");
  EXPECT_EQ(run("\n# comment\nsave x.tif\n"), 1);
  EXPECT_EQ(log(), "test.tsb:3: \"save\" needs a document: use open or new first\n");
  EXPECT_EQ(run("new grey 4 4 0\ntarget alpha Nope\n"), 1);
  EXPECT_EQ(log(), "test.tsb:2: the document has no alpha channel \"Nope\"\n");
  EXPECT_EQ(run("new grey 4 4 256\n"), 1);
  EXPECT_EQ(log(), "test.tsb:1: value 256 is outside 0 to 255\n");
  EXPECT_EQ(run("new grey 4 4 0\nexpect result 0\n"), 1);
  EXPECT_EQ(log(), "test.tsb:2: expect result: no plug-in has been called\n");
  EXPECT_EQ(run("new grey 4 4 0\nabout filter\n"), 1);
  EXPECT_EQ(log(), "test.tsb:2: the filter plug-in is not loaded\n");
}

TEST_F(BatchScript, TheMainViewIsThereOnlyWhileTheFilterRuns) {
  EXPECT_EQ(run("new grey 4 4 0\nscreenshot main-view x.png\n"), 1);
  EXPECT_EQ(log(), "test.tsb:2: no work window with a main view is open\n");
}

TEST_F(BatchScript, InputIsPlayedOnlyInsideAFilter) {
  EXPECT_EQ(run("new grey 4 4 0\nkey s\n"), 1);
  EXPECT_EQ(log(), "test.tsb:2: \"key\" is played inside filter ... end\n");
}

TEST_F(BatchScript, ScreenshotsAWindowByItsTitle) {
  const auto shot = folder_ / "host.png";
  ASSERT_EQ(run("screenshot \"Tessaly Host\" " + shot.string() + "\n"), 0) << log();
  EXPECT_TRUE(std::filesystem::exists(shot));
  EXPECT_EQ(run("screenshot Nowhere " + shot.string() + "\n"), 1);
  EXPECT_EQ(log(), "test.tsb:1: no visible window is titled \"Nowhere\"\n");
}

TEST_F(BatchScript, BuildsDocumentsWithChannelsSelectionAndTarget) {
  const std::string grey = (folder_ / "grey.png").string();
  host::Document g(host::kModeGrey, 6, 4, {33});
  host::saveImage(g, grey);
  ASSERT_EQ(run("new lab 6 4 200 128 140\n"
                "add-transparency\n"
                "add-layer-mask 7\n"
                "add-alpha \"Soft edge\" " + grey + "\n"
                "add-alpha Plain 9\n"
                "selection rect 1 2 3 5\n"
                "target alpha \"Soft edge\"\n"),
            0)
      << log();
  host::Document& doc = *runner_->document();
  EXPECT_EQ(doc.mode(), host::kModeLab);
  EXPECT_EQ(doc.colour(2)[0], 140);
  EXPECT_EQ((*doc.transparency)[0], 255);
  EXPECT_EQ((*doc.layerMask)[0], 7);
  EXPECT_EQ(doc.findAlpha("Soft edge")->data[0], 33);
  EXPECT_EQ(doc.findAlpha("Plain")->data[0], 9);
  const auto b = doc.selectionBounds();
  EXPECT_EQ(std::vector<int32_t>({b.top, b.left, b.bottom, b.right}), std::vector<int32_t>({1, 2, 3, 5}));
  EXPECT_EQ(&doc.targetPlane(), &doc.findAlpha("Soft edge")->data);
}

TEST_F(BatchScript, QuickMaskStartsFromTheSelection) {
  ASSERT_EQ(run("new grey 4 1 0\nselection rect 0 1 1 3\ntarget quick-mask\n"), 0) << log();
  EXPECT_EQ(runner_->document()->targetPlane(), (host::Plane{0, 255, 255, 0}));
}

TEST_F(BatchScript, SavesTheTargetPlaneAsAGreyMask) {
  const auto mask = folder_ / "mask.png";
  ASSERT_EQ(run("new rgb 3 2 1 2 3\nadd-alpha M 44\ntarget alpha M\nsave-mask " + mask.string() + "\n"), 0) << log();
  const host::Document back = host::openImage(mask);
  EXPECT_EQ(back.mode(), host::kModeGrey);
  EXPECT_EQ(back.colour(0), host::Plane(6, 44));
}

TEST_F(BatchScript, HostSettingsCheckTheirArguments) {
  EXPECT_EQ(run("host memory -5\n"), 1);
  EXPECT_EQ(run("host fail-advance 0 -108\n"), 1);
  EXPECT_EQ(run("host memory 1000000\nhost fail-advance 3 -108\n"), 0) << log();
  EXPECT_EQ(run("host swap 3\n"), 1);
  EXPECT_EQ(log(), "test.tsb:1: usage: host memory BYTES | host fail-advance N CODE\n");
}

// A 20 x 10 matte, 100 on the left half and 200 on the right.
TEST_F(BatchScript, CompareMaskGivesTheMeanDifferenceAndTheShareWithin16Levels) {
  const std::string matte = (folder_ / "matte.png").string();
  ASSERT_EQ(run("new grey 20 10 0\nsave " + matte + "\n"), 0) << log();
  host::Document picture = host::openImage(matte);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) picture.colour(0)[static_cast<size_t>(y * 20 + x)] = x < 10 ? 100 : 200;
  host::saveImage(picture, matte);

  const auto compare = [&](int mask) {
    return run("new grey 20 10 0\nadd-alpha Mask " + std::to_string(mask) + "\ntarget alpha Mask\ncompare-mask " +
               matte + "\n");
  };
  EXPECT_EQ(compare(110), 0) << log();
  EXPECT_EQ(log(), "mask against " + matte + ": mean difference 50.00 levels, 50.0% of pixels within 16 levels\n");
  EXPECT_EQ(compare(184), 0) << log();
  EXPECT_EQ(log(), "mask against " + matte + ": mean difference 50.00 levels, 50.0% of pixels within 16 levels\n");
  EXPECT_EQ(compare(183), 0) << log();
  EXPECT_EQ(log(), "mask against " + matte + ": mean difference 50.00 levels, 0.0% of pixels within 16 levels\n");
  EXPECT_EQ(run("new grey 21 10 0\ncompare-mask " + matte + "\n"), 1) << "a matte of another size is refused";
}

}  // namespace
