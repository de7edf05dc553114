// The host as a user runs it, with the real plug-in beside it: batch
// scripts, the inspection commands and their exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "TempFolder.h"
#include "host/ImageFiles.h"
#include "host/PathRecords.h"
#include "host/PluginLibrary.h"

namespace {

using host_testing::TempFolder;

struct HostRun {
  int exitCode = -1;
  std::string output;  // standard output and error together
};

// Runs the host with a registry store of its own under `config`, so that no
// test writes into the user's settings.
HostRun runHost(const std::string& arguments, const std::filesystem::path& config) {
  const std::string command = "XDG_CONFIG_HOME='" + config.string() + "' " +
                              (host::executableFolder() / "tessaly-host").string() + " " + arguments + " 2>&1";
  HostRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.output.append(buffer.data(), n);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class HostCommand : public ::testing::Test {
 protected:
  HostRun batch(const std::string& script) {
    const auto file = folder_ / "script.tsb";
    std::ofstream(file) << script;
    return runHost("batch " + file.string());
  }
  HostRun runHost(const std::string& arguments) { return ::runHost(arguments, folder_ / "config"); }
  // square.png: a 64 x 48 grey mask, full inside rows 10-29 and columns 20-49.
  void writeSquareMask() {
    host::Document square(host::kModeGrey, 64, 48, {0});
    for (int y = 10; y < 30; ++y)
      for (int x = 20; x < 50; ++x) square.colour(0)[static_cast<size_t>(y * 64 + x)] = 255;
    host::saveImage(square, folder_ / "square.png");
  }
  TempFolder folder_;
};

TEST_F(HostCommand, PluginsListsBothPlugInsWithTheirProperties) {
  const HostRun r = runHost("plugins");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("PIPL 16000: Filter > Corvane > Tessaly..."), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("PIPL 16001: Select > Corvane Tessaly > Make Work Path..."), std::string::npos);
  EXPECT_NE(r.output.find("8BIM wx86 = \"SELECTIONENTRYPOINT\""), std::string::npos);
  EXPECT_NE(r.output.find("8BIM mode = 0x5840 (greyscale, RGB, CMYK, Lab)"), std::string::npos);
}

TEST_F(HostCommand, PluginsReportsALibraryWithoutResourcesAndFails) {
  // A loadable library without plug-in resources (one of the host's own
  // would be loaded twice, which the sanitizers object to).
  const std::filesystem::path zlib = "/usr/lib/x86_64-linux-gnu/libz.so.1";
  if (!std::filesystem::exists(zlib)) GTEST_SKIP() << "no " << zlib;
  std::filesystem::copy_file(zlib, folder_ / "broken.8bf");
  const HostRun r = runHost("plugins " + folder_.path().string());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("broken.8bf: no resource table"), std::string::npos) << r.output;
}

TEST_F(HostCommand, DumpResourceWritesTheRawBytes) {
  const HostRun r = runHost("dump-resource tessaly.8bf PIPL 16001");
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_GE(r.output.size(), 10u);
  EXPECT_EQ(r.output[0], 1) << "signature 1, little-endian";
  EXPECT_NE(r.output.find("SELECTIONENTRYPOINT"), std::string::npos);
  const HostRun missing = runHost("dump-resource tessaly.8bf PIPL 17");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("no resource 'PIPL' 17"), std::string::npos) << missing.output;
}

TEST_F(HostCommand, BatchRegistersThePlugInsPreferenceLocationOnceAsAnInstallerWould) {
  ASSERT_EQ(batch("about filter\n").exitCode, 0);
  const auto registry = host::readWholeFile(folder_ / "config" / "Tessaly" / "registry");
  const std::string text(registry.begin(), registry.end());
  EXPECT_NE(text.find("prefslocation"), std::string::npos) << "names are stored case-folded: " << text;
  EXPECT_NE(text.find((folder_ / "config" / "Tessaly" / "Tessaly Preferences.tsw").string()), std::string::npos) << text;
  ASSERT_EQ(batch("about filter\n").exitCode, 0);
  const auto again = host::readWholeFile(folder_ / "config" / "Tessaly" / "registry");
  EXPECT_EQ(again, registry) << "an existing value is kept";
}

