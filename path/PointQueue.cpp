#include "path/PointQueue.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <utility>

static_assert(sizeof(PointBlock) == 16, "a block's header takes a quarter of the smallest block");
static_assert(PointBlock::capacityOf(0) == 6 && PointBlock::capacityOf(6) == 510);
static_assert(PointBlock::bytes(PointBlock::kSizeClasses - 1) == PointBlock::kLargestBytes);

namespace {

constexpr size_t kLineBytes = 64;
constexpr size_t kLargestSlabBytes = 256 * 1024;

}  // namespace

PointBlock* PointBlockPool::take(int sizeClass) {
  PointBlock* block = free_[size_t(sizeClass)];
  if (block != nullptr) {
    free_[size_t(sizeClass)] = block->next;
  } else {
    const size_t bytes = PointBlock::bytes(sizeClass);
    if (size_t(slabEnd_ - slabNext_) < bytes) newSlab(bytes);
    block = new (slabNext_) PointBlock;
    slabNext_ += bytes;
  }
  block->next = nullptr;
  block->capacity = PointBlock::capacityOf(sizeClass);
  block->sizeClass = uint8_t(sizeClass);
  return block;
}

void PointBlockPool::give(PointBlock* block) {
  block->next = free_[block->sizeClass];
  free_[block->sizeClass] = block;
}

// Slabs grow with the pool, a quarter of what it holds at a time, so a small
// trace takes little and a large one few slabs. What is left of the slab
// before is cut into blocks for the free lists.
void PointBlockPool::newSlab(size_t atLeast) {
  for (int sizeClass = PointBlock::kSizeClasses - 1; sizeClass >= 0; --sizeClass) {
    const size_t bytes = PointBlock::bytes(sizeClass);
    while (size_t(slabEnd_ - slabNext_) >= bytes) {
      PointBlock* block = new (slabNext_) PointBlock;
      block->sizeClass = uint8_t(sizeClass);
      give(block);
      slabNext_ += bytes;
    }
  }
  const size_t quarter = bytesAllocated_ / 4 / PointBlock::kLargestBytes * PointBlock::kLargestBytes;
  const size_t bytes = std::max(atLeast, std::clamp(quarter, PointBlock::kLargestBytes, kLargestSlabBytes));
  // Not zeroed: blocks are written before they are read.
  slabs_.emplace_back(new std::byte[bytes + kLineBytes - 1]);
  bytesAllocated_ += bytes + kLineBytes - 1;
  const auto start = reinterpret_cast<uintptr_t>(slabs_.back().get());
  slabNext_ = slabs_.back().get() + ((kLineBytes - start % kLineBytes) % kLineBytes);
  slabEnd_ = slabNext_ + bytes;
}

PointQueue& PointQueue::operator=(PointQueue&& other) noexcept {
  front_ = std::exchange(other.front_, nullptr);
  back_ = std::exchange(other.back_, nullptr);
  size_ = std::exchange(other.size_, 0);
  return *this;
}

// The largest block no larger than what the queue holds: a queue's blocks
// grow as it does, and its two partly used end blocks together hold no
// more room than it has points.
PointBlock* PointQueue::newBlock(PointBlockPool& pool) const {
  const size_t smallestCapacity = PointBlock::capacityOf(0);
  const size_t bytesUsed = (std::max(size_, smallestCapacity) + 2) * sizeof(PathPoint);
  const int sizeClass = std::bit_width(bytesUsed / PointBlock::kSmallestBytes) - 1;
  return pool.take(std::min(sizeClass, PointBlock::kSizeClasses - 1));
}

// An outline grows at both ends: its first block starts in the middle, so
// both ends fill it before either needs another.
void PointQueue::newFront(PointBlockPool& pool) {
  PointBlock* block = newBlock(pool);
  if (front_ == nullptr) {
    block->begin = block->end = block->capacity / 2;
    front_ = back_ = block;
    return;
  }
  block->begin = block->end = block->capacity;
  block->next = front_;
  front_ = block;
}

void PointQueue::newBack(PointBlockPool& pool) {
  PointBlock* block = newBlock(pool);
  if (back_ == nullptr) {
    block->begin = block->end = block->capacity / 2;
    front_ = back_ = block;
    return;
  }
  block->begin = block->end = 0;
  back_->next = block;
  back_ = block;
}

void PointQueue::moveToBack(PointQueue& from, PointBlockPool& pool) {
  for (const PointBlock* b = from.front_; b != nullptr; b = b->next) {
    const PathPoint* source = b->points() + b->begin;
    size_t left = size_t(b->end - b->begin);
    while (left > 0) {
      if (back_ == nullptr || back_->end == back_->capacity) newBack(pool);
      const size_t n = std::min(left, size_t(back_->capacity - back_->end));
      std::memcpy(back_->points() + back_->end, source, n * sizeof(PathPoint));
      back_->end = uint16_t(back_->end + n);
      size_ += n;
      source += n;
      left -= n;
    }
  }
  from.release(pool);
}

void PointQueue::moveToFront(PointQueue& from, PointBlockPool& pool) {
  // The blocks of `from` are walked back to front: turn their links round.
  PointBlock* reversed = nullptr;
  for (PointBlock* b = std::exchange(from.front_, nullptr); b != nullptr;) {
    PointBlock* next = b->next;
    b->next = reversed;
    reversed = b;
    b = next;
  }
  from.back_ = nullptr;
  from.size_ = 0;
  while (reversed != nullptr) {
    PointBlock* b = reversed;
    reversed = b->next;
    size_t left = size_t(b->end - b->begin);
    while (left > 0) {
      if (front_ == nullptr || front_->begin == 0) newFront(pool);
      const size_t n = std::min(left, size_t(front_->begin));
      front_->begin = uint16_t(front_->begin - n);
      std::memcpy(front_->points() + front_->begin, b->points() + b->begin + (left - n),
                  n * sizeof(PathPoint));
      size_ += n;
      left -= n;
    }
    pool.give(b);
  }
}

void PointQueue::appendAll(PointQueue& other, PointBlockPool& pool) {
  if (other.size_ <= size_) {
    moveToBack(other, pool);
  } else {
    other.moveToFront(*this, pool);
    *this = std::move(other);
  }
}

void PointQueue::prependAll(PointQueue& other, PointBlockPool& pool) {
  if (other.size_ <= size_) {
    moveToFront(other, pool);
  } else {
    other.moveToBack(*this, pool);
    *this = std::move(other);
  }
}

void PointQueue::copyTo(PathPoint* out) const {
  for (const PointBlock* b = front_; b != nullptr; b = b->next) {
    std::memcpy(out, b->points() + b->begin, size_t(b->end - b->begin) * sizeof(PathPoint));
    out += b->end - b->begin;
  }
}

void PointQueue::release(PointBlockPool& pool) {
  PointBlock* block = front_;
  while (block != nullptr) {
    PointBlock* next = block->next;
    pool.give(block);
    block = next;
  }
  front_ = back_ = nullptr;
  size_ = 0;
}
