/* The host's plug-in interface, as this plug-in uses it: basic types, result
 * codes, image modes and the callback suites shared by the filter and the
 * selection module. Plain C, so that the host and the plug-in agree on it
 * without sharing any C++.
 *
 * Plug-in code names fields only, never offsets: building against another
 * declaration of the same interface changes this folder alone. */
#ifndef TESSALY_HOSTAPI_HOSTTYPES_H
#define TESSALY_HOSTAPI_HOSTTYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int16_t HostError;   /* 0 on success, else one of the codes below */
typedef int32_t HostFixed;   /* 16.16 fixed point */
typedef uint8_t HostBoolean; /* 0 false, 1 true */

/* Four-character codes as the host writes them: 'mode' == 0x6D6F6465. */
#define HOST_FOURCC(a, b, c, d)                                              \
  ((uint32_t)(uint8_t)(a) << 24 | (uint32_t)(uint8_t)(b) << 16 |             \
   (uint32_t)(uint8_t)(c) << 8 | (uint32_t)(uint8_t)(d))

enum {
  kHostNoError = 0,
  kHostOutOfMemory = -108,
  kHostUserCancelled = -128,
  kHostFilterBadParameters = -30100,
  kHostSelectionBadParameters = -30700,
  kHostInsufficient = -30900
};

/* Image modes (the host's numbering). */
enum {
  kHostModeBitmap = 0,
  kHostModeGrayScale = 1,
  kHostModeIndexed = 2,
  kHostModeRGB = 3,
  kHostModeCMYK = 4,
  kHostModeHSL = 5,
  kHostModeHSB = 6,
  kHostModeMultichannel = 7,
  kHostModeDuotone = 8,
  kHostModeLab = 9,
  kHostModeGray16 = 10,
  kHostModeRGB48 = 11
};

typedef struct HostPoint {
  int16_t v, h;
} HostPoint;

/* 16-bit rectangle; bottom and right are exclusive. */
typedef struct HostRect {
  int16_t top, left, bottom, right;
} HostRect;

/* 32-bit rectangle used by channel ports and the display service. */
typedef struct HostRect32 {
  int32_t top, left, bottom, right;
} HostRect32;

/* ---- Buffer procedures: host memory for pixel buffers. ------------------
 * Identifiers are 32-bit and never below 256 in a careful host; a plug-in
 * that packs fill bytes and identifiers into one word relies on it. */
typedef uint32_t HostBufferId;

typedef HostError (*HostAllocateBufferProc)(int32_t size, HostBufferId *id);
typedef void *(*HostLockBufferProc)(HostBufferId id, HostBoolean moveHigh);
typedef void (*HostUnlockBufferProc)(HostBufferId id);
typedef void (*HostFreeBufferProc)(HostBufferId id);
typedef int32_t (*HostBufferSpaceProc)(void);

typedef struct HostBufferProcs {
  int16_t version;
  int16_t count;
  HostAllocateBufferProc allocateProc;
  HostLockBufferProc lockProc;
  HostUnlockBufferProc unlockProc;
  HostFreeBufferProc freeProc;
  HostBufferSpaceProc spaceProc;
} HostBufferProcs;

/* ---- Handle procedures: relocatable host memory (the work path). ------- */
typedef struct HostHandleObject *HostHandle;

typedef HostHandle (*HostNewHandleProc)(int32_t size);
typedef void (*HostDisposeHandleProc)(HostHandle handle);
typedef int32_t (*HostGetHandleSizeProc)(HostHandle handle);
typedef HostError (*HostSetHandleSizeProc)(HostHandle handle, int32_t size);
typedef char *(*HostLockHandleProc)(HostHandle handle, HostBoolean moveHigh);
typedef void (*HostUnlockHandleProc)(HostHandle handle);

typedef struct HostHandleProcs {
  int16_t version;
  int16_t count;
  HostNewHandleProc newProc;
  HostDisposeHandleProc disposeProc;
  HostGetHandleSizeProc getSizeProc;
  HostSetHandleSizeProc setSizeProc;
  HostLockHandleProc lockProc;
  HostUnlockHandleProc unlockProc;
} HostHandleProcs;

/* ---- Property procedures. ---------------------------------------------- */
#define kHostSignature HOST_FOURCC('8', 'B', 'I', 'M')
#define kHostPropImageMode HOST_FOURCC('m', 'o', 'd', 'e')
#define kHostPropWatchSuspension HOST_FOURCC('w', 't', 'c', 'h')

typedef HostError (*HostGetPropertyProc)(uint32_t signature, uint32_t key,
                                         int32_t index, intptr_t *simpleProperty,
                                         void **complexProperty);
