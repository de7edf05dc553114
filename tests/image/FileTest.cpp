#include "image/File.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/Automation.h"
#include "platform/MessageBox.h"
#include "shell/ErrorRecord.h"
#include "tests/support/AutomatedTest.h"

namespace {

namespace fs = std::filesystem;

class FileTest : public testing_support::AutomatedTest {
 protected:
  void SetUp() override {
    AutomatedTest::SetUp();
    std::string pattern = (fs::temp_directory_path() / "tessaly-file-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    clearErrors();
    fs::remove_all(folder_);
    AutomatedTest::TearDown();
  }

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  std::string WriteFileWith(const std::string& name, const std::string& content) const {
    const std::string path = PathOf(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  static std::string ContentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Runs an operation that must fail with the given host message.
  template <typename Operation>
  static void ExpectHostError(int16_t code, Operation operation) {
    clearErrors();
    EXPECT_THROW(operation(), XError);
    ASSERT_TRUE(errorPending()) << "the failure left no error record";
    EXPECT_EQ(pendingErrorGroup(), kGroupHost);
    EXPECT_EQ(pendingErrorCode(), code);
    EXPECT_STREQ(errorStackHead()->text, "File.cpp");
    clearErrors();
  }

  fs::path folder_;
};

TEST_F(FileTest, ReadAcrossTheEndReportsTheMissingBytes) {
  File file;
  file.OpenForLoading(WriteFileWith("ten", "0123456789"));
  file.Seek(-3, File::kFromEnd);
  char buffer[4] = {};
  EXPECT_EQ(file.ReadBytes(4, buffer), 1u) << "4 bytes read 3 before the end";
  EXPECT_EQ(std::string(buffer, 3), "789");
  EXPECT_EQ(file.ReadBytes(4, buffer), 4u) << "a read at the end gets nothing";
  EXPECT_EQ(file.ReadBytes(0, buffer), 0u);
  EXPECT_FALSE(errorPending());
}

TEST_F(FileTest, WrittenBytesReadBackAtEveryOrigin) {
  File file;
  file.OpenForSaving(PathOf("new"));
  EXPECT_EQ(file.WriteBytes(6, "abcdef"), 0u);
  EXPECT_EQ(file.GetPosition(), 6u);
  EXPECT_EQ(file.GetLength(), 6u);

  char buffer[2] = {};
  EXPECT_EQ(file.Seek(1, File::kFromBeginning), 1u);
  EXPECT_EQ(file.ReadBytes(2, buffer), 0u);
  EXPECT_EQ(std::string(buffer, 2), "bc");
  EXPECT_EQ(file.Seek(1, File::kFromCurrent), 4u);
  EXPECT_EQ(file.ReadBytes(2, buffer), 0u);
  EXPECT_EQ(std::string(buffer, 2), "ef");
  EXPECT_EQ(file.Seek(-6, File::kFromEnd), 0u);
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(ContentOf(PathOf("new")), "abcdef");
}

TEST_F(FileTest, ASaveReplacesTheOldFileOnlyWhenClosed) {
  const std::string path = WriteFileWith("old", "0123456789");
  ::chmod(path.c_str(), 0640);
  {
    File file;
    file.OpenForSaving(path);
    EXPECT_EQ(file.GetLength(), 10u) << "the copy starts as the old file";
    file.WriteBytes(3, "abc");
    file.SetLength(file.GetPosition());
    EXPECT_EQ(ContentOf(path), "0123456789") << "the old file is untouched while saving";
  }
  EXPECT_EQ(ContentOf(path), "0123456789") << "a save never closed leaves the old file";

  File file;
  file.OpenForSaving(path);
  file.WriteBytes(3, "abc");
  file.SetLength(file.GetPosition());
  file.Close();
  EXPECT_EQ(ContentOf(path), "abc");
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u) << "the file keeps its permissions";
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1)
      << "nothing of the save is left beside the file";
}

TEST_F(FileTest, ASaveThroughASymbolicLinkWritesTheFileItNames) {
  const std::string real = WriteFileWith("real", "old");
  const std::string link = PathOf("link");
  fs::create_symlink(real, link);
  File file;
  file.OpenForSaving(link);
  file.WriteBytes(3, "new");
  file.Close();
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ContentOf(real), "new");
}

TEST_F(FileTest, SetLengthExtendsWithZeros) {
  File file;
  file.OpenForSaving(PathOf("grow"));
  file.WriteBytes(1, "x");
  file.SetLength(4);
  file.Close();
  EXPECT_EQ(ContentOf(PathOf("grow")), std::string("x\0\0\0", 4));
}

TEST_F(FileTest, OpeningFailuresRaiseTheirMessages) {
  File file;
  ExpectHostError(kErrOpenForLoading, [&] { file.OpenForLoading(PathOf("missing")); });
  ExpectHostError(kErrOpenForLoading, [&] { file.OpenForLoading(folder_.string()); });
  ExpectHostError(kErrOpenForSaving, [&] { file.OpenForSaving(PathOf("no/such/folder")); });
  ExpectHostError(kErrOpenForSaving, [&] { file.OpenForSaving(folder_.string()); });
  EXPECT_FALSE(file.IsOpen()) << "a failed open leaves the object without a file";
}

TEST_F(FileTest, NamedPipeIsRefusedWithoutWaitingForAWriter) {
  const std::string path = PathOf("pipe");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  File file;
  ExpectHostError(kErrOpenForLoading, [&] { file.OpenForLoading(path); });
}

TEST_F(FileTest, WritingAFileOpenForLoadingIsASaveError) {
  File file;
  file.OpenForLoading(WriteFileWith("read-only", "abc"));
  ExpectHostError(kErrSaving, [&] { file.WriteBytes(1, "x"); });
  EXPECT_EQ(ContentOf(PathOf("read-only")), "abc");
}

TEST_F(FileTest, SeekBeforeTheBeginningIsAFileError) {
  File file;
  file.OpenForLoading(WriteFileWith("short", "abc"));
  ExpectHostError(kErrFileFailed, [&] { file.Seek(-1, File::kFromBeginning); });
  ExpectHostError(kErrFileFailed, [&] { file.Seek(0, 3); });
  EXPECT_EQ(file.GetPosition(), 0u) << "a failed seek moved the position";
}

TEST_F(FileTest, OperationsOnAClosedFileFailWithoutThrowingFromReads) {
  File file;
  char buffer[4];
  EXPECT_EQ(file.ReadBytes(4, buffer), 1u);
  EXPECT_FALSE(errorPending()) << "reading never pushes a record";
  ExpectHostError(kErrSaving, [&] { file.WriteBytes(4, "abcd"); });
  ExpectHostError(kErrFileFailed, [&] { file.Seek(0, File::kFromBeginning); });
  ExpectHostError(kErrFileFailed, [&] { file.GetPosition(); });
  ExpectHostError(kErrFileFailed, [&] { file.GetLength(); });
  ExpectHostError(kErrFileFailed, [&] { file.SetLength(0); });
  EXPECT_NO_THROW(file.Close());
}

TEST_F(FileTest, SetLengthOnAFileOpenForLoadingIsAFileError) {
  File file;
  file.OpenForLoading(WriteFileWith("keep", "abc"));
  ExpectHostError(kErrFileFailed, [&] { file.SetLength(0); });
  EXPECT_EQ(ContentOf(PathOf("keep")), "abc");
}

TEST_F(FileTest, ReopeningClosesThePreviousFile) {
  File file;
  file.OpenForSaving(PathOf("first"));
  file.WriteBytes(1, "1");
  file.OpenForLoading(WriteFileWith("second", "2"));
  EXPECT_EQ(file.Path(), PathOf("second"));
  char c = 0;
  EXPECT_EQ(file.ReadBytes(1, &c), 0u);
  EXPECT_EQ(c, '2');
  EXPECT_EQ(ContentOf(PathOf("first")), "1");
}

constexpr const char* kWorkspaceFilter = "Tessaly Workspace (*.tsw)|*.tsw||";

TEST_F(FileTest, CancelledDialogsEndQuietly) {
  File file;
  platform::automation::queueFileAnswer("");
  EXPECT_THROW(file.OpenForLoadingWithDialog(kWorkspaceFilter, nullptr), XCancel);
  platform::automation::queueFileAnswer("");
  EXPECT_THROW(file.OpenForSavingWithDialog(kWorkspaceFilter, "Workspace 1.tsw", nullptr), XCancel);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(errorPending()) << "a cancel is not an error";
  EXPECT_TRUE(boxes().empty());
}

TEST_F(FileTest, SaveDialogAddsTheFiltersExtensionAndAsksBeforeReplacing) {
  File file;
  platform::automation::queueFileAnswer(PathOf("Workspace 2"));
  file.OpenForSavingWithDialog(kWorkspaceFilter, "Workspace 1.tsw", nullptr);
  EXPECT_EQ(file.Path(), PathOf("Workspace 2.tsw"));
  EXPECT_TRUE(boxes().empty()) << "a new file needs no question";
  file.Close();

  const std::string existing = WriteFileWith("old.tsw", "keep me");
  platform::automation::queueFileAnswer(existing);
  platform::automation::queueBoxAnswer(platform::kIdYes);
  file.OpenForSavingWithDialog(kWorkspaceFilter, "Workspace 1.tsw", nullptr);
  EXPECT_EQ(boxes().size(), 1u) << "replacing a file was not asked about";
  EXPECT_EQ(file.Path(), existing);
  EXPECT_EQ(ContentOf(existing), "keep me") << "opening to save shortened the file";
}

TEST_F(FileTest, LoadDialogOpensTheChosenFileOrReportsItMissing) {
  File file;
  platform::automation::queueFileAnswer(WriteFileWith("chosen.tsw", "x"));
  file.OpenForLoadingWithDialog(kWorkspaceFilter, nullptr);
  EXPECT_EQ(file.GetLength(), 1u);

  platform::automation::queueFileAnswer(PathOf("gone.tsw"));
  ExpectHostError(kErrOpenForLoading, [&] { file.OpenForLoadingWithDialog(kWorkspaceFilter, nullptr); });
}

}  // namespace