TEST_F(HostCommand, BatchAboutCallsBothPlugIns) {
  const HostRun r = batch("about filter\nexpect result 0\nabout selection\nexpect result 0\nexpect no-box\n");
  EXPECT_EQ(r.exitCode, 0) << r.output;
}

TEST_F(HostCommand, BatchFilterOnAColourChannelIsRefusedByThePlugIn) {
  // The composite of a greyscale image is its only colour channel.
  const HostRun r = batch("new grey 16 16 10\nfilter\nend\nexpect result 1110\nexpect box \"The mask cannot be stored\"\n");
  EXPECT_EQ(r.exitCode, 0) << r.output;
}

// A picture with alpha is filtered with its transparency as the target, so
// the usual first run works without a target command; the colour channels
// alone are still refused.
TEST_F(HostCommand, AFilterOnALayerWithTransparencyWritesTheTransparency) {
  const std::string picture = (folder_ / "rgba.png").string();
  ASSERT_EQ(batch("new rgb 16 16 200 100 50\nadd-transparency 0\nsave " + picture + "\n").exitCode, 0);
  const HostRun r = batch("open " + picture + "\nfilter\nkey d\nkey b\nclick 8 8\nanswer \"No Path\"\n"
                          "menu \"File>Save/Apply...\"\nend\n"
                          "expect result 0\nsave-mask " + (folder_ / "mask.png").string() + "\n");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const host::Document mask = host::openImage(folder_ / "mask.png");
  EXPECT_EQ(mask.colour(0)[8 * 16 + 8], 255) << "the pencil's click did not reach the transparency";
  const HostRun composite = batch("open " + picture + "\ntarget composite\nfilter\nend\nexpect result 1110\n"
                                  "expect box \"The mask cannot be stored\"\n");
  EXPECT_EQ(composite.exitCode, 0) << composite.output;
}

TEST_F(HostCommand, BatchReportsTheFirstLineAFilterEndedBefore) {
  // The plug-in refuses a colour channel at once, so nothing is played.
  const HostRun r = batch("new grey 16 16 10\nfilter\n  wait 100\n  key ctrl+s\nend\nexpect result 1110\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("script.tsb:3: the filter ended before this line was played (result 1110)"),
            std::string::npos)
      << r.output;
}

TEST_F(HostCommand, AFilterAskingForMoreBufferSpaceThanTheHostHasGetsOutOfMemory) {
  // The filter asks for 256 KiB in prepare.
  const HostRun r = batch("new rgb 30 20 1 2 3\nadd-alpha Mask\ntarget alpha Mask\nhost memory 1000\n"
                          "filter\nend\nexpect result -108\n");
  EXPECT_EQ(r.exitCode, 0) << r.output;
}

// The outputs of a run on the example image against the ones stored in
// tests/host/expected, byte for byte, so that a wrong result fails the run
// and not only a crash. After a deliberate change of the output, run this
// test once with TESSALY_UPDATE_EXPECTED=1 to store the new outputs, and
// look at them before committing.
class StoredOutputs : public HostCommand {
 protected:
  static std::filesystem::path stored(const std::string& name) {
    return std::filesystem::path(TESSALY_EXPECTED) / name;
  }
  void expectStored(const std::filesystem::path& output, const std::string& name) {
    if (std::getenv("TESSALY_UPDATE_EXPECTED") != nullptr) std::filesystem::copy_file(
        output, stored(name), std::filesystem::copy_options::overwrite_existing);
    const std::vector<uint8_t> actual = host::readWholeFile(output), expected = host::readWholeFile(stored(name));
    EXPECT_EQ(actual.size(), expected.size()) << name;
    const auto differ = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    EXPECT_TRUE(differ.first == actual.end() && differ.second == expected.end())
        << name << " differs from the stored one first at byte " << (differ.first - actual.begin());
  }
};

