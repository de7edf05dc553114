#include "path/MakeWorkPath.h"

#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "image/File.h"
#include "image/ReadChannelImage.h"
#include "path/PathRecords.h"
#include "path/PathSettings.h"
#include "path/PathTracer.h"
#include "platform/Cursor.h"
#include "platform/MessageBox.h"
#include "resources/StringTable.h"
#include "shell/ErrorRecord.h"
#include "shell/Exceptions.h"
#include "shell/PlugIn.h"
#include "shell/PlugInServices.h"
#include "shell/Purgeable.h"
#include "workspace/PreferenceFile.h"
#include "workspace/StErrorsSetAside.h"
#include "workspace/Workspace.h"

namespace {

// An outline has more points than a path record can count (message 2021).
constexpr int16_t kErrPathTooManyPoints = 21;


constexpr const char* kMessageCaption = "Tessaly";
constexpr int32_t kSubPixels = 256;

// The preference file is a convenience: when it is missing or damaged the
// command goes on with the settings it has, and says nothing.
void readSettings(const std::optional<std::string>& location) {
  if (!location) return;
  StErrorsSetAside earlierErrors;
  try {
    File file;
    file.OpenForLoading(*location);
    LoadParticipant(file, pathSettings(), FailureReport::kLeavePending);
  } catch (const XError&) {
  }
  clearErrors();
}

void writeSettings(const std::optional<std::string>& location) {
  if (!location) return;
  StErrorsSetAside earlierErrors;
  try {
    File file;
    file.OpenForSaving(*location);
    if (RewriteParticipantRecord(file, PathSettings::kRecordTag, pathSettings(), FailureReport::kLeavePending))
      file.Close();
  } catch (const XError&) {
  }
  clearErrors();
}

// A host handle that is given back unless it is handed over.
class StPathHandle {
 public:
  StPathHandle(const HostHandleProcs& procs, int32_t size) : procs_(procs) {
    // The handler returns when it could free something, else throws XMemory.
    while ((handle_ = procs.newProc(size)) == nullptr) allocationFailureHandler();
  }
  ~StPathHandle() {
    if (handle_ != nullptr) procs_.disposeProc(handle_);
  }
  StPathHandle(const StPathHandle&) = delete;
  StPathHandle& operator=(const StPathHandle&) = delete;

  HostHandle get() const { return handle_; }
  HostHandle release() { return std::exchange(handle_, nullptr); }

 private:
  const HostHandleProcs& procs_;
  HostHandle handle_ = nullptr;
};

// Traces the source and hands the encoded outlines to the host.
void makePath(PISelectionParams& params, const ReadChannelDesc& source) {
  const HostHandleProcs* procs = params.handleProcs;
  const HostRect32& document = params.documentInfo->bounds;
  const int32_t height = document.bottom - document.top;
  const int32_t width = document.right - document.left;
  if (procs == nullptr || height <= 0 || width <= 0) throw XError(TESSALY_HERE);

  const PathSettings& settings = pathSettings();
  ReadChannelImage image(source);
  // A polygon too long for the host's records ends the trace where it closes.
  const TracedPath path = trace(image, settings.threshold(), settings.tolerancePixels(), kSubPixels, kMaxKnotsPerSubpath);
  if (path.cutShort || !pathFitsRecords(path)) THROW_ERROR(kErrPathTooManyPoints, kGroupPlugIn);
  const int64_t size = pathRecordsSize(path);
  if (size > INT32_MAX) {
    pushSpareRecord();
    throw XMemory(TESSALY_HERE);
  }

  StPathHandle handle(*procs, int32_t(size));
  char* bytes = procs->lockProc(handle.get(), 0);
  if (bytes == nullptr) throw XError(TESSALY_HERE);
  encodePathRecords(path, height, width, reinterpret_cast<uint8_t*>(bytes));
  procs->unlockProc(handle.get());
  params.newPath = handle.release();
  params.treatment = kSelectionTreatmentWorkPath;
}

// The source of this run, or nothing when the user cancelled.
const ReadChannelDesc* chooseSource(const ReadChannelDesc* target, const ReadChannelDesc* selection) {
  PathSettings& settings = pathSettings();
  if (settings.makePathOnNextRun) {
    // The filter asked for this path when it applied its mask to the target.
    settings.makePathOnNextRun = false;
    return target != nullptr ? target : selection;
  }
  const PathDialogs& dialogs = pathDialogs();
  if (dialogs.askWorkPath == nullptr) throw XError(TESSALY_HERE);
  WorkPathChoice choice;
  choice.source = target != nullptr ? PathSource::kChannel : PathSource::kSelection;
  choice.choke = settings.choke;
  choice.tolerance = settings.tolerance;
  if (!dialogs.askWorkPath(target != nullptr, selection != nullptr, choice)) return nullptr;
  settings.choke = choice.choke;
  settings.tolerance = choice.tolerance;
  const ReadChannelDesc* source = choice.source == PathSource::kSelection ? selection : target;
  return source != nullptr ? source : (target != nullptr ? target : selection);
}

}  // namespace

