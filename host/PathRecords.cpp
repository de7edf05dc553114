#include "host/PathRecords.h"

#include <cmath>
#include <cstdio>

#include "host/Failure.h"

namespace host {

namespace {

enum : int16_t {
  kClosedLength = 0,
  kClosedLinked = 1,
  kClosedUnlinked = 2,
  kOpenLength = 3,
  kOpenLinked = 4,
  kOpenUnlinked = 5,
  kFillRule = 6,
  kClipboard = 7,
  kInitialFill = 8,
};

int32_t get32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]);
}
void put32(uint8_t* p, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

PathPoint readPoint(const uint8_t* p, int32_t width, int32_t height) {
  return {get32(p) / 16777216.0 * height, get32(p + 4) / 16777216.0 * width};
}
void writePoint(uint8_t* p, const PathPoint& point, int32_t width, int32_t height) {
  put32(p, static_cast<int32_t>(std::lround(point.v / height * 16777216.0)));
  put32(p + 4, static_cast<int32_t>(std::lround(point.h / width * 16777216.0)));
}

}  // namespace

std::vector<Subpath> decodePath(const std::vector<uint8_t>& records, int32_t width, int32_t height) {
  if (records.size() % kPathRecordSize != 0)
    throw Failure("path data of " + std::to_string(records.size()) + " bytes is not a whole number of records");
  std::vector<Subpath> subpaths;
  size_t knotsLeft = 0;
  for (size_t at = 0; at < records.size(); at += kPathRecordSize) {
    const uint8_t* r = records.data() + at;
    const int16_t selector = static_cast<int16_t>(r[0] << 8 | r[1]);
    switch (selector) {
      case kClosedLength:
      case kOpenLength:
        if (knotsLeft != 0) throw Failure("a subpath of the path has fewer knots than announced");
        subpaths.push_back({selector == kClosedLength, {}});
        knotsLeft = static_cast<size_t>(r[2] << 8 | r[3]);
        break;
      case kClosedLinked:
      case kClosedUnlinked:
      case kOpenLinked:
      case kOpenUnlinked:
        if (knotsLeft == 0) throw Failure("a knot of the path lies outside any subpath");
        subpaths.back().knots.push_back({readPoint(r + 2, width, height), readPoint(r + 10, width, height),
                                         readPoint(r + 18, width, height)});
        --knotsLeft;
        break;
      case kFillRule:
      case kClipboard:
      case kInitialFill:
        break;
      default:
        throw Failure("path record selector " + std::to_string(selector) + " is unknown");
    }
  }
  if (knotsLeft != 0) throw Failure("the path ends inside a subpath");
  return subpaths;
}

std::vector<uint8_t> encodePath(const std::vector<Subpath>& subpaths, int32_t width, int32_t height) {
  std::vector<uint8_t> out(kPathRecordSize, 0);
  out[1] = kFillRule;
  for (const Subpath& s : subpaths) {
    uint8_t length[kPathRecordSize] = {};
    length[1] = s.closed ? kClosedLength : kOpenLength;
    length[2] = static_cast<uint8_t>(s.knots.size() >> 8);
    length[3] = static_cast<uint8_t>(s.knots.size());
    out.insert(out.end(), length, length + kPathRecordSize);
    for (const PathKnot& k : s.knots) {
      uint8_t knot[kPathRecordSize] = {};
      knot[1] = s.closed ? kClosedUnlinked : kOpenUnlinked;
      writePoint(knot + 2, k.before, width, height);
      writePoint(knot + 10, k.anchor, width, height);
      writePoint(knot + 18, k.after, width, height);
      out.insert(out.end(), knot, knot + kPathRecordSize);
    }
  }
  return out;
}

std::string pathToSvg(const std::vector<Subpath>& subpaths, int32_t width, int32_t height) {
  std::string d;
  char buf[160];
  for (const Subpath& s : subpaths) {
    if (s.knots.empty()) continue;
    std::snprintf(buf, sizeof buf, "%sM%.3f %.3f", d.empty() ? "" : " ", s.knots[0].anchor.h, s.knots[0].anchor.v);
    d += buf;
    const size_t segments = s.closed ? s.knots.size() : s.knots.size() - 1;
    for (size_t i = 0; i < segments; ++i) {
      const PathKnot& from = s.knots[i];
      const PathKnot& to = s.knots[(i + 1) % s.knots.size()];
      const bool straight = from.after.h == from.anchor.h && from.after.v == from.anchor.v &&
                            to.before.h == to.anchor.h && to.before.v == to.anchor.v;
      if (straight)
        std::snprintf(buf, sizeof buf, " L%.3f %.3f", to.anchor.h, to.anchor.v);
      else
        std::snprintf(buf, sizeof buf, " C%.3f %.3f %.3f %.3f %.3f %.3f", from.after.h, from.after.v, to.before.h,
                      to.before.v, to.anchor.h, to.anchor.v);
      d += buf;
    }
    if (s.closed) d += " Z";
  }
  std::snprintf(buf, sizeof buf,
                "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n",
                width, height, width, height);
  return std::string(buf) + "  <path fill-rule=\"evenodd\" d=\"" + d + "\"/>\n</svg>\n";
}

}  // namespace host
