#include "image/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <system_error>

#include "platform/FileDialog.h"
#include "shell/ErrorRecord.h"

namespace {

// One system call's worth of bytes; larger requests are split.
constexpr size_t kMaxTransfer = size_t{1} << 30;

// A file opened for saving is written as a replacement beside its target,
// under a name of ours that a later save of the same file reuses, so that a
// save killed half-way leaves at most one such file behind.
std::string replacementPathFor(const std::filesystem::path& target) {
  std::string name = ".";
  name += target.filename().string();
  name += ".tessaly-saving";
  return (target.parent_path() / name).string();
}

// The file a save writes: a symbolic link's destination, so the link stays.
std::filesystem::path saveTargetOf(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) return path;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
  return error ? std::filesystem::path(path) : resolved;
}

bool copyContents(int from, int to) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(to, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += put;
    }
  }
}

}  // namespace

File::~File() { Discard(); }

void File::Discard() noexcept {
  if (IsOpen()) ::close(descriptor_);
  descriptor_ = -1;
  if (!replacement_.empty()) ::unlink(replacement_.c_str());
  replacement_.clear();
  target_.clear();
  path_.clear();
}

void File::OpenForSaving(const std::string& path) {
  Close();
  OpenReplacement(path);
}

void File::OpenReplacement(const std::string& path) {
  const std::filesystem::path target = saveTargetOf(path);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) THROW_ERROR(kErrOpenForSaving, kGroupHost);

  const std::string replacement = replacementPathFor(target);
  ::unlink(replacement.c_str());
  const int descriptor = ::open(replacement.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) THROW_ERROR(kErrOpenForSaving, kGroupHost);
  descriptor_ = descriptor;
  replacement_ = replacement;
  target_ = target.string();
  path_ = path;
  if (exists) {
    const int source = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    const bool copied = source >= 0 && copyContents(source, descriptor) &&
                        ::fchmod(descriptor, old.st_mode & 07777) == 0 && ::lseek(descriptor, 0, SEEK_SET) == 0;
    if (source >= 0) ::close(source);
    if (!copied) {
      Discard();
      THROW_ERROR(kErrOpenForSaving, kGroupHost);
    }
  }
}

void File::OpenForLoading(const std::string& path) {
  Open(path, O_RDONLY, kErrOpenForLoading);
}

void File::OpenForSavingWithDialog(std::string_view filter, std::string_view proposedName,
                                   platform::Window* parent) {
  const std::optional<std::string> path =
      platform::saveFileDialog(parent, filter, proposedName, /*overwritePrompt=*/true);
  if (!path) throw XCancel(TESSALY_HERE);
  OpenForSaving(*path);
}

void File::OpenForLoadingWithDialog(std::string_view filter, platform::Window* parent) {
  const std::optional<std::string> path = platform::openFileDialog(parent, filter);
  if (!path) throw XCancel(TESSALY_HERE);
  OpenForLoading(*path);
}

void File::Open(const std::string& path, int flags, int16_t error) {
  Close();
  // Non-blocking only while opening: a FIFO named by an untrusted path must
  // not hang the run waiting for a writer.
  const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (descriptor < 0) THROW_ERROR(error, kGroupHost);
  struct stat status {};
  const int statusFlags = ::fcntl(descriptor, F_GETFL);
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || statusFlags < 0 ||
      ::fcntl(descriptor, F_SETFL, statusFlags & ~O_NONBLOCK) != 0) {
    ::close(descriptor);
    THROW_ERROR(error, kGroupHost);
  }
  descriptor_ = descriptor;
  path_ = path;
}

void File::Close() {
  if (!IsOpen()) return;
  if (!replacement_.empty()) {
    // On the disk before it takes the old file's name, so that a crash
    // leaves the old file or the new one, never a part of the new.
    const bool written = ::fsync(descriptor_) == 0 && ::close(descriptor_) == 0;
    descriptor_ = -1;
    if (!written || ::rename(replacement_.c_str(), target_.c_str()) != 0) {
      Discard();
      THROW_ERROR(kErrFileFailed, kGroupHost);
    }
    replacement_.clear();
    std::filesystem::path folderPath = std::filesystem::path(target_).parent_path();
    if (folderPath.empty()) folderPath = ".";
    const int folder = ::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      ::fsync(folder);
      ::close(folder);
    }
    Discard();
    return;
  }
  const int descriptor = descriptor_;
  descriptor_ = -1;
  path_.clear();
  // The descriptor is gone even when close reports a failure (a write the
  // system could not complete); the failure still has to be told.
  if (::close(descriptor) != 0 && errno != EINTR) THROW_ERROR(kErrFileFailed, kGroupHost);
}

uint32_t File::ReadBytes(uint32_t n, void* buffer) {
  auto* bytes = static_cast<char*>(buffer);
  uint32_t done = 0;
  while (done < n) {
    const size_t want = std::min<size_t>(n - done, kMaxTransfer);
    const ssize_t got = ::read(descriptor_, bytes + done, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    if (got == 0) break;
    done += static_cast<uint32_t>(got);
  }
  return n - done;
}

uint32_t File::WriteBytes(uint32_t n, const void* buffer) {
  const auto* bytes = static_cast<const char*>(buffer);
  uint32_t done = 0;
  while (done < n) {
    const size_t want = std::min<size_t>(n - done, kMaxTransfer);
    const ssize_t put = ::write(descriptor_, bytes + done, want);
    if (put < 0) {
      if (errno == EINTR) continue;
      THROW_ERROR(kErrSaving, kGroupHost);
    }
    if (put == 0) break;
    done += static_cast<uint32_t>(put);
  }
  return n - done;
}

uint64_t File::Seek(int64_t offset, int origin) {
  int whence = SEEK_SET;
  switch (origin) {
    case kFromBeginning: whence = SEEK_SET; break;
    case kFromCurrent: whence = SEEK_CUR; break;
    case kFromEnd: whence = SEEK_END; break;
    default: THROW_ERROR(kErrFileFailed, kGroupHost);
  }
  const off_t position = ::lseek(descriptor_, static_cast<off_t>(offset), whence);
  if (position < 0) THROW_ERROR(kErrFileFailed, kGroupHost);
  return static_cast<uint64_t>(position);
}

uint64_t File::GetPosition() {
  const off_t position = ::lseek(descriptor_, 0, SEEK_CUR);
  if (position < 0) THROW_ERROR(kErrFileFailed, kGroupHost);
  return static_cast<uint64_t>(position);
}

uint64_t File::GetLength() {
  struct stat status {};
  if (::fstat(descriptor_, &status) != 0) THROW_ERROR(kErrFileFailed, kGroupHost);
  return static_cast<uint64_t>(status.st_size);
}

void File::SetLength(uint64_t n) {
  if (n > static_cast<uint64_t>(std::numeric_limits<off_t>::max()) ||
      ::ftruncate(descriptor_, static_cast<off_t>(n)) != 0)
    THROW_ERROR(kErrFileFailed, kGroupHost);
}
