#include "host/ColourConversion.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "host/Document.h"

namespace host {

namespace {

enum : int16_t { kRGB = 0, kHSB = 1, kCMYK = 2, kLab = 3, kGray = 4, kHSL = 5 };

const char* const kCmykProfileFiles[] = {
    "/usr/share/color/icc/ghostscript/default_cmyk.icc",
    "/usr/share/color/icc/colord/FOGRA39L_coated.icc",
};

// The profiles and transforms, made once per process and kept: they are
// read-only after creation.
class Profiles {
 public:
  static Profiles& instance() {
    static Profiles p;
    return p;
  }

  // Transform between two of RGB, CMYK, Lab, Gray (8-bit interleaved); null
  // when CMYK is involved and no CMYK profile exists.
  cmsHTRANSFORM transform(int16_t from, int16_t to) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int key = from * 16 + to;
    auto it = transforms_.find(key);
    if (it != transforms_.end()) return it->second;
    cmsHPROFILE a = profile(from);
    cmsHPROFILE b = profile(to);
    cmsHTRANSFORM t = nullptr;
    if (a != nullptr && b != nullptr)
      t = cmsCreateTransform(a, format(from), b, format(to), INTENT_RELATIVE_COLORIMETRIC,
                             cmsFLAGS_BLACKPOINTCOMPENSATION);
    transforms_[key] = t;
    return t;
  }

  std::string cmykSource() {
    std::lock_guard<std::mutex> lock(mutex_);
    profile(kCMYK);
    return cmykSource_;
  }

 private:
  Profiles() = default;
  ~Profiles() {
    for (auto& [key, t] : transforms_)
      if (t != nullptr) cmsDeleteTransform(t);
    for (auto& [space, p] : profiles_)
      if (p != nullptr) cmsCloseProfile(p);
  }

  cmsHPROFILE profile(int16_t space) {
    auto it = profiles_.find(space);
    if (it != profiles_.end()) return it->second;
    cmsHPROFILE p = nullptr;
    switch (space) {
      case kRGB: p = cmsCreate_sRGBProfile(); break;
      case kLab: p = cmsCreateLab4Profile(nullptr); break;
      case kGray: {
        cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
        p = cmsCreateGrayProfile(cmsD50_xyY(), gamma);
        cmsFreeToneCurve(gamma);
        break;
      }
      case kCMYK:
        cmykSource_ = "built-in approximation (no CMYK profile installed)";
        for (const char* file : kCmykProfileFiles) {
          std::error_code ec;
          if (!std::filesystem::exists(file, ec)) continue;
          p = cmsOpenProfileFromFile(file, "r");
          if (p != nullptr) {
            cmykSource_ = file;
            break;
          }
        }
        break;
      default: break;
    }
    profiles_[space] = p;
    return p;
  }

  static cmsUInt32Number format(int16_t space) {
    switch (space) {
      case kRGB: return TYPE_RGB_8;
      case kCMYK: return TYPE_CMYK_8;
      case kLab: return TYPE_Lab_8;
      default: return TYPE_GRAY_8;
    }
  }

  std::mutex mutex_;
  std::map<int16_t, cmsHPROFILE> profiles_;
  std::map<int, cmsHTRANSFORM> transforms_;
  std::string cmykSource_;
};

int channels(int16_t space) { return space == kCMYK ? 4 : space == kGray ? 1 : 3; }

// Without a CMYK profile: the plain complement with grey component
// replacement, through RGB.
void cmykToRgbApprox(const uint8_t* cmyk, uint8_t* rgb) {
  for (int i = 0; i < 3; ++i) rgb[i] = static_cast<uint8_t>((255 - cmyk[i]) * (255 - cmyk[3]) / 255);
}
void rgbToCmykApprox(const uint8_t* rgb, uint8_t* cmyk) {
  const int k = 255 - std::max({rgb[0], rgb[1], rgb[2]});
  cmyk[3] = static_cast<uint8_t>(k);
  for (int i = 0; i < 3; ++i)
    cmyk[i] = k == 255 ? 0 : static_cast<uint8_t>(((255 - rgb[i] - k) * 255 + (255 - k) / 2) / (255 - k));
}

// One pixel between two of the profile spaces.
void convertProfiled(int16_t from, int16_t to, const uint8_t* in, uint8_t* out) {
  if (from == to) {
    std::copy(in, in + channels(from), out);
    return;
  }
  if (cmsHTRANSFORM t = Profiles::instance().transform(from, to)) {
    cmsDoTransform(t, in, out, 1);
    return;
  }
  // Only CMYK can lack a profile: go through RGB with the approximation.
  uint8_t rgb[3];
  if (from == kCMYK) {
    cmykToRgbApprox(in, rgb);
    if (to == kRGB) std::copy(rgb, rgb + 3, out); else convertProfiled(kRGB, to, rgb, out);
  } else {
    if (from == kRGB) std::copy(in, in + 3, rgb); else convertProfiled(from, kRGB, in, rgb);
    rgbToCmykApprox(rgb, out);
  }
}

// Hue in degrees, saturation and brightness (or lightness) 0..255.
void rgbToHue(const uint8_t* rgb, bool lightness, int16_t* out) {
  const double r = rgb[0] / 255.0, g = rgb[1] / 255.0, b = rgb[2] / 255.0;
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
  double h = 0;
  if (d > 0) {
    if (mx == r) h = std::fmod((g - b) / d, 6.0);
    else if (mx == g) h = (b - r) / d + 2;
    else h = (r - g) / d + 4;
    h *= 60;
    if (h < 0) h += 360;
  }
  double s, third;
  if (lightness) {
    third = (mx + mn) / 2;
    s = d == 0 ? 0 : d / (1 - std::fabs(2 * third - 1));
  } else {
    third = mx;
    s = mx == 0 ? 0 : d / mx;
  }
  out[0] = static_cast<int16_t>(std::lround(h) % 360);
  out[1] = static_cast<int16_t>(std::lround(s * 255));
  out[2] = static_cast<int16_t>(std::lround(third * 255));
}

void hueToRgb(const int16_t* in, bool lightness, uint8_t* rgb) {
  const double h = std::fmod(std::fmod(in[0], 360) + 360.0, 360.0);
  const double s = std::clamp(in[1], int16_t{0}, int16_t{255}) / 255.0;
  const double t = std::clamp(in[2], int16_t{0}, int16_t{255}) / 255.0;
  double c, m;
  if (lightness) {
    c = (1 - std::fabs(2 * t - 1)) * s;
    m = t - c / 2;
  } else {
    c = t * s;
    m = t - c;
  }
  const double x = c * (1 - std::fabs(std::fmod(h / 60, 2) - 1));
  double r = 0, g = 0, b = 0;
  switch (static_cast<int>(h / 60)) {
    case 0: r = c; g = x; break;
    case 1: r = x; g = c; break;
    case 2: g = c; b = x; break;
    case 3: g = x; b = c; break;
    case 4: r = x; b = c; break;
    default: r = c; b = x; break;
  }
  rgb[0] = static_cast<uint8_t>(std::lround((r + m) * 255));
  rgb[1] = static_cast<uint8_t>(std::lround((g + m) * 255));
  rgb[2] = static_cast<uint8_t>(std::lround((b + m) * 255));
}

}  // namespace

