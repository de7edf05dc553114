// The plug-in's string table: every text the user sees, by numeric id.
#pragma once

#include <cstdint>

// The text of a string resource, or null when the table has no such id.
const char* stringResource(int32_t id);

// Ids used by name in the code.
enum StringId : int32_t {
  kStrNavigatorTitle = 2,
  kStrTargetIsColourChannel = 5,
  kStrKeep = 6,
  kStrDrop = 7,
  kStrTransition = 8,
  kStrThreshold = 9,
  kStrBrushEdge = 10,
  kStrBrushSize = 11,
  kStrBrushEdgeHard = 12,
  kStrBrushEdgeSoft = 13,
  kStrBrushSizeSmall = 14,
  kStrBrushSizeLarge = 15,
  kStrThresholdHard = 16,
  kStrThresholdSoft = 17,
  kStrTransitionLess = 18,
  kStrTransitionMore = 19,
  kStrOpacityLabel = 20,
  kStrWorkspaceFilter = 21,
  kStrRegistryKey = 22,
  kStrRegistryMissing = 23,
  kStrApplyBeforeClosing = 25,
  kStrCreditsPage1 = 27,
  kStrCreditsPage2 = 28,
  kStrMakeWorkPathItem = 29,
  kStrMakeWorkPathGroup = 30,
  kStrWorkspaceDefaultName = 31,
  kStrPlugInRunning = 2001,
  kStrOperationFailed = 2002,
  kStrModeNotSupported = 2005,
  kStrPrefsNotSaved = 2015,
  kStrRepaintFailed = 2017,
  kStrPathFromColourChannel = 2018,
  kStrNoShutdown = 2020,
  kStrUnknownException = 3003,
  kStrOutOfMemory = 17001,
};

// The whole table, sorted by id (the resource table exports it).
struct StringResourceEntry {
  int32_t id;
  const char* text;
};
extern const StringResourceEntry kStringResources[];
extern const int kStringResourceCount;
