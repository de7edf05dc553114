// Traced outlines in the host's path resource format: big-endian records
// of 26 bytes. One fill-rule record, then per outline a closed-subpath
// length record followed by one record per knot. Knots are corners (both
// control points on the knot), coordinates 8.24 fixed-point fractions of
// the document's height and width.
#pragma once

#include <cstdint>

#include "path/PathTracer.h"

constexpr int32_t kPathRecordBytes = 26;

enum PathRecordSelector : int16_t {
  kClosedSubpathLength = 0,
  kClosedSubpathKnotUnlinked = 2,
  kPathFillRule = 6,
};

// The length record counts knots in 16 bits: a longer outline cannot be
// written without corrupting the path.
constexpr int32_t kMaxKnotsPerSubpath = 32767;
bool pathFitsRecords(const TracedPath& path);

// Bytes of the encoded path: 26 x (1 + outlines + knots).
int64_t pathRecordsSize(const TracedPath& path);

// An 8.24 fraction of the document size for a coordinate in 1/256 pixel,
// truncated towards zero.
int32_t pathFraction(int32_t coordinate, int32_t documentSize);

// Writes pathRecordsSize(path) bytes to out. The document sizes must be
// positive and the path must fit the records.
void encodePathRecords(const TracedPath& path, int32_t documentHeight, int32_t documentWidth,
                       uint8_t* out);
