// BoundedQueue: a first-in first-out hand-over between one producing and one consuming
// thread, holding at most a fixed number of items, so that a producer running ahead
// waits instead of using more memory. The items live in a ring allocated once.
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
    explicit BoundedQueue(std::size_t capacity) : ring_(capacity) {}

    // Appends `item`, waiting while the queue is full. Returns false, dropping the item,
    // once the queue is closed.
    bool push(T&& item) {
        std::unique_lock<std::mutex> lock(mutex_);
        not_full_.wait(lock, [&] { return closed_ || count_ < ring_.size(); });
        if (closed_) return false;
        ring_[(head_ + count_) % ring_.size()] = std::move(item);
        ++count_;
        lock.unlock();
        not_empty_.notify_one();
        return true;
    }

    // Takes the oldest item, waiting while the queue is empty.
    T pop() {
        std::unique_lock<std::mutex> lock(mutex_);
        not_empty_.wait(lock, [&] { return count_ > 0; });
        T item = std::move(ring_[head_]);
        head_ = (head_ + 1) % ring_.size();
        --count_;
        lock.unlock();
        not_full_.notify_one();
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
    bool closed_ = false;
};

}  // namespace morvask