bool isKnownColourSpace(int16_t space) { return space >= kRGB && space <= kHSL; }

bool convertColour(int16_t from, int16_t to, int16_t components[4]) {
  if (!isKnownColourSpace(from) || !isKnownColourSpace(to)) return false;
  if (from == to) return true;
  // Both hue spaces go through RGB; the others convert through profiles.
  uint8_t in[4] = {0, 0, 0, 0};
  int16_t fromProfiled = from;
  if (from == kHSB || from == kHSL) {
    hueToRgb(components, from == kHSL, in);
    fromProfiled = kRGB;
  } else {
    for (int i = 0; i < 4; ++i) in[i] = static_cast<uint8_t>(std::clamp<int>(components[i], 0, 255));
  }
  const int16_t toProfiled = (to == kHSB || to == kHSL) ? int16_t{kRGB} : to;
  uint8_t out[4] = {0, 0, 0, 0};
  convertProfiled(fromProfiled, toProfiled, in, out);
  if (to == kHSB || to == kHSL) {
    rgbToHue(out, to == kHSL, components);
    components[3] = 0;
  } else {
    for (int i = 0; i < 4; ++i) components[i] = i < channels(to) ? out[i] : 0;
  }
  return true;
}

int16_t colourSpaceOfMode(int16_t mode) {
  switch (mode) {
    case kModeGrey: return kGray;
    case kModeRGB: return kRGB;
    case kModeCMYK: return kCMYK;
    case kModeLab: return kLab;
    default: return -1;
  }
}

namespace {

// The grey profile's sRGB value of every grey byte. An 8-bit transform maps
// each input value to one output value, so the table gives the same bytes
// as transforming pixel by pixel.
const uint8_t* greyToRgbTable() {
  static const std::vector<uint8_t> table = [] {
    uint8_t grey[256];
    for (int i = 0; i < 256; ++i) grey[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> rgb(256 * 3);
    if (cmsHTRANSFORM t = Profiles::instance().transform(kGray, kRGB))
      cmsDoTransform(t, grey, rgb.data(), 256);
    else
      for (int i = 0; i < 256; ++i) convertProfiled(kGray, kRGB, grey + i, rgb.data() + 3 * i);
    return rgb;
  }();
  return table.data();
}

}  // namespace

void toRgb(int16_t mode, const uint8_t* pixels, size_t count, size_t step, uint8_t* rgb) {
  const int16_t space = colourSpaceOfMode(mode);
  if (space == kRGB && step == 3) {
    std::copy(pixels, pixels + 3 * count, rgb);
    return;
  }
  const int n = channels(space);
  if (space == kRGB) {
    for (size_t i = 0; i < count; ++i, pixels += step, rgb += 3) {
      rgb[0] = pixels[0];
      rgb[1] = pixels[1];
      rgb[2] = pixels[2];
    }
    return;
  }
  if (space == kGray) {
    const uint8_t* table = greyToRgbTable();
    for (size_t i = 0; i < count; ++i, pixels += step, rgb += 3) {
      const uint8_t* t = table + 3 * size_t{*pixels};
      rgb[0] = t[0];
      rgb[1] = t[1];
      rgb[2] = t[2];
    }
    return;
  }
  cmsHTRANSFORM t = Profiles::instance().transform(space, kRGB);
  if (t != nullptr && step == static_cast<size_t>(n)) {
    cmsDoTransform(t, pixels, rgb, static_cast<cmsUInt32Number>(count));
    return;
  }
  // Pack the pixels, then transform in one call.
  std::vector<uint8_t> packed(count * static_cast<size_t>(n));
  for (size_t i = 0; i < count; ++i)
    std::copy(pixels + i * step, pixels + i * step + n, packed.data() + i * static_cast<size_t>(n));
  if (t != nullptr) {
    cmsDoTransform(t, packed.data(), rgb, static_cast<cmsUInt32Number>(count));
    return;
  }
  for (size_t i = 0; i < count; ++i) convertProfiled(space, kRGB, packed.data() + i * static_cast<size_t>(n), rgb + 3 * i);
}

std::string cmykProfileDescription() { return Profiles::instance().cmykSource(); }

}  // namespace host
