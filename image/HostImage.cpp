// Host images: the document's planes, the filter's output and the host's
// selection mask, fetched one rectangle at a time through advanceState.
#include "image/HostImage.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/PieceIterator.h"
#include "shell/ErrorRecord.h"
#include "shell/Exceptions.h"
#include "shell/PlugIn.h"
#include "shell/PlugInServices.h"
#include "shell/Purgeable.h"

namespace {

constexpr Point kHostPiece{128, 128};
constexpr HostFixed kRateOne = 0x00010000;

// The host has one buffer per stream, so one locked piece per stream.
int gStreamLocks[3] = {0, 0, 0};

int& streamLocks(HostStream kind) { return gStreamLocks[static_cast<int>(kind)]; }

FilterRecord& filterRecord() {
  if (gFilterRecord == nullptr) throw XLock(TESSALY_HERE);
  return *gFilterRecord;
}

HostRect& requestRect(FilterRecord& r, HostStream kind) {
  switch (kind) {
    case HostStream::input:
      return r.inRect;
    case HostStream::output:
      return r.outRect;
    case HostStream::mask:
      break;
  }
  return r.maskRect;
}

// Asks the host to deliver what the request fields describe. Out of memory
// is retried as long as purging frees something; a cancel in the host is
// the user's; anything else makes the host let go of its buffers, and the
// caller is to ask for a smaller piece.
void deliver(FilterRecord& r) {
  for (;;) {
    const HostError result = r.advanceState();
    if (result == kHostNoError) return;
    if (result == kHostUserCancelled) throw XCancel(TESSALY_HERE);
    if (result == kHostOutOfMemory) {
      try {
        allocationFailureHandler();
        continue;
      } catch (const XMemory&) {
        // The host has no memory left for this piece; a smaller one may do.
        clearErrors();
      }
    }
    const HostRect in = r.inRect, out = r.outRect, mask = r.maskRect;
    r.inRect = r.outRect = r.maskRect = HostRect{0, 0, 0, 0};
    r.advanceState();
    r.inRect = in;
    r.outRect = out;
    r.maskRect = mask;
    throw XReduce(TESSALY_HERE, result);
  }
}

// Integer division rounding up, also for negative values.
int32_t ceilDiv(int32_t a, int32_t b) { return -floorDiv(-a, b); }

// C division truncates; the reduced request is defined with it.
int16_t narrow(int32_t value) { return static_cast<int16_t>(value); }

}  // namespace

bool hostStreamLocked(HostStream kind) { return streamLocks(kind) != 0; }

HostImage::HostImage(PixelLayout layout, int16_t plane, HostStream kind, bool absolute,
                     int16_t reduction)
    : Image(layout, Rect{}), kind_(kind), plane_(plane), absolute_(absolute), reduction_(reduction) {
  const HostRect& filter = filterRecord().filterRect;
  bounds_ = Rect{0, 0, narrow(filter.bottom - filter.top), narrow(filter.right - filter.left)};
}

uint32_t HostImage::memoryUsage() const { return sizeof(HostImage); }

Rect HostImage::reducedRequest(const Rect& wanted, int16_t k, Point origin) {
  const int32_t top = (wanted.top + origin.v) / k - origin.v;
  const int32_t left = (wanted.left + origin.h) / k - origin.h;
  return {narrow(top), narrow(left), narrow(top + ceilDiv(wanted.height(), k)),
          narrow(left + ceilDiv(wanted.width(), k))};
}

PlaneView HostImage::lock(Rect& rect, LockMode) {
  FilterRecord& r = filterRecord();
  int& locks = streamLocks(kind_);
  if (locks != 0) throw XLock(TESSALY_HERE);
  ++locks;

  const Point origin{r.filterRect.top, r.filterRect.left};
  const Rect request = reduction_ >= 1 ? reducedRequest(rect, reduction_, origin) : rect;
  const int16_t planes = colourChannelsOfMode(layout_.imageMode);
  if (absolute_) r.wantsAbsolute = 1;
  if (reduction_ >= 1) r.inputRate = static_cast<HostFixed>(reduction_) << 16;
  requestRect(r, kind_) = HostRect{narrow(request.top + origin.v), narrow(request.left + origin.h),
                                   narrow(request.bottom + origin.v), narrow(request.right + origin.h)};
  if (kind_ == HostStream::input) {
    r.inLoPlane = plane_;
    r.inHiPlane = narrow(plane_ + planes - 1);
  } else if (kind_ == HostStream::output) {
    r.outLoPlane = plane_;
    r.outHiPlane = narrow(plane_ + planes - 1);
  }

  try {
    deliver(r);
  } catch (...) {
    release();
    throw;
  }

  switch (kind_) {
    case HostStream::input:
      return {static_cast<uint8_t*>(r.inData), layout_.bytesPerPixel, r.inRowBytes};
    case HostStream::output:
      return {static_cast<uint8_t*>(r.outData), layout_.bytesPerPixel, r.outRowBytes};
    case HostStream::mask:
      break;
  }
  return {static_cast<uint8_t*>(r.maskData), layout_.bytesPerPixel, r.maskRowBytes};
}

void HostImage::unlock(const Rect&) { release(); }

void HostImage::release() {
  FilterRecord& r = filterRecord();
  if (absolute_) r.wantsAbsolute = 0;
  if (reduction_ >= 1) r.inputRate = kRateOne;
  HostRect& request = requestRect(r, kind_);
  request.right = request.left;
  int& locks = streamLocks(kind_);
  if (locks > 0) --locks;
}

