#include "host/Pipl.h"

#include <cstdio>

#include "host/Failure.h"

namespace host {

namespace {

class ListReader {
 public:
  ListReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  bool atEnd() const { return at_ == size_; }

  const uint8_t* take(size_t n, const char* what) {
    if (size_ - at_ < n) throw Failure(std::string("property list ends inside ") + what);
    const uint8_t* p = bytes_ + at_;
    at_ += n;
    return p;
  }
  int16_t int16(const char* what) {
    const uint8_t* p = take(2, what);
    return static_cast<int16_t>(p[0] | p[1] << 8);
  }
  int32_t int32(const char* what) {
    const uint8_t* p = take(4, what);
    return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                                uint32_t{p[3]} << 24);
  }
  // Four-character codes are stored byte-reversed.
  std::string code(const char* what) {
    const uint8_t* p = take(4, what);
    return {static_cast<char>(p[3]), static_cast<char>(p[2]), static_cast<char>(p[1]),
            static_cast<char>(p[0])};
  }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t at_ = 0;
};

std::string reversedCode(const std::vector<uint8_t>& d) {
  if (d.size() != 4) return {};
  return {static_cast<char>(d[3]), static_cast<char>(d[2]), static_cast<char>(d[1]),
          static_cast<char>(d[0])};
}

std::string pascalString(const std::vector<uint8_t>& d) {
  if (d.empty() || d[0] > d.size() - 1) return {};
  return std::string(d.begin() + 1, d.begin() + 1 + d[0]);
}

std::string cString(const std::vector<uint8_t>& d) {
  std::string s;
  for (uint8_t c : d) {
    if (c == 0) return s;
    s.push_back(static_cast<char>(c));
  }
  return {};  // not terminated: not a usable name
}

std::string printable(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c >= 32 && c < 127) {
      out.push_back(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned char>(c));
      out += buf;
    }
  }
  return out;
}

std::string quoted(const std::string& s) {
  std::string out(1, '"');
  out.append(printable(s));
  out.push_back('"');
  return out;
}

void interpret(PiplInfo& info, const PiplProperty& p) {
  if (p.vendor != "8BIM") return;
  if (p.key == "kind") {
    info.kind = reversedCode(p.data);
  } else if (p.key == "name") {
    info.name = pascalString(p.data);
  } else if (p.key == "catg") {
    info.category = pascalString(p.data);
  } else if (p.key == "vers" && p.data.size() == 4) {
    info.version = static_cast<int32_t>(uint32_t{p.data[0]} | uint32_t{p.data[1]} << 8 |
                                        uint32_t{p.data[2]} << 16 | uint32_t{p.data[3]} << 24);
  } else if (p.key == "wx86") {
    info.entryName = cString(p.data);
  } else if (p.key == "mode" && p.data.size() >= 2) {
    // The one value in the list stored high byte first.
    info.supportedModes = static_cast<uint16_t>(p.data[0] << 8 | p.data[1]);
  } else if (p.key == "fici") {
    for (size_t i = 0; i + 4 <= p.data.size(); i += 4)
      info.filterCases.push_back({p.data[i], p.data[i + 1], p.data[i + 2]});
  }
}

}  // namespace

bool PiplInfo::allowsMode(int mode) const {
  if (!supportedModes) return true;
  if (mode < 0 || mode > 15) return false;
  return (*supportedModes >> (15 - mode) & 1) != 0;
}

PiplInfo decodePipl(const uint8_t* bytes, size_t size) {
  ListReader r(bytes, size);
  const int16_t signature = r.int16("the header");
  if (signature != 1) throw Failure("property list signature is " + std::to_string(signature) + ", not 1");
  const int32_t version = r.int32("the header");
  if (version != 0) throw Failure("property list version " + std::to_string(version) + " is unknown");
  const int32_t count = r.int32("the header");
  if (count < 0) throw Failure("property list has a negative property count");

  PiplInfo info;
  for (int32_t i = 0; i < count; ++i) {
    PiplProperty p;
    p.vendor = r.code("a property header");
    p.key = r.code("a property header");
    p.id = r.int32("a property header");
    const int32_t length = r.int32("a property header");
    if (length < 0) throw Failure("property '" + printable(p.key) + "' has a negative length");
    const size_t padded = (static_cast<size_t>(length) + 3) / 4 * 4;
    const uint8_t* data = r.take(padded, ("property '" + printable(p.key) + "'").c_str());
    p.data.assign(data, data + length);
    interpret(info, p);
    info.properties.push_back(std::move(p));
  }
  return info;
}

std::vector<std::string> describeProperties(const PiplInfo& info) {
  std::vector<std::string> lines;
  for (const PiplProperty& p : info.properties) {
    std::string value;
    char buf[64];
    if (p.vendor == "8BIM" && p.key == "kind") {
      value = quoted(reversedCode(p.data));
    } else if (p.vendor == "8BIM" && (p.key == "name" || p.key == "catg")) {
      value = quoted(pascalString(p.data));
    } else if (p.vendor == "8BIM" && p.key == "wx86") {
      value = quoted(cString(p.data));
    } else if (p.vendor == "8BIM" && p.key == "vers" && info.version) {
      std::snprintf(buf, sizeof buf, "%d.%d (0x%08x)", *info.version >> 16, *info.version & 0xFFFF,
                    static_cast<unsigned>(*info.version));
      value = buf;
    } else if (p.vendor == "8BIM" && p.key == "mode" && info.supportedModes) {
      std::snprintf(buf, sizeof buf, "0x%04x", *info.supportedModes);
      value = buf;
      const char* names[] = {"bitmap", "greyscale", "indexed", "RGB", "CMYK", "HSL", "HSB",
                             "multichannel", "duotone", "Lab", "grey16", "RGB48"};
      std::string modes;
      for (int m = 0; m < 12; ++m)
        if (info.allowsMode(m)) modes += std::string(modes.empty() ? "" : ", ") + names[m];
      value += " (" + modes + ")";
    } else if (p.vendor == "8BIM" && p.key == "fici") {
      for (const FilterCaseInfo& c : info.filterCases) {
        std::snprintf(buf, sizeof buf, "%s%d/%d/0x%02x", value.empty() ? "" : " ", c.inputHandling,
                      c.outputHandling, c.flags);
        value += buf;
      }
    } else {
      for (uint8_t b : p.data) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        value += buf;
      }
      value = p.data.empty() ? "(empty)" : "bytes " + value;
    }
    lines.push_back(printable(p.vendor) + " " + printable(p.key) + " = " + value);
  }
  return lines;
}

}  // namespace host
