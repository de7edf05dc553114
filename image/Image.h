// The interface of every pixel container. An image is never one addressable
// block: a caller locks the piece that holds the point it wants, works on
// the bytes through a PlaneView, unlocks the piece and moves on with a
// PieceIterator that knows how the image is cut.
//
// The operations every image has on top of locking (rectangle transfer,
// padding, blur) and the plane primitives that work on locked pieces and
// private buffers are declared in OfflineImage.h.
#pragma once

#include <cstdint>
#include <memory>

#include "image/Geometry.h"

class PieceIterator;
class Region;

// Interleaved 8-bit planes: bytesPerPixel of them per pixel, in the host's
// image mode (1 greyscale, 3 RGB, 4 CMYK, 9 Lab, ...).
struct PixelLayout {
  int16_t bytesPerPixel = 1;
  int16_t imageMode = 1;

  friend bool operator==(const PixelLayout&, const PixelLayout&) = default;
};

// Bytes of a locked piece or of a private buffer, seen from its top-left
// pixel. Does not own the memory. The row step is 32-bit: a host row of a
// wide RGBA document is longer than 32767 bytes.
struct PlaneView {
  uint8_t* data = nullptr;
  int16_t colStep = 1;   // bytes from one pixel to its right neighbour
  int32_t rowStep = 0;   // bytes from one row to the next

  uint8_t* at(int32_t v, int32_t h) const {
    return data + static_cast<intptr_t>(v) * rowStep + static_cast<intptr_t>(h) * colStep;
  }
  PlaneView offsetBy(int32_t v, int32_t h) const { return {at(v, h), colStep, rowStep}; }
};

enum class LockMode : int16_t { read = 0, write = 1 };

// ReadPadded: what becomes of the part of a request outside the image.
// 0 to 255 fill every byte there with that value.
constexpr int32_t kPadInsideOnly = -3;   // the request must lie inside: XPadding
constexpr int32_t kPadUntouched = -2;    // leave those destination bytes alone
constexpr int32_t kPadReplicate = -1;    // repeat the nearest edge pixel

class Image {
 public:
  Image(PixelLayout layout, Rect bounds) : layout_(layout), bounds_(bounds) {}
  virtual ~Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  const PixelLayout& layout() const { return layout_; }
  const Rect& bounds() const { return bounds_; }

  // Bytes the image holds, for memory accounting.
  virtual uint32_t memoryUsage() const = 0;
  // Locks the piece that holds rect's top-left pixel; rect becomes that
  // piece and the view starts at its top-left. Throws XLock (XUnmapped on a
  // read of storage never written, XReduce when a smaller piece may work).
  virtual PlaneView lock(Rect& rect, LockMode mode) = 0;
  // Releases the piece locked last, given the rectangle lock returned.
  virtual void unlock(const Rect& piece) = 0;
  // True when several pieces may be locked at once, each lock independent
  // of the others (a tiled buffer's). An image whose pieces come one at a
  // time, such as the host's, says no.
  virtual bool locksPiecesTogether() const { return false; }
  // Iterators over the pieces a caller should lock; the caller owns them.
  // The defaults are band iterators (PieceIterator.h).
  virtual std::unique_ptr<PieceIterator> newRegionIterator(const Region& region) const;
  virtual std::unique_ptr<PieceIterator> newRectIterator(const Rect& rect) const;

  // Locks the piece holding rect's top-left pixel and returns a view that
  // starts at that pixel; `piece` receives the locked piece for unlock.
  // The caller stays inside the piece. Prefer StPieceLock.
  PlaneView LockRect(const Rect& rect, LockMode mode, Rect& piece);
  // Copies the image's bytes inside rect into destination, whose top-left
  // corresponds to rect's top-left. Never-written storage reads as its fill.
  void ReadRect(const Rect& rect, const PlaneView& destination);
  // Copies source into the image inside rect.
  void WriteRect(const Rect& rect, const PlaneView& source);
  // ReadRect for a rect that may reach outside the bounds; the outside is
  // handled by `padding` (kPad... or a fill byte 0 to 255).
  void ReadPadded(const Rect& rect, const PlaneView& destination, int32_t padding);
  // Blurs a one-byte image in place inside rect. Nonzero when rect does not
  // meet the image and nothing was done. Escape cancels (XCancel) between
  // rows; rows written before stay blurred.
  int GaussianBlur(const Rect& rect, double sigma);

 protected:
  PixelLayout layout_;
  Rect bounds_;
};

// One locked piece for the duration of a scope; unlocked also when an
// exception passes. view() starts at the wanted rectangle's top-left.
class StPieceLock {
 public:
  StPieceLock(Image& image, const Rect& wanted, LockMode mode)
      : image_(image), view_(image.LockRect(wanted, mode, piece_)) {}
  ~StPieceLock() { image_.unlock(piece_); }
  StPieceLock(const StPieceLock&) = delete;
  StPieceLock& operator=(const StPieceLock&) = delete;

  const PlaneView& view() const { return view_; }
  // The piece actually locked; it holds the wanted top-left pixel and may be
  // smaller or larger than the wanted rectangle.
  const Rect& piece() const { return piece_; }

 private:
  Image& image_;
  Rect piece_;
  PlaneView view_;
};
