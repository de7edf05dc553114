/* The selection module's parameter block. A selection module may hand back a
 * new work path instead of a selection. */
#ifndef TESSALY_HOSTAPI_SELECTIONPARAMS_H
#define TESSALY_HOSTAPI_SELECTIONPARAMS_H

#include "hostapi/HostTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { kSelectionSelectorAbout = 0, kSelectionSelectorExecute = 1 };

/* What the host makes of newPath. */
enum {
  kSelectionTreatmentReplace = 0,
  kSelectionTreatmentWorkPath = 1
};

typedef struct PISelectionParams {
  int32_t serialNumber;
  HostTestAbortProc abortProc;
  HostProgressProc progressProc;
  HostHandle parameters;
  HostDocumentInfo *documentInfo;

  /* Results. */
  HostHandle newPath;   /* path records, owned by the host once returned */
  int16_t treatment;

  uint32_t hostSig;
  HostProcessEventProc processEvent;
  HostDisplayPixelsProc displayPixels;
  HostBufferProcs *bufferProcs;
  HostHandleProcs *handleProcs;
  HostPropertyProcs *propertyProcs;
  HostChannelPortProcs *channelPortProcs;
  HostColourServicesProc colorServices;
} PISelectionParams;

#ifdef __cplusplus
}
#endif

#endif
