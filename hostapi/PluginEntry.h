/* How a host calls a plug-in, and how it learns about one before calling it. */
#ifndef TESSALY_HOSTAPI_PLUGINENTRY_H
#define TESSALY_HOSTAPI_PLUGINENTRY_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Every exported plug-in function has this form. The result is always
 * written; the data slot belongs to the host. */
typedef void (*PluginEntryProc)(int16_t selector, void *parameterBlock,
                                int32_t *data, int16_t *result);

/* Property lists ('PIPL' resources). A list is little-endian:
 *   int16 signature (1), int32 version (0), int32 property count,
 *   then per property: vendor code, key, int32 id (0), int32 length,
 *   data padded with zeros to a multiple of 4.
 * Four-character codes are stored byte-reversed ("8BIM" as "MIB8"). */
#define kPiplResourceType "PIPL"
#define kPiplVendorHost "8BIM"
#define kPiplKeyKind "kind"
#define kPiplKeyName "name"
#define kPiplKeyCategory "catg"
#define kPiplKeyVersion "vers"
#define kPiplKeyEntryX86 "wx86"
#define kPiplKeySupportedModes "mode"
#define kPiplKeyFilterCaseInfo "fici"
#define kPiplKindFilter "8BFM"
#define kPiplKindSelection "8BSM"

/* A plug-in library's resources, readable without calling any plug-in
 * entry: the library exports a function of this name that returns an array
 * of entries ending with one whose type is null. It touches no host. */
typedef struct PluginResource {
  const char *type; /* four characters, e.g. "PIPL", "STR " */
  int32_t id;
  const unsigned char *data;
  size_t size;
} PluginResource;

typedef const PluginResource *(*PluginResourceTableProc)(void);
#define kPluginResourceTableSymbol "PluginResourceTable"

#ifdef __cplusplus
}
#endif

#endif
