// The points of an outline that is still being followed. Both ends of the
// outline grow, so points are added at the front and at the back; storage
// comes in fixed blocks that never move, and two queues join by relinking
// their blocks, so neither growing nor joining copies a point.
#pragma once

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

// The links come first, so the block's first points share their cache
// line.
struct PointBlock {
  static constexpr size_t kBytes = 4096;
  static constexpr int32_t kCapacity = kBytes / sizeof(PathPoint);  // 512

  PointBlock* previous = nullptr;
  PointBlock* next = nullptr;
  int32_t begin = 0;  // the used points are [begin, end)
  int32_t end = 0;
  PathPoint points[kCapacity];
};

// Blocks freed by finished outlines wait here for the next outline, so a
// trace allocates only as many blocks as are in use at its busiest row.
class PointBlockPool {
 public:
  PointBlock* take();
  void give(PointBlock* block);
  size_t blocksAllocated() const { return owned_.size(); }

 private:
  std::vector<std::unique_ptr<PointBlock>> owned_;
  PointBlock* free_ = nullptr;
};

class PointQueue {
 public:
  PointQueue() = default;
  PointQueue(PointQueue&& other) noexcept { *this = std::move(other); }
  PointQueue& operator=(PointQueue&& other) noexcept;
  PointQueue(const PointQueue&) = delete;
  PointQueue& operator=(const PointQueue&) = delete;

  void pushFront(PathPoint point, PointBlockPool& pool);
  void pushBack(PathPoint point, PointBlockPool& pool);
  // Moves every point of `other` behind (appendAll) or before (prependAll)
  // this queue's points; `other` is left empty.
  void appendAll(PointQueue& other);
  void prependAll(PointQueue& other);
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
      for (int32_t i = b->begin; i < b->end; ++i) f(b->points[i]);
  }

 private:
  PointBlock* firstBlock(PointBlockPool& pool);

  PointBlock* front_ = nullptr;
  PointBlock* back_ = nullptr;
  size_t size_ = 0;
};
