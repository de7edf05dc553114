#include "image/StreamingCopy.h"

#include <memory>
#include <vector>

#include "image/OfflineImage.h"
#include "image/PieceWalk.h"

namespace {

constexpr size_t kStreamingBytes = size_t{8} << 20;

// The lines that pieces have filled in part, one per row of the
// destination (modulo more rows than a tile has: a row's line waits for the
// tile beside it), written out the ordinary way when the copy ends, also by
// an exception; then the streaming stores are fenced, so that whatever
// comes next sees them.
class StPendingLines {
 public:
  StPendingLines(const ImageKernels& kernels, size_t count) : kernels_(kernels), lines_(count) {}
  ~StPendingLines() { finish(); }
  StPendingLines(const StPendingLines&) = delete;
  StPendingLines& operator=(const StPendingLines&) = delete;

  PendingLine* data() { return lines_.data(); }
  size_t size() const { return lines_.size(); }
  void finish() { kernels_.finishStreaming(lines_.data(), lines_.size()); }

 private:
  const ImageKernels& kernels_;
  std::vector<PendingLine> lines_;
};

// WriteRect's walk. Written one piece at a time, each piece (a tile) would
// take a little of every source row and wait for each row on its own;
// instead the pieces of a band are locked (up to kBandPieces of them, when
// the image's pieces may be locked together), copied row by row across,
// made visible in memory and released, last first. A piece whose rows do
// not follow each other in memory is copied the ordinary way on its own.
// When a lock fails, or the storage asks for smaller pieces, the pieces
// held are written first, as the one-piece walk would have.
class BandWriter {
 public:
  BandWriter(Image& image, const Rect& rect, const PlaneView& source, const ImageKernels& kernels)
      : image_(image),
        rect_(rect),
        source_(source),
        kernels_(kernels),
        pixelBytes_(image.layout().bytesPerPixel),
        bandPieces_(image.locksPiecesTogether() ? kBandPieces : 1),
        pending_(kernels, bandPieces_) {}
  ~BandWriter() { release(); }
  BandWriter(const BandWriter&) = delete;
  BandWriter& operator=(const BandWriter&) = delete;

  void write() {
    const std::unique_ptr<PieceIterator> pieces = image_.newRectIterator(rect_);
    bool done = pieces->next();
    while (!done) {
      const Rect piece = pieces->piece();
      if (!held_.empty() && (piece.top != band_.top || piece.bottom != band_.bottom || held_.size() == bandPieces_))
        flush();
      try {
        take(piece);
      } catch (const XReduce&) {
        flush();
        if (pieces->reduce()) throw;
        continue;
      } catch (...) {
        flush();
        throw;
      }
      done = pieces->next();
    }
    flush();
  }

 private:
  static constexpr size_t kBandPieces = 64;

  void take(const Rect& piece) {
    auto lock = std::make_unique<StPieceLock>(image_, piece, LockMode::write);
    if (!lock->piece().contains(piece)) throw XLock(TESSALY_HERE);
    const PlaneView& target = lock->view();
    const int32_t n = piece.width() * pixelBytes_;
    const uint8_t* from = source_.at(piece.top - rect_.top, piece.left - rect_.left);
    if (target.rowStep != n) {
      CopyRowsIn(target, piece.height(), n, from, source_.rowStep);
      return;
    }
    if (held_.empty()) band_ = piece;
    runs_.push_back({target.data, static_cast<size_t>(from - bandSource()), static_cast<size_t>(n)});
    held_.push_back(std::move(lock));
  }

  const uint8_t* bandSource() const { return source_.at(band_.top - rect_.top, 0); }

  // Copies the band held, fences the streaming stores so that the bytes
  // are in memory before any lock is released, and releases the pieces.
  void flush() {
    if (!runs_.empty())
      kernels_.streamBand(runs_.data(), runs_.size(), bandSource(), source_.rowStep, band_.height(), pending_.data());
    pending_.finish();
    release();
  }

  void release() {
    runs_.clear();
    while (!held_.empty()) held_.pop_back();
  }

  Image& image_;
  const Rect rect_;
  const PlaneView source_;
  const ImageKernels& kernels_;
  const int32_t pixelBytes_;
  const size_t bandPieces_;
  StPendingLines pending_;
  Rect band_;
  std::vector<BandRun> runs_;
  std::vector<std::unique_ptr<StPieceLock>> held_;
};

}  // namespace

bool streamsCopy(const ImageKernels& kernels, const Rect& rect, int32_t pixelBytes) {
  return kernels.streamRows != nullptr && !rect.empty() &&
         static_cast<size_t>(rect.height()) * static_cast<size_t>(rect.width()) * static_cast<size_t>(pixelBytes) >=
             kStreamingBytes;
}

void streamRead(Image& image, const Rect& rect, const PlaneView& destination, const ImageKernels& kernels) {
  const int32_t pixelBytes = image.layout().bytesPerPixel;
  const size_t rowBytes = static_cast<size_t>(rect.width() * pixelBytes);
  StPendingLines pending(kernels, 256);
  walkPieces(
      image, rect, LockMode::read,
      [&](const Rect& piece, const PlaneView& source, const Rect&) {
        const int32_t v = piece.top - rect.top;
        const StreamedRows rows{destination.at(v, piece.left - rect.left),
                                destination.rowStep,
                                source.data,
                                source.rowStep,
                                piece.height(),
                                static_cast<size_t>(piece.width() * pixelBytes),
                                destination.at(v, 0),
                                rowBytes,
                                static_cast<size_t>(v)};
        kernels.streamRows(rows, pending.data(), pending.size());
      },
      [&](const Rect& piece, uint8_t fill) {
        FillPlane(destination.offsetBy(piece.top - rect.top, piece.left - rect.left), piece.height(),
                  piece.width() * pixelBytes, fill);
      });
}

void streamWrite(Image& image, const Rect& rect, const PlaneView& source, const ImageKernels& kernels) {
  BandWriter(image, rect, source, kernels).write();
}
