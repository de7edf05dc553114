#include "path/PointQueue.h"

#include <cstring>
#include <utility>

PointBlock* PointBlockPool::take() {
  PointBlock* block = free_;
  if (block != nullptr) {
    free_ = block->next;
  } else {
    owned_.push_back(std::make_unique<PointBlock>());
    block = owned_.back().get();
  }
  block->previous = block->next = nullptr;
  block->begin = block->end = 0;
  return block;
}

void PointBlockPool::give(PointBlock* block) {
  block->next = free_;
  free_ = block;
}

PointQueue& PointQueue::operator=(PointQueue&& other) noexcept {
  front_ = std::exchange(other.front_, nullptr);
  back_ = std::exchange(other.back_, nullptr);
  size_ = std::exchange(other.size_, 0);
  return *this;
}

// An outline grows at both ends: its first block starts in the middle, so
// both ends fill it before either needs another.
PointBlock* PointQueue::firstBlock(PointBlockPool& pool) {
  PointBlock* block = pool.take();
  block->begin = block->end = PointBlock::kCapacity / 2;
  front_ = back_ = block;
  return block;
}

void PointQueue::pushBack(PathPoint point, PointBlockPool& pool) {
  if (back_ == nullptr) {
    firstBlock(pool);
  } else if (back_->end == PointBlock::kCapacity) {
    PointBlock* block = pool.take();
    block->previous = back_;
    back_->next = block;
    back_ = block;
  }
  back_->points[back_->end++] = point;
  ++size_;
}

void PointQueue::pushFront(PathPoint point, PointBlockPool& pool) {
  if (front_ == nullptr) {
    firstBlock(pool);
  } else if (front_->begin == 0) {
    PointBlock* block = pool.take();
    block->begin = block->end = PointBlock::kCapacity;
    block->next = front_;
    front_->previous = block;
    front_ = block;
  }
  front_->points[--front_->begin] = point;
  ++size_;
}

void PointQueue::appendAll(PointQueue& other) {
  if (other.front_ == nullptr) return;
  if (front_ == nullptr) {
    *this = std::move(other);
    return;
  }
  back_->next = other.front_;
  other.front_->previous = back_;
  back_ = other.back_;
  size_ += other.size_;
  other.front_ = other.back_ = nullptr;
  other.size_ = 0;
}

void PointQueue::prependAll(PointQueue& other) {
  other.appendAll(*this);
  *this = std::move(other);
}

void PointQueue::copyTo(PathPoint* out) const {
  for (const PointBlock* b = front_; b != nullptr; b = b->next) {
    std::memcpy(out, b->points + b->begin, size_t(b->end - b->begin) * sizeof(PathPoint));
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
