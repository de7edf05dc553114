#include "image/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/FileDialog.h"
#include "shell/ErrorRecord.h"

namespace {

// One system call's worth of bytes; larger requests are split.
constexpr size_t kMaxTransfer = size_t{1} << 30;

}  // namespace

File::~File() {
  if (IsOpen()) ::close(descriptor_);
}

void File::OpenForSaving(const std::string& path) {
  Open(path, O_RDWR | O_CREAT, kErrOpenForSaving);
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
