// The host document's pixels inside a filter call. One HostImage reads or
// writes one group of interleaved planes of one of the host's three
// streams, asking the host for one rectangle at a time through the
// FilterRecord's request fields and advanceState.
#pragma once

#include <cstdint>

#include "image/Image.h"

enum class HostStream : int16_t {
  input = 0,   // the document's planes (inRect, inData)
  output = 1,  // the target planes the filter writes (outRect, outData)
  mask = 2     // the host's selection mask (maskRect, maskData)
};

class HostImage : public Image {
 public:
  // layout.bytesPerPixel planes from `plane` on; for the input and output
  // streams the host is asked for as many planes as the layout's mode has
  // colour channels. Bounds are (0, 0, filter height, filter width),
  // relative to the host's filterRect.
  //
  // absolute: plane numbers count all planes of the document (input only).
  // reduction k >= 1: the host delivers every k-th pixel; a wanted rectangle
  // in filter coordinates is delivered as its k-times smaller counterpart.
  // 0 leaves the host's input rate alone.
  HostImage(PixelLayout layout, int16_t plane, HostStream kind, bool absolute = false,
            int16_t reduction = 0);
  ~HostImage() override = default;

  uint32_t memoryUsage() const override;
  // Throws XLock while another piece of the same stream is locked, XCancel
  // when the user cancels in the host, XReduce when the host cannot deliver.
  // The locked rectangle is the wanted one.
  PlaneView lock(Rect& rect, LockMode mode) override;
  void unlock(const Rect& piece) override;
  // 128 x 128 pieces on multiples of 128.
  std::unique_ptr<PieceIterator> newRegionIterator(const Region& region) const override;
  std::unique_ptr<PieceIterator> newRectIterator(const Rect& rect) const override;

  HostStream kind() const { return kind_; }
  int16_t plane() const { return plane_; }

  // The host rectangle a reduced image asks for when `wanted` (in filter
  // coordinates) is locked, relative to the filter's top-left.
  static Rect reducedRequest(const Rect& wanted, int16_t k, Point filterOrigin);

 private:
  void release();

  HostStream kind_;
  int16_t plane_;
  bool absolute_;
  int16_t reduction_;
};

// Whether a piece of this stream is locked now (one host buffer per stream).
bool hostStreamLocked(HostStream kind);

// Whether the output plane's pixels equal those of at least one of the
// absolute planes first .. end - 1. Reads the planes through the host;
// stops as soon as every candidate is proven different.
bool planeIsColourChannel(int16_t first, int16_t end);

// Converts one pixel (at most 4 bytes) between layouts through the host's
// colour services. Same mode: the bytes are copied. Returns the host's
// result code.
int16_t convertColour(const PixelLayout& from, const uint8_t* source, const PixelLayout& to,
                      uint8_t* destination);
