// Feeds arbitrary bytes to the workspace loader as a file from elsewhere
// would arrive, and checks what must hold for any input:
// - loading ends, with or without an error, and never crashes;
// - what the participants took survives a save and a reload unchanged;
// - rewriting one record in place either refuses the file or leaves that
//   record as the first of its tag, readable by the next load.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "image/File.h"
#include "platform/Automation.h"
#include "shell/ErrorRecord.h"
#include "workspace/Workspace.h"
#include "workspace/WorkspaceParticipant.h"

namespace {

using Payload = std::vector<uint8_t>;

// Takes every record of one tag, of one size or of any size (size 0 here),
// as the real participants do.
class Collector : public WorkspaceParticipant {
 public:
  Collector(uint32_t tag, uint32_t size, Registration registration = Registration::kRegistered)
      : WorkspaceParticipant(registration), tag_(tag), size_(size) {}

  void BeginLoad() override { taken.clear(); }
  void LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) override {
    if (tag != tag_ || (size_ != 0 && size != size_)) return;
    taken.emplace_back(payload, payload + size);
  }
  void Save() override {
    for (const Payload& payload : taken) WriteRecord(tag_, static_cast<uint32_t>(payload.size()), payload.data());
  }

  std::vector<Payload> taken;

 private:
  uint32_t tag_;
  uint32_t size_;
};

Collector gWindow(fourCharCode("WrkW"), 44);
Collector gDockState(fourCharCode("DoSt"), 0);
Collector gNavigators(fourCharCode("Navi"), 16);
Collector gColours(fourCharCode("KDCl"), 16);
Collector gBrush(122, 2);
Collector gPathSettings(1102, 12);
Collector* const kCollectors[] = {&gWindow, &gDockState, &gNavigators, &gColours, &gBrush, &gPathSettings};

std::string temporaryPath(const char* name) {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder && *folder ? folder : "/tmp") + "/tessaly-fuzz-" + std::to_string(::getpid()) + "-" +
         name;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                static_cast<std::streamsize>(size));
}

void check(bool condition) {
  if (!condition) __builtin_trap();
}

void loadFrom(const std::string& path) {
  File file;
  file.OpenForLoading(path);
  LoadWorkspace(file, FailureReport::kLeavePending);
  clearErrors();
}

void saveAndReloadKeepsWhatWasTaken(const std::string& path) {
  std::vector<std::vector<Payload>> before;
  for (const Collector* collector : kCollectors) before.push_back(collector->taken);
  {
    File file;
    file.OpenForSaving(path);
    check(SaveWorkspace(file, FailureReport::kLeavePending));
    file.Close();
  }
  File file;
  file.OpenForLoading(path);
  check(LoadWorkspace(file, FailureReport::kLeavePending));
  for (size_t i = 0; i < before.size(); ++i) check(kCollectors[i]->taken == before[i]);
}

void rewriteLeavesTheRecordFirstOfItsTag(const std::string& path) {
  Collector settings(1102, 12, WorkspaceParticipant::Registration::kStandalone);
  const Payload fresh = {30, 0, 0, 0, 50, 0, 0, 0, 1, 0, 0, 0};
  settings.taken = {fresh};
  bool rewritten = false;
  {
    File file;
    file.OpenForSaving(path);
    rewritten = RewriteParticipantRecord(file, 1102, settings, FailureReport::kLeavePending);
    clearErrors();
    if (rewritten) file.Close();
  }
  if (!rewritten) return;
  // Anything may follow the record, so reading may fail after it.
  File file;
  file.OpenForLoading(path);
  Collector reader(1102, 0, WorkspaceParticipant::Registration::kStandalone);
  LoadParticipant(file, reader, FailureReport::kLeavePending);
  clearErrors();
  check(!reader.taken.empty() && reader.taken.front() == fresh);
}

const std::string gInput = temporaryPath("input.tsw");
const std::string gSaved = temporaryPath("saved.tsw");

void removeFiles() {
  ::unlink(gInput.c_str());
  ::unlink(gSaved.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool removedAtExit = std::atexit(removeFiles) == 0;
  (void)removedAtExit;
  platform::automation::setEnabled(true);
  platform::automation::reset();

  writeFile(gInput, data, size);
  loadFrom(gInput);
  saveAndReloadKeepsWhatWasTaken(gSaved);
  rewriteLeavesTheRecordFirstOfItsTag(gInput);
  return 0;
}