// Strokes of the pencil and the brush in keep and drop mode over the
// example's matte, then Save/Apply with a clipping path: the mask the host
// kept and the path traced from it.
TEST_F(StoredOutputs, EditingTheExampleGivesTheStoredMaskAndPath) {
  const std::string examples = std::string(TESSALY_EXAMPLES) + "/";
  const auto mask = folder_ / "mask.png", bin = folder_ / "path.bin", svg = folder_ / "path.svg";
  const HostRun r = batch("open " + examples + "furball.png\nadd-alpha Mask " + examples + "furball-matte.png\n"
                          "target alpha Mask\nanswer Path 1020=50 1021=30\nfilter\nwait 600\n"
                          "key b\nkey d\ndrag 60,60 120,90 180,70\nkey e\ndrag 300,200 360,260\n"
                          "key a\nkey d\ndrag 500,400 560,420 600,380\nmenu \"File>Save/Apply...\"\nend\n"
                          "expect result 0\nexpect no-box\nsave-mask " + mask.string() + "\nsave-path " +
                          bin.string() + "\nsave-path " + svg.string() + "\n");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  // PNG bytes depend on the compressor's version; the pixels do not.
  if (std::getenv("TESSALY_UPDATE_EXPECTED") != nullptr) std::filesystem::copy_file(
      mask, stored("furball-edited-mask.png"), std::filesystem::copy_options::overwrite_existing);
  const host::Document edited = host::openImage(mask), expected = host::openImage(stored("furball-edited-mask.png"));
  EXPECT_TRUE(edited.colour(0) == expected.colour(0)) << "the mask differs from the stored one";
  EXPECT_FALSE(edited.colour(0) == host::openImage(examples + "furball-matte.png").colour(0))
      << "the strokes changed nothing";
  expectStored(bin, "furball-path.bin");
  expectStored(svg, "furball-path.svg");
}

TEST_F(HostCommand, AFilterRefusedForLackOfMemoryIsExplainedByTheHost) {
  const HostRun r = batch("new rgb 30 20 1 2 3\nadd-alpha Mask\ntarget alpha Mask\nhost memory 262143\n"
                          "filter\nend\nexpect result -108\n"
                          "expect box \"Could not complete the filter because there is not enough memory.\"\n"
                          "host memory 1073741824\nanswer No\nfilter\nmenu \"File>Exit\"\nend\nexpect result 1110\n"
                          "expect box \"Apply changes before closing?\"\n");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("Filter > Corvane > Tessaly...: Could not complete the filter because there is not enough "
                          "memory.\n"),
            std::string::npos)
      << "a batch run shows the host's message too: " << r.output;
  EXPECT_EQ(r.output.find("Could not complete", r.output.find("memory.") + 1), std::string::npos)
      << "a cancel needs no words: " << r.output;
}

// The host fails each of the first advanceState calls of a run (the plug-in
// is then testing whether the target is a colour channel) with each kind of
// code: the user learns why from the host, or from the plug-in for a code the
// interface does not define, hears nothing of a cancel, and the document is
// untouched.
TEST_F(HostCommand, AHostFailureWhileTheFilterStartsIsExplainedAndChangesNothing) {
  struct Outcome {
    int code;
    int result;
    std::string box;  // empty: no box
  };
  const std::vector<Outcome> outcomes = {
      {-108, -108, "Could not complete the filter because there is not enough memory."},
      {-34, -34, "Could not complete the filter because the disk is full."},
      {-1, -1, "Could not complete the filter because of a program error (code -1)."},
      {1, 2, "The operation could not be completed."},
      {-128, 1110, ""},
  };
  const auto before = folder_ / "before.png", after = folder_ / "after.png";
  std::string script = "open " + std::string(TESSALY_EXAMPLES) + "/furball.png\nadd-alpha Mask 0\n"
                       "target alpha Mask\nsave-mask " + before.string() + "\n";
  for (int call = 1; call <= 4; ++call)
    for (const Outcome& o : outcomes) {
      script += "host fail-advance " + std::to_string(call) + " " + std::to_string(o.code) +
                "\nfilter\nend\nexpect result " + std::to_string(o.result) + "\n";
      script += o.box.empty() ? "expect no-box\n" : "expect box \"" + o.box + "\"\n";
    }
  script += "save-mask " + after.string() + "\n";
  const HostRun r = batch(script);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output.find("Unknown error"), std::string::npos) << r.output;
  EXPECT_EQ(host::readWholeFile(before), host::readWholeFile(after));
}