PathDialogs& pathDialogs() {
  static PathDialogs dialogs;
  return dialogs;
}

const ReadChannelDesc* targetChannel(const HostDocumentInfo& document) {
  const ReadChannelDesc* target = nullptr;
  if (document.targetTransparency != nullptr && document.targetTransparency->target)
    target = document.targetTransparency;
  if (document.targetLayerMask != nullptr && document.targetLayerMask->target)
    target = document.targetLayerMask;
  for (const ReadChannelDesc* alpha = document.alphaChannels; alpha != nullptr; alpha = alpha->next)
    if (alpha->target) target = alpha;
  return target;
}

bool makeWorkPath() {
  PISelectionParams* params = gSelectionParams;
  if (params == nullptr) throw XError(TESSALY_HERE);
  const HostDocumentInfo* document = params->documentInfo;
  const ReadChannelDesc* target = document != nullptr ? targetChannel(*document) : nullptr;
  const ReadChannelDesc* selection = document != nullptr ? document->selection : nullptr;
  if (target == nullptr && selection == nullptr) {
    platform::messageBox(nullptr, stringResource(kStrPathFromColourChannel), kMessageCaption,
                         platform::kMbIconExclamation | platform::kMbOk);
    return false;
  }

  const std::optional<std::string> preferences = ReadPreferenceFileLocation();
  readSettings(preferences);
  bool made = false;
  try {
    const ReadChannelDesc* source = chooseSource(target, selection);
    if (source != nullptr) {
      platform::WaitCursor waitCursor;
      makePath(*params, *source);
      made = true;
    }
  } catch (const XCancel&) {
  } catch (const XOrigin&) {
    // Too many points is told as such, with what to do about it; any other
    // failure as a failed operation.
    if (errorPending() && pendingErrorCode() == kErrPathTooManyPoints && pendingErrorGroup() == kGroupPlugIn)
      reportErrors();
    else
      pushAndReportError(kErrOperationFailed, kGroupPlugIn);
  } catch (const std::exception&) {
    pushAndReportError(kErrOperationFailed, kGroupPlugIn);
  }
  writeSettings(preferences);
  return made;
}

ClippingPathAnswer askClippingPath() {
  if (gFilterRecord == nullptr || gFilterRecord->channelPortProcs == nullptr)
    return ClippingPathAnswer::kNoPath;
  const PathDialogs& dialogs = pathDialogs();
  if (dialogs.askClippingPath == nullptr) throw XError(TESSALY_HERE);
  PathSettings& settings = pathSettings();
  int32_t choke = settings.choke;
  int32_t tolerance = settings.tolerance;
  const ClippingPathAnswer answer = dialogs.askClippingPath(choke, tolerance);
  if (answer == ClippingPathAnswer::kPath) {
    settings.choke = choke;
    settings.tolerance = tolerance;
    settings.makePathOnNextRun = true;
  }
  return answer;
}

namespace {

// The shell reaches the command through its services table.
const bool gRegistered = (plugInServices().makeWorkPath = &makeWorkPath, true);

}  // namespace
