// Property lists as the host reads them: the real plug-in's, and damaged
// ones, which must be refused with a reason rather than read past their end.
#include <gtest/gtest.h>

#include "host/Failure.h"
#include "host/Pipl.h"
#include "host/PluginLibrary.h"

namespace {

std::vector<uint8_t> list(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<uint8_t> le32(int32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

std::vector<uint8_t> header(int32_t count) { return list({{1, 0}, le32(0), le32(count)}); }

std::vector<uint8_t> property(const char* key, std::vector<uint8_t> data) {
  std::vector<uint8_t> p = {'M', 'I', 'B', '8', static_cast<uint8_t>(key[3]), static_cast<uint8_t>(key[2]),
                            static_cast<uint8_t>(key[1]), static_cast<uint8_t>(key[0])};
  const auto length = static_cast<int32_t>(data.size());
  p = list({p, le32(0), le32(length), data});
  while ((p.size() - 16) % 4 != 0) p.push_back(0);
  return p;
}

TEST(PiplDecoding, TheRealPluginAnnouncesItsFilterAndSelectionModule) {
  const auto lib = host::PluginLibrary::load(host::executableFolder() / "tessaly.8bf");
  ASSERT_EQ(lib->plugins().size(), 2u);
  EXPECT_TRUE(lib->problems().empty());
  const host::Plugin& filter = lib->plugins()[0];
  EXPECT_EQ(filter.resourceId, 16000);
  EXPECT_EQ(filter.pipl.kind, "8BFM");
  EXPECT_EQ(filter.pipl.name, "Tessaly...");
  EXPECT_EQ(filter.pipl.category, "Corvane");
  EXPECT_EQ(filter.pipl.version, 0x00040000);
  EXPECT_EQ(filter.pipl.entryName, "ENTRYPOINT");
  EXPECT_EQ(filter.pipl.supportedModes, 0x5840);
  ASSERT_EQ(filter.pipl.filterCases.size(), 7u);
  EXPECT_EQ(filter.pipl.filterCases[6].flags, 0x06);
  EXPECT_NE(filter.entry, nullptr);
  EXPECT_EQ(filter.menuPath(), "Filter > Corvane > Tessaly...");
  const host::Plugin& selection = lib->plugins()[1];
  EXPECT_EQ(selection.pipl.kind, "8BSM");
  EXPECT_EQ(selection.menuPath(), "Select > Corvane Tessaly > Make Work Path...");
  EXPECT_EQ(selection.pipl.entryName, "SELECTIONENTRYPOINT");
  EXPECT_NE(selection.entry, nullptr);
  for (int mode : {1, 3, 4, 9}) EXPECT_TRUE(filter.pipl.allowsMode(mode)) << "mode " << mode;
  for (int mode : {0, 2, 5, 6, 7, 8}) EXPECT_FALSE(filter.pipl.allowsMode(mode)) << "mode " << mode;
}

TEST(PiplDecoding, ReadsStringsCodesAndTheBigEndianModeMask) {
  const auto bytes = list({header(4), property("kind", {'M', 'F', 'B', '8'}), property("name", {3, 'A', 'b', 'c'}),
                           property("wx86", {'E', 'n', 't', 0}), property("mode", {0x40, 0x00, 0, 0})});
  const host::PiplInfo info = host::decodePipl(bytes.data(), bytes.size());
  EXPECT_EQ(info.kind, "8BFM");
  EXPECT_EQ(info.name, "Abc");
  EXPECT_EQ(info.entryName, "Ent");
  EXPECT_EQ(info.supportedModes, 0x4000);
  EXPECT_TRUE(info.allowsMode(1));
  EXPECT_FALSE(info.allowsMode(3));
  EXPECT_EQ(info.properties.size(), 4u);
}

TEST(PiplDecoding, RefusesDamagedListsInsteadOfReadingPastThem) {
  const auto good = list({header(1), property("name", {3, 'A', 'b', 'c'})});
  for (size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_THROW(host::decodePipl(good.data(), cut), host::Failure) << "cut at " << cut;
  auto badSignature = good;
  badSignature[0] = 2;
  EXPECT_THROW(host::decodePipl(badSignature.data(), badSignature.size()), host::Failure);
  auto hugeLength = good;
  hugeLength[10 + 12] = 0xFF;  // the length's low byte
  hugeLength[10 + 15] = 0x7F;
  EXPECT_THROW(host::decodePipl(hugeLength.data(), hugeLength.size()), host::Failure);
  const auto tooMany = list({header(2), property("name", {1, 'A'})});
  EXPECT_THROW(host::decodePipl(tooMany.data(), tooMany.size()), host::Failure);
}

TEST(PiplDecoding, AnUnterminatedOrOverlongStringGivesNoName) {
  const auto bytes = list({header(2), property("name", {9, 'A'}), property("wx86", {'E', 'n', 't', 'r'})});
  const host::PiplInfo info = host::decodePipl(bytes.data(), bytes.size());
  EXPECT_EQ(info.name, "");
  EXPECT_EQ(info.entryName, "");
}

TEST(PluginLoading, ALibraryWithoutResourceTableIsRefusedNamingTheFile) {
  // The platform library is a loadable library without plug-in resources.
  try {
    host::PluginLibrary::load(host::executableFolder() / "libtessaly-platform.so");
    FAIL() << "loaded a library without resources";
  } catch (const host::Failure& f) {
    EXPECT_NE(std::string(f.what()).find("libtessaly-platform.so: no resource table"), std::string::npos) << f.what();
  }
}

TEST(PluginLoading, AFileThatIsNoLibraryIsRefused) {
  EXPECT_THROW(host::PluginLibrary::load("/proc/self/status"), host::Failure);
  EXPECT_THROW(host::PluginLibrary::load("/nonexistent/x.8bf"), host::Failure);
}

}  // namespace