TEST_F(HostCommand, BatchReportsAnUnexpectedPlugInResult) {
  const HostRun r = batch("new grey 16 16 10\nfilter\nend\nsave " + (folder_ / "x.tif").string() + "\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("script.tsb:2: Filter > Corvane > Tessaly... ended with result 1110"), std::string::npos)
      << r.output;
}

TEST_F(HostCommand, BatchOpensSavesAndReportsBadFilesByLine) {
  const auto tif = folder_ / "out.tif";
  const HostRun ok = batch("new rgb 8 6 200 100 50\nadd-transparency 128\nsave " + tif.string() + "\n");
  EXPECT_EQ(ok.exitCode, 0) << ok.output;
  const host::Document back = host::openImage(tif);
  EXPECT_EQ(back.colour(1)[0], 100);
  std::ofstream(folder_ / "bad.png") << "not an image";
  const HostRun bad = batch("\nopen " + (folder_ / "bad.png").string() + "\n");
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.output.find("script.tsb:2: " + (folder_ / "bad.png").string() + ": not a TIFF, PNG or JPEG image"),
            std::string::npos)
      << bad.output;
}

TEST_F(HostCommand, MakeWorkPathTracesTheTargetChannelIntoTheWorkPath) {
  writeSquareMask();
  const auto bin = folder_ / "path.bin";
  const HostRun r = batch("new rgb 64 48 9 9 9\nadd-alpha Square " + (folder_ / "square.png").string() +
                          "\ntarget alpha Square\nanswer Apply 1043=1 1020=50 1021=30\nmake-work-path\nexpect no-box\n"
                          "save-path " + bin.string() + "\n");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const auto subpaths = host::decodePath(host::readWholeFile(bin), 64, 48);
  ASSERT_EQ(subpaths.size(), 1u);
  double top = 1e9, left = 1e9, bottom = -1e9, right = -1e9;
  for (const host::PathKnot& k : subpaths[0].knots) {
    top = std::min(top, k.anchor.v);
    bottom = std::max(bottom, k.anchor.v);
    left = std::min(left, k.anchor.h);
    right = std::max(right, k.anchor.h);
  }
  EXPECT_NEAR(top, 10, 1);
  EXPECT_NEAR(bottom, 30, 1);
  EXPECT_NEAR(left, 20, 1);
  EXPECT_NEAR(right, 50, 1);
}

TEST_F(HostCommand, SaveApplyWithAClippingPathMakesTheWorkPathAtOnce) {
  writeSquareMask();
  const auto bin = folder_ / "path.bin";
  const HostRun r = batch("new rgb 64 48 9 9 9\nadd-alpha Square " + (folder_ / "square.png").string() +
                          "\ntarget alpha Square\nanswer Path 1020=50 1021=30\nfilter\n"
                          "menu \"File>Save/Apply...\"\nend\nexpect result 0\nexpect no-box\n"
                          "save-path " + bin.string() + "\n");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const auto subpaths = host::decodePath(host::readWholeFile(bin), 64, 48);
  EXPECT_EQ(subpaths.size(), 1u) << "the posted Make Work Path ran without its dialog";
}

TEST_F(HostCommand, ExitWithNoLeavesTheDocumentUnchanged) {
  const auto before = folder_ / "before.png";
  const auto after = folder_ / "after.png";
  const HostRun r = batch("new rgb 16 8 1 2 3\nadd-alpha Mask 77\ntarget alpha Mask\nsave-mask " + before.string() +
                          "\nanswer No\nfilter\nmenu \"File>Exit\"\nend\nexpect result 1110\n"
                          "expect box \"Apply changes before closing?\"\nsave-mask " + after.string() + "\n");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(host::readWholeFile(before), host::readWholeFile(after));
}

TEST_F(HostCommand, MouseCommandsAimAtImagePixelsOfTheMainView) {
  writeSquareMask();
  const auto before = folder_ / "before.png";
  const auto after = folder_ / "after.png";
  const HostRun r = batch("new rgb 64 48 200 30 30\nadd-alpha Square " + (folder_ / "square.png").string() +
                          "\ntarget alpha Square\nfilter\nkey ctrl+alt+0\nwait 600\nscreenshot main-view " +
                          before.string() + "\nkey z\nclick 35 20\nwait 600\nscreenshot main-view " + after.string() +
                          "\ndrag 1,1 5,5 9,9\nmouse move 3 3\nanswer Cancel 1020=50\nanswer No\nmenu \"File>Exit\"\nend\n"
                          "expect result 1110\n");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(host::readWholeFile(before), host::readWholeFile(after)) << "the zoom tool's click zoomed in";
}

