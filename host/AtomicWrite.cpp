#include "host/AtomicWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "host/Failure.h"

namespace host {

namespace {

// As many links as the system itself follows before it gives up.
constexpr int kMaxLinkHops = 40;

[[noreturn]] void fail(const std::filesystem::path& file, const std::string& why) {
  throw Failure(file.string() + ": cannot be written: " + why);
}

// The file a save of `path` writes: the end of a chain of symbolic links,
// which need not exist yet.
std::filesystem::path saveTargetOf(const std::filesystem::path& path) {
  std::filesystem::path target = path;
  for (int hop = 0;; ++hop) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(target, ec))) return target;
    if (hop == kMaxLinkHops) fail(path, "too many levels of symbolic links");
    const std::filesystem::path next = std::filesystem::read_symlink(target, ec);
    if (ec) fail(path, ec.message());
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
}

bool writeAll(int descriptor, const std::vector<uint8_t>& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t put = ::write(descriptor, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// The rename is only lasting once the folder that records it is on the disk.
void syncFolderOf(const std::filesystem::path& file) {
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  ::fsync(descriptor);
  ::close(descriptor);
}

}  // namespace

std::filesystem::path replacementPathFor(const std::filesystem::path& target) {
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  return folder / ("." + target.filename().string() + ".tessaly-saving");
}

void writeFileAtomically(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
  const std::filesystem::path target = saveTargetOf(file);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) fail(file, "not a regular file");

  const std::filesystem::path replacement = replacementPathFor(target);
  ::unlink(replacement.c_str());  // left by a save that was killed
  const int descriptor = ::open(replacement.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) fail(file, std::strerror(errno));
  bool written = writeAll(descriptor, bytes) && (!exists || ::fchmod(descriptor, old.st_mode & 07777) == 0) &&
                 ::fsync(descriptor) == 0;
  int error = errno;
  if (::close(descriptor) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && ::rename(replacement.c_str(), target.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) {
    ::unlink(replacement.c_str());
    fail(file, std::strerror(error));
  }
  syncFolderOf(target);
}

}  // namespace host
