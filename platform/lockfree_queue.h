// lockfree_queue.h: a bounded queue that many threads may write and one
// thread reads, without a lock: each cell carries a sequence number that says
// whose turn it is. For what must reach another thread from a real-time one.
#ifndef PLINKAR_PLATFORM_LOCKFREE_QUEUE_H
#define PLINKAR_PLATFORM_LOCKFREE_QUEUE_H

#include <atomic>
#include <cstdint>

template <typename T, uint32_t Size>  // Size a power of two
struct LockFreeQueue {
  static_assert((Size & (Size - 1)) == 0, "a power of two");
  static constexpr uint32_t kSize = Size;
  struct Cell {
    std::atomic<uint32_t> sequence;
    T value;
  };
  Cell cells[Size];
  std::atomic<uint32_t> writeAt{0};
  std::atomic<uint32_t> readAt{0};
  LockFreeQueue() {
    for (uint32_t i = 0; i < Size; i++) cells[i].sequence.store(i, std::memory_order_relaxed);
  }
};

// False when the queue is full: the value is not taken.
template <typename T, uint32_t Size>
bool queuePush(LockFreeQueue<T, Size>* queue, const T& value) {
  uint32_t at = queue->writeAt.load(std::memory_order_relaxed);
  for (;;) {
    auto& cell = queue->cells[at % Size];
    const uint32_t sequence = cell.sequence.load(std::memory_order_acquire);
    const int32_t turn = static_cast<int32_t>(sequence - at);
    if (turn == 0) {
      // This cell is free for position `at`: claim it, unless another writer did.
      if (queue->writeAt.compare_exchange_weak(at, at + 1, std::memory_order_relaxed)) {
        cell.value = value;
        cell.sequence.store(at + 1, std::memory_order_release);
        return true;
      }
    } else if (turn < 0) {
      return false;  // the reader has not taken this cell's last value yet
    } else {
      at = queue->writeAt.load(std::memory_order_relaxed);
    }
  }
}

// The reader's: false when the queue is empty.
template <typename T, uint32_t Size>
bool queuePop(LockFreeQueue<T, Size>* queue, T* value) {
  const uint32_t at = queue->readAt.load(std::memory_order_relaxed);
  auto& cell = queue->cells[at % Size];
  if (cell.sequence.load(std::memory_order_acquire) != at + 1) return false;
  *value = cell.value;
  cell.sequence.store(at + Size, std::memory_order_release);
  queue->readAt.store(at + 1, std::memory_order_relaxed);
  return true;
}

#endif  // PLINKAR_PLATFORM_LOCKFREE_QUEUE_H
