// Writing a file so that it is either the old file or the new one, whatever
// happens during the write: the bytes go to a replacement beside the target,
// reach the disk, and then take the target's name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace host {

// The replacement a save of `target` writes first: hidden, named after the
// target and recognisably the host's, the same for every save of that
// target, so a save that is killed half-way leaves at most one behind and
// the next save of the file removes it.
std::filesystem::path replacementPathFor(const std::filesystem::path& target);

// Writes `bytes` as `file`. A symbolic link is written through: the file it
// names gets the bytes and the link stays. An existing file keeps its
// permissions. The replacement is flushed to disk before the rename and the
// folder after it, so a crash leaves the old file or the new one. A failed
// write throws Failure and leaves an existing file as it was, with no
// replacement beside it.
void writeFileAtomically(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);

}  // namespace host
