// The system's binary file: workspace and preference files are read and
// written through it. Failures become error records with the messages of the
// string table (group kGroupHost, so the code is the message id) and travel
// as XError; reading never throws but reports a short read, so that a reader
// can tell a clean end of file from a truncated one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class Window;
}

// Codes of kGroupHost raised by File; each is its own message id.
enum FileError : int16_t {
  kErrFileFailed = 2006,
  kErrOpenForSaving = 2007,
  kErrOpenForLoading = 2008,
  kErrSaving = 2009,
};

class File {
 public:
  // Origins of Seek.
  enum SeekOrigin : int { kFromBeginning = 0, kFromCurrent = 1, kFromEnd = 2 };

  File() = default;
  // Closes the file if it is still open, without reporting a failure.
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens for reading and writing, creating the file if needed. The writes
  // go to a copy beside the file, which takes the file's place only when
  // Close succeeds; a file destroyed without Close, or whose writing
  // failed, leaves the old file as it was. The copy starts as the old
  // file's bytes with their length: whoever saves sets the length at the
  // end. A symbolic link is written through to the file it names, and the
  // file keeps its permissions. Error 2007 when the file cannot be opened.
  void OpenForSaving(const std::string& path);
  // Opens an existing regular file for reading. Error 2008 otherwise.
  void OpenForLoading(const std::string& path);
  // The same after the user has chosen the file in the system's save or
  // open dialog, with a filter such as "Tessaly Workspace (*.tsw)|*.tsw||".
  // A name typed without extension gets the first pattern's; choosing an
  // existing file to save into asks before replacing it. Cancelling raises
  // XCancel with nothing to report: the command ends quietly.
  void OpenForSavingWithDialog(std::string_view filter, std::string_view proposedName,
                               platform::Window* parent);
  void OpenForLoadingWithDialog(std::string_view filter, platform::Window* parent);
  // Error 2006 when the system reports a failure; nothing when not open.
  // A file opened for saving is flushed to the disk and then replaces the
  // old one; after a failure the old one is still there.
  void Close();

  bool IsOpen() const { return descriptor_ >= 0; }
  const std::string& Path() const { return path_; }

  // Reads n bytes and returns how many are missing: 0 when all arrived, the
  // shortfall at the end of the file, and 1 when the system fails the read.
  uint32_t ReadBytes(uint32_t n, void* buffer);
  // Writes n bytes and returns how many the position did not advance by
  // (0 on success). Error 2009 when the system fails the write.
  uint32_t WriteBytes(uint32_t n, const void* buffer);

  // Moves the position and returns it. Error 2006 on failure (a position
  // before the beginning among them).
  uint64_t Seek(int64_t offset, int origin);
  uint64_t GetPosition();  // error 2006 on failure
  uint64_t GetLength();    // error 2006 on failure
  // Cuts or extends the file to n bytes. Error 2006 on failure, so that a
  // save that could not drop an old tail is not taken for a good one.
  void SetLength(uint64_t n);

 private:
  void Open(const std::string& path, int flags, int16_t error);
  void OpenReplacement(const std::string& path);
  void Discard() noexcept;

  int descriptor_ = -1;
  std::string path_;
  // While saving: the file being written, and the one it will replace.
  std::string replacement_;
  std::string target_;
};
