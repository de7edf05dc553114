#include "path/PathRecords.h"

#include <cassert>
#include <cstring>

namespace {

uint8_t* putInt16(uint8_t* out, int16_t value) {
  const auto bits = static_cast<uint16_t>(value);
  out[0] = uint8_t(bits >> 8);
  out[1] = uint8_t(bits);
  return out + 2;
}

uint8_t* putInt32(uint8_t* out, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  out[0] = uint8_t(bits >> 24);
  out[1] = uint8_t(bits >> 16);
  out[2] = uint8_t(bits >> 8);
  out[3] = uint8_t(bits);
  return out + 4;
}

// A record of the selector and zeros.
uint8_t* startRecord(uint8_t* out, int16_t selector) {
  std::memset(out, 0, kPathRecordBytes);
  putInt16(out, selector);
  return out;
}

}  // namespace

bool pathFitsRecords(const TracedPath& path) {
  for (const Subpath& subpath : path.subpaths)
    if (subpath.size() > kMaxKnotsPerSubpath) return false;
  return true;
}

int64_t pathRecordsSize(const TracedPath& path) {
  return kPathRecordBytes *
         (1 + int64_t(path.subpaths.size()) + int64_t(path.points.size()));
}

// A sub-pixel unit is 2^24 / 256 = 65536 units of the fraction per pixel.
int32_t pathFraction(int32_t coordinate, int32_t documentSize) {
  assert(documentSize > 0);
  return int32_t(int64_t{coordinate} * 65536 / documentSize);
}

void encodePathRecords(const TracedPath& path, int32_t documentHeight, int32_t documentWidth,
                       uint8_t* out) {
  startRecord(out, kPathFillRule);
  out += kPathRecordBytes;
  for (const Subpath& subpath : path.subpaths) {
    putInt16(startRecord(out, kClosedSubpathLength) + 2, int16_t(subpath.size()));
    out += kPathRecordBytes;
    for (int32_t i = subpath.first; i < subpath.last; ++i) {
      const PathPoint& knot = path.points[size_t(i)];
      const int32_t v = pathFraction(knot.v, documentHeight);
      const int32_t h = pathFraction(knot.h, documentWidth);
      uint8_t* field = putInt16(out, kClosedSubpathKnotUnlinked);
      // The control point before the knot, the knot, the one after it.
      for (int point = 0; point < 3; ++point) field = putInt32(putInt32(field, v), h);
      out += kPathRecordBytes;
    }
  }
}