TEST_F(HostCommand, ImageMagickReadsTheSavedAlphaAndPath) {
  if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
  host::Document doc(host::kModeRGB, 20, 10, {10, 20, 30});
  doc.transparency = doc.newPlane(255);
  (*doc.transparency)[0] = 0;
  // A triangle, in the path records other programs read.
  const std::vector<uint8_t> triangle = [] {
    std::vector<uint8_t> r(26 * 5, 0);
    r[1] = 6;
    r[26 + 1] = 0;
    r[26 + 3] = 3;
    const int32_t points[3][2] = {{0x200000, 0x200000}, {0x800000, 0xC00000}, {0xC00000, 0x200000}};
    for (int k = 0; k < 3; ++k) {
      uint8_t* rec = r.data() + 26 * (2 + k);
      rec[1] = 2;
      for (int p = 0; p < 3; ++p)
        for (int c = 0; c < 2; ++c)
          for (int b = 0; b < 4; ++b) rec[2 + p * 8 + c * 4 + b] = static_cast<uint8_t>(points[k][c] >> (24 - 8 * b));
    }
    return r;
  }();
  doc.workPath = triangle;
  const auto tif = folder_ / "im.tif";
  host::saveImage(doc, tif);
  auto capture = [](const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
    std::array<char, 4096> buf{};
    size_t n = 0;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    pclose(p);
    return out;
  };
  const std::string alpha = capture("convert " + tif.string() + " -alpha extract -format '%[fx:minima]' info:");
  EXPECT_EQ(alpha, "0") << "ImageMagick sees the transparency as alpha";
  const std::string path = capture("identify -format '%[8BIM:1999,2998:#1]' " + tif.string());
  EXPECT_NE(path.find("<path"), std::string::npos) << "ImageMagick reads the saved path: " << path;
}

}  // namespace

