// Work paths in the interface's path record format: big-endian records of 26
// bytes; a fill-rule record, then per subpath a length record and one record
// per knot with three points (control before, anchor, control after), each
// point as vertical then horizontal 8.24 fractions of the document size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

struct PathPoint {
  double v = 0, h = 0;  // in pixels
};
struct PathKnot {
  PathPoint before, anchor, after;
};
struct Subpath {
  bool closed = true;
  std::vector<PathKnot> knots;
};

constexpr size_t kPathRecordSize = 26;

// Throws Failure when the records are not a path.
std::vector<Subpath> decodePath(const std::vector<uint8_t>& records, int32_t width, int32_t height);
std::vector<uint8_t> encodePath(const std::vector<Subpath>& subpaths, int32_t width, int32_t height);
std::string pathToSvg(const std::vector<Subpath>& subpaths, int32_t width, int32_t height);

}  // namespace host