std::unique_ptr<PieceIterator> HostImage::newRegionIterator(const Region& region) const {
  return newGridIterator(region, kHostPiece);
}

std::unique_ptr<PieceIterator> HostImage::newRectIterator(const Rect& rect) const {
  return newGridIterator(rect, kHostPiece);
}

// ---- Is the target plane a colour channel? ----------------------------------

namespace {

bool sameBytes(const PlaneView& a, const PlaneView& b, const Rect& piece) {
  const size_t width = static_cast<size_t>(piece.width());
  for (int32_t row = 0; row < piece.height(); ++row)
    if (std::memcmp(a.at(row, 0), b.at(row, 0), width) != 0) return false;
  return true;
}

constexpr PixelLayout kOnePlane{1, kHostModeGrayScale};
constexpr int kPasses = 7;
constexpr int kFirstPieceNumber = 3;

}  // namespace

// The pieces are visited in seven interleaved passes, so that a plane that
// differs somewhere is usually found different long before the whole plane
// has been read.
bool planeIsColourChannel(int16_t first, int16_t end) {
  if (end <= first) return false;  // no candidate can be equal
  const FilterRecord& r = filterRecord();
  HostImage output(kOnePlane, narrow(r.planes - 1), HostStream::output);
  std::vector<bool> different(static_cast<size_t>(end - first), false);
  int32_t candidates = end - first;

  for (int pass = 0; pass < kPasses; ++pass) {
    const std::unique_ptr<PieceIterator> pieces = output.newRectIterator(output.bounds());
    for (int32_t number = kFirstPieceNumber; !pieces->next(); ++number) {
      if (number % kPasses != pass) continue;
      const Rect piece = pieces->piece();
      const StPieceLock target(output, piece, LockMode::read);
      for (int16_t plane = first; plane < end; ++plane) {
        if (different[static_cast<size_t>(plane - first)]) continue;
        HostImage candidate(kOnePlane, plane, HostStream::input, true);
        const StPieceLock other(candidate, piece, LockMode::read);
        if (sameBytes(target.view(), other.view(), piece)) continue;
        different[static_cast<size_t>(plane - first)] = true;
        if (--candidates == 0) return false;
      }
    }
  }
  return true;
}

namespace {

// The filter refuses a target that is in fact one of the colour channels:
// equal to one of them and to none of the other planes.
bool targetIsColourChannel(int16_t colourChannels, int16_t totalPlanes) {
  return planeIsColourChannel(0, colourChannels) &&
         !planeIsColourChannel(colourChannels, totalPlanes);
}

struct ColourChannelTestRegistrar {
  ColourChannelTestRegistrar() { plugInServices().targetIsColourChannel = targetIsColourChannel; }
} gColourChannelTestRegistrar;

// ---- Colour conversion through the host ---------------------------------------

int16_t hostSpaceOfMode(int16_t mode) {
  switch (mode) {
    case kHostModeRGB:
    case kHostModeRGB48:
      return kHostSpaceRGB;
    case kHostModeCMYK:
      return kHostSpaceCMYK;
    case kHostModeHSL:
      return kHostSpaceHSL;
    case kHostModeHSB:
      return kHostSpaceHSB;
    case kHostModeLab:
      return kHostSpaceLab;
    default:  // bitmap, greyscale, indexed, multichannel, duotone, 16-bit grey
      return kHostSpaceGray;
  }
}

}  // namespace

int16_t convertColour(const PixelLayout& from, const uint8_t* source, const PixelLayout& to,
                      uint8_t* destination) {
  if (from.imageMode == to.imageMode) {
    std::memcpy(destination, source, static_cast<size_t>(std::clamp<int16_t>(from.bytesPerPixel, 0, 4)));
    return kHostNoError;
  }
  HostColourServicesProc colourServices = gFilterRecord != nullptr      ? gFilterRecord->colorServices
                                          : gSelectionParams != nullptr ? gSelectionParams->colorServices
                                                                        : nullptr;
  if (colourServices == nullptr) return kHostFilterBadParameters;

  HostColourServicesInfo info{};
  static_assert(sizeof(HostColourServicesInfo) == 36, "the host expects a 36-byte request");
  info.infoSize = sizeof info;
  info.selector = kHostColourServicesConvert;
  info.sourceSpace = hostSpaceOfMode(from.imageMode);
  info.resultSpace = hostSpaceOfMode(to.imageMode);
  const int16_t sourceBytes = std::clamp<int16_t>(from.bytesPerPixel, 0, 4);
  for (int16_t i = 0; i < sourceBytes; ++i) info.colourComponents[i] = source[i];
  if (info.sourceSpace == kHostSpaceHSB)
    info.colourComponents[0] = narrow((info.colourComponents[0] * 360 + 128) >> 8);

  const HostError result = colourServices(&info);

  if (info.resultSpace == kHostSpaceHSB)
    info.colourComponents[0] = narrow((info.colourComponents[0] * 256 + 180) / 360);
  // Only the destination's own bytes: a grey pixel has room for one.
  const int16_t destinationBytes = std::clamp<int16_t>(to.bytesPerPixel, 0, 4);
  for (int16_t i = 0; i < destinationBytes; ++i)
    destination[i] = static_cast<uint8_t>(info.colourComponents[i]);
  return result;
}
