// Saves that cannot lose a file: the bytes reach the disk under a name of
// ours before they take the target's name, the folder is synced after the
// rename, a save killed half-way leaves nothing the next save does not
// remove, permissions are kept and symbolic links are written through.
//
// This program watches the save's system calls: it defines fsync and rename
// itself, records them, and passes them on to the system's.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "host/AtomicWrite.h"
#include "host/Failure.h"
#include "host/ImageFiles.h"

namespace {

std::vector<std::string> gCalls;

std::string kindOf(int descriptor) {
  struct stat status {};
  if (::fstat(descriptor, &status) != 0) return "?";
  return S_ISDIR(status.st_mode) ? "folder" : "file";
}

}  // namespace

extern "C" int fsync(int descriptor) {
  gCalls.push_back("fsync " + kindOf(descriptor));
  static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
  return real(descriptor);
}

extern "C" int rename(const char* from, const char* to) noexcept {
  gCalls.push_back("rename");
  static const auto real = reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(RTLD_NEXT, "rename"));
  return real(from, to);
}

namespace {

using host_testing::TempFolder;
using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

void writeText(const std::filesystem::path& file, const std::string& text) { std::ofstream(file) << text; }

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

mode_t permissionsOf(const std::filesystem::path& file) {
  struct stat status {};
  EXPECT_EQ(::stat(file.c_str(), &status), 0) << file;
  return status.st_mode & 07777;
}

TEST(AtomicWrite, TheBytesReachTheDiskBeforeTheRenameAndTheFolderAfterIt) {
  TempFolder folder;
  gCalls.clear();
  host::writeFileAtomically(folder / "a.bin", bytesOf("new"));
  EXPECT_EQ(gCalls, (std::vector<std::string>{"fsync file", "rename", "fsync folder"}));
  EXPECT_EQ(host::readWholeFile(folder / "a.bin"), bytesOf("new"));
}

TEST(AtomicWrite, TheReplacementIsHiddenNamedAfterTheTargetAndRecognisablyOurs) {
  EXPECT_EQ(host::replacementPathFor("/some/where/mask.png"), "/some/where/.mask.png.tessaly-saving");
  EXPECT_EQ(host::replacementPathFor("mask.png"), "./.mask.png.tessaly-saving");
}

// The child saves a file larger than it may write: the system kills it
// half-way through the write, as a crash or a kill would.
TEST(AtomicWrite, ASaveKilledHalfWayLeavesTheOldFileAndTheNextSaveClearsUp) {
  TempFolder folder;
  const auto file = folder / "mask.png";
  writeText(file, "old");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit noCore{0, 0}, small{4096, 4096};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::setrlimit(RLIMIT_FSIZE, &small);
    ::signal(SIGXFSZ, SIG_DFL);
    host::writeFileAtomically(file, Bytes(1 << 20, 'n'));
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "the save was not killed: " << status;
  EXPECT_EQ(host::readWholeFile(file), bytesOf("old"));
  EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{".mask.png.tessaly-saving", "mask.png"}))
      << "the killed save left its replacement under our name";

  host::writeFileAtomically(file, bytesOf("new"));
  EXPECT_EQ(host::readWholeFile(file), bytesOf("new"));
  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"mask.png"}) << "the leftover is gone";
}

TEST(AtomicWrite, AWriteThatFailsHalfWayLeavesTheOldFileAndNoReplacement) {
  TempFolder folder;
  const auto file = folder / "mask.png";
  writeText(file, "old");
  rlimit previous{};
  ::getrlimit(RLIMIT_FSIZE, &previous);
  const rlimit small{4096, previous.rlim_max};
  const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  ::setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_THROW(host::writeFileAtomically(file, Bytes(1 << 16, 'n')), host::Failure);
  ::setrlimit(RLIMIT_FSIZE, &previous);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(host::readWholeFile(file), bytesOf("old"));
  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"mask.png"});
}

TEST(AtomicWrite, SavingOverAFileKeepsItsPermissions) {
  TempFolder folder;
  const auto file = folder / "private.tif";
  for (const mode_t mode : {0600, 0640, 0444, 0755}) {
    writeText(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
    host::writeFileAtomically(file, bytesOf("new"));
    EXPECT_EQ(permissionsOf(file), mode) << std::oct << "mode 0" << mode;
    EXPECT_EQ(host::readWholeFile(file), bytesOf("new"));
    ::chmod(file.c_str(), 0600);
  }
}

TEST(AtomicWrite, ANewFileGetsTheUsualPermissions) {
  TempFolder folder;
  const mode_t mask = ::umask(022);
  host::writeFileAtomically(folder / "new.tif", bytesOf("new"));
  ::umask(mask);
  EXPECT_EQ(permissionsOf(folder / "new.tif"), 0644);
}

TEST(AtomicWrite, ASymbolicLinkIsWrittenThroughAndStays) {
  TempFolder folder;
  std::filesystem::create_directories(folder / "real");
  writeText(folder / "real" / "mask.png", "old");
  std::filesystem::create_symlink(folder / "real" / "mask.png", folder / "absolute.png");
  std::filesystem::create_symlink("real/mask.png", folder / "relative.png");
  std::filesystem::create_symlink("relative.png", folder / "chain.png");

  host::writeFileAtomically(folder / "absolute.png", bytesOf("one"));
  EXPECT_EQ(host::readWholeFile(folder / "real" / "mask.png"), bytesOf("one"));
  host::writeFileAtomically(folder / "relative.png", bytesOf("two"));
  EXPECT_EQ(host::readWholeFile(folder / "real" / "mask.png"), bytesOf("two"));
  host::writeFileAtomically(folder / "chain.png", bytesOf("three"));
  EXPECT_EQ(host::readWholeFile(folder / "real" / "mask.png"), bytesOf("three"));
  for (const char* link : {"absolute.png", "relative.png", "chain.png"})
    EXPECT_TRUE(std::filesystem::is_symlink(folder / link)) << link << " was replaced by a file";
  EXPECT_EQ(namesIn(folder / "real"), std::vector<std::string>{"mask.png"}) << "the replacement lies beside the file";
}

TEST(AtomicWrite, ALinkToAFileNotYetThereMakesThatFile) {
  TempFolder folder;
  std::filesystem::create_symlink("made.png", folder / "link.png");
  host::writeFileAtomically(folder / "link.png", bytesOf("new"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.png"));
  EXPECT_EQ(host::readWholeFile(folder / "made.png"), bytesOf("new"));
}

TEST(AtomicWrite, ALinkLoopOrSomethingOtherThanAFileIsRefused) {
  TempFolder folder;
  std::filesystem::create_symlink("b.png", folder / "a.png");
  std::filesystem::create_symlink("a.png", folder / "b.png");
  EXPECT_THROW(host::writeFileAtomically(folder / "a.png", bytesOf("x")), host::Failure);
  std::filesystem::create_directories(folder / "dir.png");
  EXPECT_THROW(host::writeFileAtomically(folder / "dir.png", bytesOf("x")), host::Failure);
  EXPECT_TRUE(std::filesystem::is_directory(folder / "dir.png"));
  EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{"a.png", "b.png", "dir.png"}));
}

}  // namespace
