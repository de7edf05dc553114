// The points of an outline that is still being followed. Both ends of the
// outline grow, so points are added at the front and at the back. Storage
// comes in blocks that never move, sized to what the queue holds: a new
// outline starts in a 64-byte block, and each further block is about as
// large as the queue already is, up to 4096 bytes. When two outlines join,
// the points of the shorter one move onto the longer one, so a queue is
// full blocks between its two end blocks, and memory follows the points
// kept, not the joins made (bench_path: `peak_bytes_per_kept_point` of the
// noise mask, where outlines start and join at nearly every pixel).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// A point in sub-pixel units (1/S of a pixel), document coordinates.
struct PathPoint {
  int32_t v = 0;
  int32_t h = 0;

  friend bool operator==(const PathPoint&, const PathPoint&) = default;
};

// A block's points follow its header in the same allocation.
struct PointBlock {
  static constexpr size_t kSmallestBytes = 64;
  static constexpr size_t kLargestBytes = 4096;
  static constexpr int kSizeClasses = 7;  // 64, 128, ..., 4096 bytes

  PointBlock* next = nullptr;
  uint16_t begin = 0;  // the used points are [begin, end)
  uint16_t end = 0;
  uint16_t capacity = 0;
  uint8_t sizeClass = 0;

  static constexpr size_t bytes(int sizeClass) { return kSmallestBytes << sizeClass; }
  static constexpr uint16_t capacityOf(int sizeClass) {
    return uint16_t((bytes(sizeClass) - sizeof(PointBlock)) / sizeof(PathPoint));
  }
  PathPoint* points() { return reinterpret_cast<PathPoint*>(this + 1); }
  const PathPoint* points() const { return reinterpret_cast<const PathPoint*>(this + 1); }
};

// Blocks freed by finished or joined outlines wait here, by size, for the
// next outline, so a trace takes only as much memory as its busiest row
// holds. The blocks are cut from larger slabs, on cache-line boundaries.
class PointBlockPool {
 public:
  PointBlockPool() = default;
  PointBlockPool(const PointBlockPool&) = delete;
  PointBlockPool& operator=(const PointBlockPool&) = delete;

  // An empty block of the size class (0 is the smallest); begin and end are
  // for the caller to set.
  PointBlock* take(int sizeClass);
  void give(PointBlock* block);
  // Memory taken from the heap so far: blocks in use and blocks waiting.
  size_t bytesAllocated() const { return bytesAllocated_; }

 private:
  void newSlab(size_t atLeast);

  std::array<PointBlock*, PointBlock::kSizeClasses> free_{};
  std::vector<std::unique_ptr<std::byte[]>> slabs_;
  std::byte* slabNext_ = nullptr;
  std::byte* slabEnd_ = nullptr;
  size_t bytesAllocated_ = 0;
};

class PointQueue {
 public:
  PointQueue() = default;
  PointQueue(PointQueue&& other) noexcept { *this = std::move(other); }
  PointQueue& operator=(PointQueue&& other) noexcept;
  PointQueue(const PointQueue&) = delete;
  PointQueue& operator=(const PointQueue&) = delete;

  void pushFront(PathPoint point, PointBlockPool& pool) {
    if (front_ == nullptr || front_->begin == 0) newFront(pool);
    front_->points()[--front_->begin] = point;
    ++size_;
  }
  void pushBack(PathPoint point, PointBlockPool& pool) {
    if (back_ == nullptr || back_->end == back_->capacity) newBack(pool);
    back_->points()[back_->end++] = point;
    ++size_;
  }
  // Puts every point of `other` behind (appendAll) or before (prependAll)
  // this queue's points; `other` is left empty. The points of the shorter
  // queue are the ones that move.
  void appendAll(PointQueue& other, PointBlockPool& pool);
  void prependAll(PointQueue& other, PointBlockPool& pool);
  // Hands every block back to the pool; the queue is empty afterwards.
  void release(PointBlockPool& pool);

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // Copies the points, front to back, to out (room for size() points).
  void copyTo(PathPoint* out) const;

  // Calls f(point) from front to back.
  template <class F>
  void forEach(F&& f) const {
    for (const PointBlock* b = front_; b != nullptr; b = b->next)
      for (int32_t i = b->begin; i < b->end; ++i) f(b->points()[i]);
  }

 private:
  void newFront(PointBlockPool& pool);
  void newBack(PointBlockPool& pool);
  PointBlock* newBlock(PointBlockPool& pool) const;
  // Moves every point of `from` onto this queue's back or front, and
  // releases `from`.
  void moveToBack(PointQueue& from, PointBlockPool& pool);
  void moveToFront(PointQueue& from, PointBlockPool& pool);

  PointBlock* front_ = nullptr;
  PointBlock* back_ = nullptr;
  size_t size_ = 0;
};
