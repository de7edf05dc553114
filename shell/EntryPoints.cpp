// The two exported functions through which the host calls the plug-ins.
// No exception ever leaves them: failures become a result code for the host
// and, unless the user has already been told, message boxes.
#include "hostapi/PluginEntry.h"
#include "shell/ErrorRecord.h"
#include "shell/Purgeable.h"
#include "shell/TessalyFilter.h"
#include "shell/TessalySelection.h"

namespace {

constexpr int16_t kErrUncaughtException = 1;

bool hasBufferProcs(const HostBufferProcs* procs) {
  return procs != nullptr && procs->allocateProc != nullptr && procs->lockProc != nullptr &&
         procs->unlockProc != nullptr && procs->freeProc != nullptr;
}

HostGetPropertyProc filterPropertyReader(const FilterRecord& r) {
  return r.propertyProcs != nullptr ? r.propertyProcs->getPropertyProc : r.getPropertyObsolete;
}

bool filterHostSuffices(const FilterRecord& r) {
  return filterPropertyReader(r) != nullptr && r.progressProc != nullptr &&
         r.advanceState != nullptr && hasBufferProcs(r.bufferProcs) &&
         r.displayPixels != nullptr && r.supportsPadding && r.supportsAbsolute;
}

bool selectionHostSuffices(const PISelectionParams& p) {
  if (p.propertyProcs != nullptr && p.propertyProcs->getPropertyProc == nullptr) return false;
  return p.progressProc != nullptr && p.processEvent != nullptr && hasBufferProcs(p.bufferProcs) &&
         p.displayPixels != nullptr;
}

// Records the document's mode and asks the host not to watch the clock while
// the plug-in keeps the user busy; the plug-in pads nothing itself.
void setUpFilterCall(FilterRecord& r) {
  intptr_t mode = r.imageMode;
  if (filterPropertyReader(r)(kHostSignature, kHostPropImageMode, 0, &mode, nullptr) != kHostNoError)
    mode = r.imageMode;
  gImageMode = static_cast<int16_t>(mode);
  gColourChannels = colourChannelsOfMode(gImageMode);
  if (r.propertyProcs != nullptr && r.propertyProcs->setPropertyProc != nullptr)
    r.propertyProcs->setPropertyProc(kHostSignature, kHostPropWatchSuspension, 0, 1, nullptr);
  r.inputPadding = -1;
  r.outputPadding = -1;
  r.maskPadding = -1;
}

// A piece the host could not deliver even at the smallest size: the host's
// own failure. A negative code goes back to the host, which has a message
// for it (out of memory, disk full); a code the host's interface gives no
// meaning to is the plug-in's to explain.
void recordHostFailure(const XReduce& failure) noexcept {
  if (failure.hostCode() < 0)
    pushError(failure.hostCode(), kGroupHost);
  else if (failure.hostCode() > 0)
    pushError(kErrOperationFailed, kGroupPlugIn, failure.file(), failure.line());
  else
    pushError(kErrUncaughtException, kGroupUncaught, failure.file(), failure.line());
}

// Turns whatever escaped the plug-in into a record, unless one is pending.
void recordEscapedException() noexcept {
  if (errorPending()) return;
  try {
    throw;
  } catch (const XReduce& failure) {
    recordHostFailure(failure);
  } catch (const XOrigin& origin) {
    pushError(kErrUncaughtException, kGroupUncaught, origin.file(), origin.line());
  } catch (...) {
    pushError(kErrUncaughtException, kGroupUncaught);
  }
}

// Hands the newest record's code to the host. Host-group records are the
// host's to report (or mean the user has been told); the others are shown.
void finishCall(int16_t* result) noexcept {
  if (!errorPending()) return;
  *result = pendingErrorCode();
  if (pendingErrorGroup() == kGroupHost) {
    clearErrors();
    return;
  }
  try {
    reportErrors();
  } catch (...) {
    clearErrors();
  }
}

template <typename Body>
void guarded(Body body) noexcept {
  try {
    body();
  } catch (...) {
    recordEscapedException();
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void ENTRYPOINT(int16_t selector, void* parameterBlock,
                                                                  int32_t*, int16_t* result) {
  *result = kHostNoError;
  guarded([&] {
    StAllocationFailureHandler memoryHandler;
    clearErrors();
    if (selector == kFilterSelectorAbout) {
      gTessalyFilter.about();
      return;
    }
    gFilterRecord = static_cast<FilterRecord*>(parameterBlock);
    if (gFilterRecord == nullptr || !filterHostSuffices(*gFilterRecord)) {
      *result = kHostInsufficient;
      return;
    }
    guarded([&] {
      setUpFilterCall(*gFilterRecord);
      switch (selector) {
        case kFilterSelectorParameters: gTessalyFilter.parameters(); break;
        case kFilterSelectorPrepare: gTessalyFilter.prepare(); break;
        case kFilterSelectorStart: gTessalyFilter.start(); break;
        case kFilterSelectorContinue: gTessalyFilter.continueRun(); break;
        case kFilterSelectorFinish: gTessalyFilter.finish(); break;
        default: PUSH_ERROR(kHostFilterBadParameters, kGroupHost);
      }
    });
  });
  finishCall(result);
  gFilterRecord = nullptr;
}

extern "C" __attribute__((visibility("default"))) void SELECTIONENTRYPOINT(int16_t selector,
                                                                           void* parameterBlock,
                                                                           int32_t*, int16_t* result) {
  *result = kHostNoError;
  guarded([&] {
    StAllocationFailureHandler memoryHandler;
    clearErrors();
    if (selector == kSelectionSelectorAbout) {
      gTessalySelection.about();
      return;
    }
    gSelectionParams = static_cast<PISelectionParams*>(parameterBlock);
    if (gSelectionParams == nullptr || !selectionHostSuffices(*gSelectionParams)) {
      *result = kHostInsufficient;
      return;
    }
    guarded([&] {
      if (selector != kSelectionSelectorExecute) {
        PUSH_ERROR(kHostSelectionBadParameters, kGroupHost);
        return;
      }
      gTessalySelection.parameters();
      gTessalySelection.prepare();
      gTessalySelection.start();
      gTessalySelection.continueRun();
      gTessalySelection.finish();
    });
  });
  finishCall(result);
  gSelectionParams = nullptr;
}
