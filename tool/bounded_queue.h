// BoundedQueue: a first-in first-out hand-over between one producing and one consuming
// thread, holding at most a fixed number of items, so that a producer running ahead
// waits instead of using more memory. The items live in a ring allocated once.
//
// Waking a thread costs far more than handing over one item, so a waiting side is woken
// for a batch of items, not for each: the consumer once WAKE_BATCH items are ready (or
// the producer flushes), the producer once the queue has drained to half.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

namespace morvask {

template <typename T>
class BoundedQueue {
public:
    static constexpr std::size_t WAKE_BATCH = 32;

    explicit BoundedQueue(std::size_t capacity) : ring_(capacity < 2 * WAKE_BATCH ? 2 * WAKE_BATCH : capacity) {}

    // Appends `item`, waiting while the queue is full. Returns false, dropping the item,
    // once the queue is closed.
    bool push(T&& item) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (count_ == ring_.size()) {
            producer_waiting_ = true;
            not_full_.wait(lock, [&] { return closed_ || count_ < ring_.size(); });
            producer_waiting_ = false;
        }
        if (closed_) return false;
        ring_[(head_ + count_) % ring_.size()] = std::move(item);
        ++count_;
        if (consumer_waiting_ && count_ >= WAKE_BATCH) not_empty_.notify_one();
        return true;
    }

    // Wakes the consumer for what is queued, however little. The producer calls this
    // before it waits for anything else, and after its last item.
    void flush() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (consumer_waiting_ && count_ > 0) not_empty_.notify_one();
    }

    // Takes the oldest item, waiting while the queue is empty.
    T pop() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (count_ == 0) {
            consumer_waiting_ = true;
            not_empty_.wait(lock, [&] { return count_ > 0; });
            consumer_waiting_ = false;
        }
        T item = std::move(ring_[head_]);
        head_ = (head_ + 1) % ring_.size();
        --count_;
        if (producer_waiting_ && count_ <= ring_.size() / 2) not_full_.notify_one();
        return item;
    }

    // The consumer takes nothing more: a waiting or later push returns false.
    void close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        not_full_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable not_full_;
    std::condition_variable not_empty_;
    std::vector<T> ring_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    bool producer_waiting_ = false;
    bool consumer_waiting_ = false;
    bool closed_ = false;
};

}  // namespace morvask