namespace {

// The controls beside the main view and a navigator, driven by name: the
// grey-mask button changes what the main view shows, Ctrl+N opens a second
// navigator, and a click in a navigator moves the main view.
TEST_F(HostCommand, MouseCommandsReachNamedWindowsBesideTheMainView) {
  const auto composite = folder_ / "composite.png";
  const auto grey = folder_ / "grey.png";
  const auto moved = folder_ / "moved.png";
  const auto zoomed = folder_ / "zoomed.png";
  const HostRun r =
      batch("new rgb 640 480 200 30 30\nadd-alpha Half 128\ntarget alpha Half\nfilter\nwait 600\nscreenshot main-view " + composite.string() +
            "\nclick 25 8 in \"Display Mode\"\nwait 600\nscreenshot main-view " + grey.string() +
            "\nclick 8 8 in \"Display Mode\"\nkey ctrl+plus\nkey ctrl+plus\nkey ctrl+plus\nwait 600\n"
            "screenshot main-view " + zoomed.string() + "\nclick 5 5 in Navigator\nwait 600\nscreenshot main-view " +
            moved.string() + "\nkey ctrl+n\nclick 8 8 in Nowhere\nanswer Cancel 1020=50\nanswer No\n"
            "menu \"File>Exit\"\nend\n");
  EXPECT_NE(r.exitCode, 0) << "the last click names no window";
  EXPECT_NE(r.output.find("no visible window is titled \"Nowhere\""), std::string::npos) << r.output;
  EXPECT_NE(host::readWholeFile(composite), host::readWholeFile(grey)) << "grey-mask mode looks different";
  EXPECT_NE(host::readWholeFile(zoomed), host::readWholeFile(moved)) << "the navigator's click moved the view";
}

// A user makes the ball's mask on the bundled photograph: keep and drop
// colours picked with the eyedroppers, the wand in keep mode, the magic brush
// round the edge. Undoing and redoing on the way, and a pencil click undone,
// end in the same mask byte for byte; and the mask comes close to the true
// one.
TEST_F(HostCommand, PickingFillingAndPaintingMakeTheMaskAndUndoRedoesItExactly) {
  const std::string examples = TESSALY_EXAMPLES;
  const auto session = [&](const std::string& extra, const std::string& mask) {
    return batch("open " + examples + "/furball.png\nadd-alpha Mask 0\ntarget alpha Mask\nfilter\n"
                 "key i\ndrag 280,200 330,240 380,280 330,300\n"
                 "key o\ndrag 40,440 120,400 200,440 600,420\n"
                 "key d\nkey w\nclick 330 240\n" +
                 extra +
                 "key m\ndrag 330,90 420,130 475,240 420,350 330,385 240,350 190,240 240,130 330,90\n"
                 "answer \"No Path\"\nmenu \"File>Save/Apply...\"\nend\nsave-mask " +
                 (folder_ / mask).string() + "\ncompare-mask " + examples + "/furball-matte.png\n");
  };
  const HostRun plain = session("", "plain.png");
  ASSERT_EQ(plain.exitCode, 0) << plain.output;
  // A click of the pencil is one stroke step, so one undo takes it back
  // (a drag is as many steps as the pointer was sampled).
  const HostRun undone = session("key backspace\nkey shift+backspace\nkey b\nclick 60 60\nkey backspace\n",
                                 "undone.png");
  ASSERT_EQ(undone.exitCode, 0) << undone.output;

  const host::Document a = host::openImage(folder_ / "plain.png");
  const host::Document b = host::openImage(folder_ / "undone.png");
  EXPECT_TRUE(a.colour(0) == b.colour(0)) << "undo and redo did not give back the same mask";

  const size_t at = plain.output.find("mean difference ");
  ASSERT_NE(at, std::string::npos) << plain.output;
  const double mean = std::stod(plain.output.substr(at + 16));
  EXPECT_LT(mean, 8.0) << plain.output;
  size_t changed = 0;
  for (uint8_t v : a.colour(0)) changed += v != 0;
  EXPECT_GT(changed, a.colour(0).size() / 5) << "the ball was not filled";
}

// A user draws round the ball with the pen on the bundled photograph: four
// smooth nodes whose handles a drag pulls out, closed by a click on the
// first, filled by a click inside, the mask shown faint so the photograph
// shows through. Undoing everything and redoing it on the way, before and
// after the fill, ends in the same mask byte for byte and the same screen.
TEST_F(HostCommand, APenPathDrawnClosedAndFilledUndoesAndRedoesExactly) {
  const std::string examples = TESSALY_EXAMPLES;
  const auto shot = [&](const std::string& name) { return "screenshot main-view " + (folder_ / name).string() + "\n"; };
  const auto session = [&](const std::string& mask, const std::string& beforeFill, const std::string& afterFill) {
    return batch("open " + examples + "/furball.png\nadd-alpha Mask 0\ntarget alpha Mask\nfilter\n"
                 "click 30 5 in Opacity\nkey d\nkey p\n"
                 "drag 330,93 410,93\ndrag 475,238 475,318\ndrag 330,383 250,383\ndrag 185,238 185,158\n"
                 "mouse move 300 110\n" + shot("hover.png") + "click 330 93\n" + shot("closed.png") + beforeFill +
                 "click 330 240\n" + afterFill + "answer \"No Path\"\nmenu \"File>Save/Apply...\"\nend\n"
                 "expect result 0\nsave-mask " + (folder_ / mask).string() + "\n");
  };
  const HostRun plain = session("plain.png", "", "");
  ASSERT_EQ(plain.exitCode, 0) << plain.output;
  const std::string undoAll = "key backspace\nkey backspace\nkey backspace\nkey backspace\nkey backspace\n";
  const std::string redoAll = "key shift+backspace\nkey shift+backspace\nkey shift+backspace\nkey shift+backspace\n"
                              "key shift+backspace\n";
  const HostRun undone = session("undone.png", undoAll + redoAll + shot("redone.png"),
                                 "key backspace\n" + shot("unfilled.png") + "key shift+backspace\n");
  ASSERT_EQ(undone.exitCode, 0) << undone.output;

  const host::Document a = host::openImage(folder_ / "plain.png"), b = host::openImage(folder_ / "undone.png");
  EXPECT_TRUE(a.colour(0) == b.colour(0)) << "undo and redo did not give back the same mask";
  EXPECT_EQ(a.colour(0)[240 * 640 + 330], 255) << "inside the path";
  EXPECT_EQ(a.colour(0)[10 * 640 + 10], 0) << "far outside";
  const host::Document closed = host::openImage(folder_ / "closed.png");
  for (const char* again : {"redone.png", "unfilled.png"}) {
    const host::Document other = host::openImage(folder_ / again);
    bool same = true;
    for (int c = 0; c < 3; ++c) same = same && closed.colour(c) == other.colour(c);
    EXPECT_TRUE(same) << again << " does not show the closed path as it was";
  }
  const host::Document hover = host::openImage(folder_ / "hover.png");
  EXPECT_FALSE(hover.colour(0) == closed.colour(0)) << "the path shows on screen";
}

// The edge tool, reached by Ctrl+Shift+S (not Save/Apply's Ctrl+S), fills
// a bright square on a dark ground from a click inside up to its edge.
TEST_F(HostCommand, TheEdgeToolFillsFromAScriptUpToTheEdge) {
  writeSquareMask();
  const auto mask = folder_ / "mask.png";
  const HostRun r = batch("open " + (folder_ / "square.png").string() + "\nadd-alpha Mask 0\ntarget alpha Mask\n"
                          "filter\nkey d\nkey ctrl+shift+s\nclick 30 20\nkey backspace\nkey shift+backspace\n"
                          "answer \"No Path\"\nmenu \"File>Save/Apply...\"\nend\nexpect result 0\nsave-mask " +
                          mask.string() + "\n");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(host::openImage(mask).colour(0) == host::openImage(folder_ / "square.png").colour(0));
}

// A user's session with the colour bars: keep colours picked from the ball
// with the keep eyedropper (the second with Shift, into the same set), drop
// colours from the background, a new keep set from the bar's button filled
// from the ball, and the first drop colour dragged from the list's top row
// onto the delete button; the bars' screenshots show the colours left as
// swatches.
TEST_F(HostCommand, ColoursPickedFromTheImageShowInTheKeepAndDropBars) {
  const auto keep = folder_ / "keep.png";
  const auto drop = folder_ / "drop.png";
  const HostRun r = batch(std::string("open ") + TESSALY_EXAMPLES_DIR + "/furball.png\n"
                          "add-alpha Mask 0\ntarget alpha Mask\nfilter\n"
                          "key i\nclick 330 230\nclick 270 180 shift\n"
                          "key o\nclick 60 60\nclick 600 420 shift\n"
                          "click 11 77 in Keep\n"  // the new-set button, under the list
                          "click 380 300\n"
                          "drag 40,1 55,78 in Drop\n"  // from the list's first pixel row to the delete button
                          "screenshot Keep " + keep.string() + "\nscreenshot Drop " + drop.string() + "\n"
                          "answer \"No Path\"\nmenu \"File>Save/Apply...\"\nend\nexpect result 0\n");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  // Swatch pixels: the ball's oranges and the background's greens; the
  // bars' own red and green marks are pure and do not count.
  const auto count = [](const host::Document& shot, bool orange) {
    int n = 0;
    for (size_t i = 0; i < shot.colour(0).size(); ++i) {
      const int red = shot.colour(0)[i], green = shot.colour(1)[i], blue = shot.colour(2)[i];
      n += orange ? (red > green + 50 && green > 40 && blue < green) : (green > red + 20 && red > 60 && blue < red);
    }
    return n;
  };
  const host::Document keepShot = host::openImage(keep), dropShot = host::openImage(drop);
  constexpr int kSwatch = 29 * 11;  // inside a swatch's frame
  EXPECT_EQ(count(keepShot, true), 3 * kSwatch) << "two keep colours in the first set, one in the new one";
  EXPECT_EQ(count(keepShot, false), 0);
  EXPECT_EQ(count(dropShot, false), kSwatch) << "two drop colours, one of them deleted";
  EXPECT_EQ(count(dropShot, true), 0);
}

// The example in docs/BATCH.md runs as it stands: Save/Apply with no answer
// queued makes the clipping path, as Return would in the question.
TEST_F(HostCommand, TheBatchLanguagesExampleRuns) {
  std::ifstream docs(std::string(TESSALY_DOCS) + "/BATCH.md");
  std::string line, script;
  bool inExample = false;
  while (std::getline(docs, line)) {
    if (line == "## Example") inExample = true;
    else if (inExample && line.rfind("## ", 0) == 0) break;
    else if (inExample && line.rfind("    ", 0) == 0) script += line.substr(4) + "\n";
  }
  ASSERT_FALSE(script.empty()) << "docs/BATCH.md has no example";
  const auto replaceAll = [&](const std::string& from, const std::string& to) {
    for (size_t at = script.find(from); at != std::string::npos; at = script.find(from, at + to.size()))
      script.replace(at, from.size(), to);
  };
  replaceAll("examples/", std::string(TESSALY_EXAMPLES) + "/");
  replaceAll("out/", folder_.path().string() + "/");
  const HostRun r = batch(script);
  EXPECT_EQ(r.exitCode, 0) << script << r.output;
}

// An answer may stand before or right after the line that opens its box or
// dialog: Exit's question answered No leaves the document as it was, the
// Clipping Path question answered "No Path" applies without a path.
TEST_F(HostCommand, AnswersWorkWrittenBeforeOrAfterTheLineThatAsks) {
  const std::string open = "new rgb 16 16 200 100 50\nadd-alpha Mask 0\ntarget alpha Mask\n";
  for (const std::string exit : {"answer No\nmenu \"File>Exit\"\n", "menu \"File>Exit\"\nanswer No\n"}) {
    const HostRun r = batch(open + "filter\n" + exit + "end\nexpect result 1110\n");
    EXPECT_EQ(r.exitCode, 0) << exit << r.output;
  }
  for (const std::string apply : {"answer \"No Path\"\nmenu \"File>Save/Apply...\"\n",
                                   "menu \"File>Save/Apply...\"\nanswer \"No Path\"\n"}) {
    const HostRun r = batch(open + "filter\n" + apply + "end\nexpect result 0\nsave-path " +
                            (folder_ / "path.svg").string() + "\n");
    EXPECT_EQ(r.exitCode, 1) << apply << r.output;
    EXPECT_NE(r.output.find("the document has no work path"), std::string::npos) << "No Path made a path: " << r.output;
  }
}

// The bars' layout outlives the run: a bar hidden through the Window menu
// before Save/Apply is hidden when the filter opens again; the others show.
TEST_F(HostCommand, TheBarsLayoutSurvivesSaveApplyAndTheNextRun) {
  const std::string open = "new rgb 16 16 200 100 50\nadd-alpha Mask 0\ntarget alpha Mask\n";
  const std::string shot = (folder_ / "shot.png").string();
  ASSERT_EQ(batch(open + "filter\nmenu \"Window>Toolbox\"\nanswer \"No Path\"\nmenu \"File>Save/Apply...\"\nend\n")
                .exitCode,
            0);
  const HostRun hidden = batch(open + "filter\nscreenshot Threshold " + shot + "\nscreenshot Toolbox " + shot +
                               "\nanswer No\nmenu \"File>Exit\"\nend\n");
  EXPECT_EQ(hidden.exitCode, 1);
  EXPECT_NE(hidden.output.find("script.tsb:6: no visible window is titled \"Toolbox\""), std::string::npos)
      << hidden.output;
}

// A comb of 64 teeth whose sides zigzag by a pixel on every row, joined at
// the bottom: one outline of far more than 32767 points. Make Work Path
// refuses it and says why and what to do.
TEST_F(HostCommand, APathWithTooManyPointsInOneOutlineIsRefusedWithItsReason) {
  host::Document comb(host::kModeGrey, 512, 512, {0});
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) {
      const int shifted = x + (y % 2);
      const bool tooth = y >= 8 && (shifted / 4) % 2 == 0;
      comb.colour(0)[static_cast<size_t>(y * 512 + x)] = tooth || y >= 500 ? 255 : 0;
    }
  host::saveImage(comb, folder_ / "comb.png");
  const HostRun r = batch("new grey 512 512 128\nadd-alpha Mask " + (folder_ / "comb.png").string() +
                          "\ntarget alpha Mask\nanswer OK 1020=50 1021=1\nmake-work-path\nexpect result 1110\n"
                          "expect box \"The path cannot be made: one of its outlines would have more than 32767 "
                          "points.\"\n");
  EXPECT_EQ(r.exitCode, 0) << r.output;
}

}  // namespace
