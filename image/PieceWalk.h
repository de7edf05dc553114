// The walk every image operation makes over a rectangle: lock a piece,
// work on it, unlock; a piece whose storage was never written reads as its
// fill byte, and a piece the storage cannot deliver is asked for again
// smaller as long as the iterator can cut it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "image/Image.h"
#include "image/PieceIterator.h"
#include "shell/Exceptions.h"

// Walks the pieces of rect, locking each in `mode` and handing the locked
// view (at the piece's top-left) and the whole locked piece to `work`.
// XReduce asks the iterator for a smaller piece and tries again; XUnmapped
// goes to `unmapped` when given (nullptr: it travels on).
template <typename Work, typename Unmapped>
void walkPieces(Image& image, const Rect& rect, LockMode mode, Work work, Unmapped unmapped) {
  const std::unique_ptr<PieceIterator> pieces = image.newRectIterator(rect);
  bool done = pieces->next();
  while (!done) {
    const Rect piece = pieces->piece();
    try {
      StPieceLock locked(image, piece, mode);
      // The image promises a lock that holds the whole piece; working on a
      // part of it would leave the rest unread or unwritten.
      if (!locked.piece().contains(piece)) throw XLock(TESSALY_HERE);
      work(piece, locked.view(), locked.piece());
    } catch (const XUnmapped& e) {
      if constexpr (std::is_same_v<Unmapped, std::nullptr_t>) {
        throw;
      } else {
        unmapped(piece, e.fill());
      }
    } catch (const XReduce&) {
      if (pieces->reduce()) throw;
      continue;
    }
    done = pieces->next();
  }
}

inline int16_t clampTo16(int32_t value) {
  return static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}
