/* The filter's parameter block: what the host describes of the document and
 * the request fields through which the filter asks for pixels. */
#ifndef TESSALY_HOSTAPI_FILTERRECORD_H
#define TESSALY_HOSTAPI_FILTERRECORD_H

#include "hostapi/HostTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
  kFilterSelectorAbout = 0,
  kFilterSelectorParameters = 1,
  kFilterSelectorPrepare = 2,
  kFilterSelectorStart = 3,
  kFilterSelectorContinue = 4,
  kFilterSelectorFinish = 5
};

typedef struct FilterRecord {
  int32_t serialNumber;
  HostTestAbortProc abortProc;
  HostProgressProc progressProc;
  HostHandle parameters;

  /* The document. */
  HostPoint imageSize;
  int16_t planes;    /* planes of the input (and output) stream */
  HostRect filterRect; /* what the filter works on, in document pixels */
  int16_t imageMode;

  /* Memory: the filter may ask for buffer space in prepare. */
  int32_t bufferSpace;
  int32_t maxSpace;

  /* Input stream: the document's planes. */
  HostRect inRect;
  int16_t inLoPlane;
  int16_t inHiPlane;
  void *inData;
  int32_t inRowBytes;

  /* Output stream: the planes the filter writes. */
  HostRect outRect;
  int16_t outLoPlane;
  int16_t outHiPlane;
  void *outData;
  int32_t outRowBytes;

  /* Selection mask stream. */
  HostBoolean isFloating;
  HostBoolean haveMask;
  HostBoolean autoMask;
  HostRect maskRect;
  void *maskData;
  int32_t maskRowBytes;

  uint32_t hostSig;
  int16_t filterCase;

  HostBufferProcs *bufferProcs;
  HostHandleProcs *handleProcs;
  HostProcessEventProc processEvent;
  HostDisplayPixelsProc displayPixels;
  HostAdvanceStateProc advanceState;
  HostColourServicesProc colorServices;

  /* Absolute plane access: any plane of the document by its number. */
  HostBoolean supportsAbsolute;
  HostBoolean wantsAbsolute;
  HostGetPropertyProc getPropertyObsolete;

  /* Padding: -1 pads nothing; reads outside the image are the plug-in's. */
  HostBoolean supportsPadding;
  int16_t inputPadding;
  int16_t outputPadding;
  int16_t maskPadding;

  /* Reduced input: the host delivers every k-th pixel when inputRate = k. */
  HostFixed inputRate;
  HostFixed maskRate;

  /* How the input and output planes are made up. */
  int16_t inLayerPlanes;
  int16_t inTransparencyMask;
  int16_t inLayerMasks;
  int16_t inInvertedLayerMasks;
  int16_t inNonLayerPlanes;
  int16_t outLayerPlanes;
  int16_t outTransparencyMask;
  int16_t outLayerMasks;
  int16_t outInvertedLayerMasks;
  int16_t outNonLayerPlanes;
  /* The same for absolute plane numbers: all planes of the document. */
  int16_t absLayerPlanes;
  int16_t absTransparencyMask;
  int16_t absLayerMasks;
  int16_t absInvertedLayerMasks;
  int16_t absNonLayerPlanes;

  HostPropertyProcs *propertyProcs;
  HostChannelPortProcs *channelPortProcs;
  HostDocumentInfo *documentInfo;
} FilterRecord;

#ifdef __cplusplus
}
#endif

#endif