typedef HostError (*HostSetPropertyProc)(uint32_t signature, uint32_t key,
                                         int32_t index, intptr_t simpleProperty,
                                         void *complexProperty);

typedef struct HostPropertyProcs {
  int16_t version;
  int16_t count;
  HostGetPropertyProc getPropertyProc;
  HostSetPropertyProc setPropertyProc;
} HostPropertyProcs;

/* ---- Channel ports: reading one channel of the document. -------------- */
typedef struct HostChannelPort *HostChannelReadPort;

typedef struct HostScalingInfo {
  HostRect32 sourceRect;
  HostRect32 destinationRect;
} HostScalingInfo;

/* Destination of a channel read: bit geometry of the buffer. */
typedef struct HostPixelMemoryDesc {
  void *data;
  int32_t rowBits;
  int32_t colBits;
  int32_t bitOffset;
  int32_t depth;
} HostPixelMemoryDesc;

typedef HostError (*HostReadPixelsProc)(HostChannelReadPort port,
                                        const HostScalingInfo *scaling,
                                        const HostRect32 *writeRect,
                                        const HostPixelMemoryDesc *destination,
                                        HostRect32 *wroteRect);

typedef struct HostChannelPortProcs {
  int16_t version;
  int16_t count;
  HostReadPixelsProc readPixelsProc;
} HostChannelPortProcs;

/* One channel of the document, as listed in the document information. */
typedef struct ReadChannelDesc {
  int32_t minVersion;
  int32_t maxVersion;
  struct ReadChannelDesc *next;
  HostChannelReadPort port;
  HostRect32 bounds;
  int32_t depth;
  HostBoolean target; /* the channel is targeted by the user */
  HostBoolean shown;
  const char *name;
} ReadChannelDesc;

typedef struct HostDocumentInfo {
  int32_t version;
  HostRect32 bounds;
  int32_t imageMode;
  int32_t depth;
  ReadChannelDesc *targetCompositeChannels;
  ReadChannelDesc *targetTransparency;
  ReadChannelDesc *targetLayerMask;
  ReadChannelDesc *alphaChannels;
  ReadChannelDesc *selection;
} HostDocumentInfo;

/* ---- Display service: the host draws pixels, in the document's colour
 * mode, into one of the plug-in's device contexts. ------------------------ */
typedef struct HostPixelMask {
  struct HostPixelMask *next;
  void *maskData;
  int32_t rowBytes;
  int32_t colBytes;
  int32_t maskDescription; /* 0: plain coverage, 255 = opaque */
} HostPixelMask;

typedef struct HostPixelMap {
  int32_t version;
  HostRect32 bounds;
  int32_t imageMode;
  int32_t rowBytes;
  int32_t colBytes;
  int32_t planeBytes;
  void *baseAddr;
  void *mat; /* matting: unused, null */
  HostPixelMask *masks;
  int32_t maskPhaseRow;
  int32_t maskPhaseCol;
} HostPixelMap;

/* The platform context is the plug-in's device context (platform layer). */
typedef HostError (*HostDisplayPixelsProc)(const HostPixelMap *source,
                                           const HostRect32 *srcRect,
                                           int32_t dstRow, int32_t dstCol,
                                           void *platformContext);

/* ---- Colour services. ----------------------------------------------------
 * The conversion request is 36 bytes; the two reserved space-information
 * references are kept 32-bit so the record has that size everywhere. */
enum {
  kHostSpaceRGB = 0,
  kHostSpaceHSB = 1,
  kHostSpaceCMYK = 2,
  kHostSpaceLab = 3,
  kHostSpaceGray = 4,
  kHostSpaceHSL = 5
};
enum { kHostColourServicesConvert = 1 };

typedef struct HostColourServicesInfo {
  int32_t infoSize;
  int16_t selector;
  int16_t sourceSpace;
  int16_t resultSpace;
  HostBoolean resultGamutInfoValid;
  HostBoolean resultInGamut;
  uint32_t reservedSourceSpaceInfo;
  uint32_t reservedResultSpaceInfo;
  int16_t colourComponents[4];
  uint32_t reserved;
  uint32_t selectorParameter;
} HostColourServicesInfo;

typedef HostError (*HostColourServicesProc)(HostColourServicesInfo *info);

/* ---- Procedures every host offers. -------------------------------------- */
typedef HostBoolean (*HostTestAbortProc)(void);
typedef void (*HostProgressProc)(int32_t done, int32_t total);
typedef HostError (*HostAdvanceStateProc)(void);
typedef void (*HostProcessEventProc)(void *event);

#ifdef __cplusplus
}
#endif

#endif
