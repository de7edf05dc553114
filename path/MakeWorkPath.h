// Make Work Path: the selection module's command. It traces the document's
// target channel or its selection at the user's choke and tolerance and
// hands the outlines to the host as a new work path.
#pragma once

#include <cstdint>

#include "hostapi/SelectionParams.h"

enum class PathSource { kChannel, kSelection };

// What the user chose in the Make Work Path dialog.
struct WorkPathChoice {
  PathSource source = PathSource::kChannel;
  int32_t choke = 0;      // percent, 0 to 100
  int32_t tolerance = 0;  // percent of a pixel, 0 to 100
};

enum class ClippingPathAnswer { kPath, kNoPath, kCancel };

// The two dialogs of the command, filled in by the layer that shows
// dialogs. Both start from the values passed in and refuse values outside
// 0 to 100 themselves.
struct PathDialogs {
  // "Corvane - Make Work Path": the source radios (each enabled only when
  // that source exists), choke and tolerance. False when cancelled.
  bool (*askWorkPath)(bool channelEnabled, bool selectionEnabled, WorkPathChoice& choice) = nullptr;
  // "Clipping Path": choke and tolerance with Path, No Path and Cancel.
  ClippingPathAnswer (*askClippingPath)(int32_t& choke, int32_t& tolerance) = nullptr;
};

PathDialogs& pathDialogs();

// The document's target channel: the targeted transparency, replaced by a
// targeted layer mask, replaced by each targeted alpha channel in turn (the
// last one wins). Null when nothing is targeted.
const ReadChannelDesc* targetChannel(const HostDocumentInfo& document);

// Runs the command inside the host's execute call (gSelectionParams). True
// when a path was handed to the host; false when the user has been told
// why not, or has cancelled.
bool makeWorkPath();

// Asked by the filter's Save/Apply when the host offers channel ports:
// whether to make a clipping path. kPath stores the values and marks the
// next run of the command to make the path at once without its dialog; the
// caller then has the command posted when the filter ends.
ClippingPathAnswer askClippingPath();
