// The rectangle transfers every Image has on top of locking: ReadRect,
// WriteRect and ReadPadded, piece by piece. Copies of many megabytes go
// through streaming stores (StreamingCopy.h).
#include "image/OfflineImage.h"

#include "image/Kernels.h"
#include "image/PieceWalk.h"
#include "image/StreamingCopy.h"

PlaneView Image::LockRect(const Rect& rect, LockMode mode, Rect& piece) {
  piece = rect;
  const PlaneView view = lock(piece, mode);
  return view.offsetBy(rect.top - piece.top, rect.left - piece.left);
}

void Image::ReadRect(const Rect& rect, const PlaneView& destination) {
  const int32_t pixelBytes = layout_.bytesPerPixel;
  const ImageKernels& kernels = imageKernels(platform::simdLevel());
  if (streamsCopy(kernels, rect, pixelBytes)) return streamRead(*this, rect, destination, kernels);
  walkPieces(
      *this, rect, LockMode::read,
      [&](const Rect& piece, const PlaneView& source, const Rect&) {
        CopyRowsOut(source, piece.height(), piece.width() * pixelBytes,
                    destination.at(piece.top - rect.top, piece.left - rect.left), destination.rowStep);
      },
      [&](const Rect& piece, uint8_t fill) {
        FillPlane(destination.offsetBy(piece.top - rect.top, piece.left - rect.left), piece.height(),
                  piece.width() * pixelBytes, fill);
      });
}

void Image::WriteRect(const Rect& rect, const PlaneView& source) {
  const int32_t pixelBytes = layout_.bytesPerPixel;
  const ImageKernels& kernels = imageKernels(platform::simdLevel());
  if (streamsCopy(kernels, rect, pixelBytes)) return streamWrite(*this, rect, source, kernels);
  walkPieces(
      *this, rect, LockMode::write,
      [&](const Rect& piece, const PlaneView& target, const Rect&) {
        CopyRowsIn(target, piece.height(), piece.width() * pixelBytes,
                   source.at(piece.top - rect.top, piece.left - rect.left), source.rowStep);
      },
      nullptr);
}

namespace {

// Moves `along` (one dimension of a request wholly outside the image in
// that dimension) so that it overlaps the image's range by exactly one.
void shiftToOverlapOne(int16_t& first, int16_t& last, int16_t imageFirst, int16_t imageLast) {
  int32_t shift = 0;
  if (last <= imageFirst)
    shift = imageFirst + 1 - last;
  else if (first >= imageLast)
    shift = imageLast - 1 - first;
  first = clampTo16(first + shift);
  last = clampTo16(last + shift);
}

}  // namespace

void Image::ReadPadded(const Rect& rect, const PlaneView& destination, int32_t padding) {
  if (padding < kPadInsideOnly || padding > 255) throw XPadding(TESSALY_HERE);
  if (rect.empty()) return;
  const int32_t pixelBytes = layout_.bytesPerPixel;
  Rect work = rect;
  if (!rect.meets(bounds_)) {
    switch (padding) {
      case kPadInsideOnly:
        throw XPadding(TESSALY_HERE);
      case kPadUntouched:
        return;
      case kPadReplicate:
        if (bounds_.empty()) throw XPadding(TESSALY_HERE);
        shiftToOverlapOne(work.top, work.bottom, bounds_.top, bounds_.bottom);
        shiftToOverlapOne(work.left, work.right, bounds_.left, bounds_.right);
        break;
      default:
        FillPlane(destination, rect.height(), rect.width() * pixelBytes, static_cast<uint8_t>(padding));
        return;
    }
  }
  const Rect clipped = work.intersection(bounds_);
  if (padding == kPadInsideOnly && clipped != rect) throw XPadding(TESSALY_HERE);
  const Rect inner = clipped.offsetBy(static_cast<int16_t>(-work.top), static_cast<int16_t>(-work.left));
  ReadRect(clipped, destination.offsetBy(inner.top, inner.left));

  const Rect outer{0, 0, static_cast<int16_t>(rect.height()), static_cast<int16_t>(rect.width())};
  if (padding == kPadReplicate)
    ReplicateEdges(destination, outer, inner);
  else if (padding >= 0)
    FillMargins(destination, outer, inner, static_cast<uint8_t>(padding));
}
