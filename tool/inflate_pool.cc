#include "inflate_pool.h"

#include <algorithm>

namespace morvask {

InflatePool::InflatePool(unsigned workers, std::size_t slots, std::size_t output_capacity)
    : slots_(slots), jobs_(slots) {
    for (std::size_t i = 0; i < slots; ++i) {
        slots_[i].output.resize(output_capacity);
        free_.push_back(slots - 1 - i);
    }
    workers_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
}

InflatePool::~InflatePool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    job_queued_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

bool InflatePool::can_take(std::uint32_t length) const {
    return !free_.empty() && !(length > SLOT_INPUT_LIMIT && oversized_in_flight_);
}

std::size_t InflatePool::acquire(std::uint32_t length) {
    std::unique_lock<std::mutex> lock(mutex_);
    slot_freed_.wait(lock, [&] { return cancelled_ || can_take(length); });
    if (cancelled_) throw Cancelled();
    return take(length, lock);
}

bool InflatePool::try_acquire(std::uint32_t length, std::size_t& slot) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (cancelled_) throw Cancelled();
    if (!can_take(length)) return false;
    slot = take(length, lock);
    return true;
}

std::size_t InflatePool::take(std::uint32_t length, std::unique_lock<std::mutex>& lock) {
    const std::size_t slot = free_.back();
    free_.pop_back();
    Slot& s = slots_[slot];
    s.state = State::Filling;
    s.oversized = length > SLOT_INPUT_LIMIT;
    if (s.oversized) oversized_in_flight_ = true;
    lock.unlock();
    // Only this thread touches a slot while it is being filled.
    if (s.input.size() < length) s.input.resize(length);
    return slot;
}

void InflatePool::submit(std::size_t slot, std::uint32_t length) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_[slot].length = length;
        slots_[slot].state = State::Queued;
        jobs_[(jobs_head_ + jobs_count_) % jobs_.size()] = slot;
        ++jobs_count_;
    }
    job_queued_.notify_one();
}

void InflatePool::abandon(std::size_t slot) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        free_slot(slot);
    }
    slot_freed_.notify_one();
}

InflatePool::Inflated InflatePool::wait(std::size_t slot) {
    std::unique_lock<std::mutex> lock(mutex_);
    Slot& s = slots_[slot];
    job_done_.wait(lock, [&] { return s.state == State::Done; });
    return {s.result.status, s.output.data(), s.result.produced};
}

void InflatePool::release(std::size_t slot) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        free_slot(slot);
    }
    slot_freed_.notify_one();
}

void InflatePool::free_slot(std::size_t slot) {
    Slot& s = slots_[slot];
    if (s.oversized) {
        std::vector<std::uint8_t>().swap(s.input);  // give the long chunk's memory back
        s.oversized = false;
        oversized_in_flight_ = false;
    }
    s.state = State::Free;
    free_.push_back(slot);
}

void InflatePool::cancel() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
    }
    slot_freed_.notify_all();
}

void InflatePool::work() {
    ChunkInflater inflater;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        job_queued_.wait(lock, [&] { return stopping_ || jobs_count_ > 0; });
        if (jobs_count_ == 0) return;  // stopping, and nothing left
        const std::size_t slot = jobs_[jobs_head_];
        jobs_head_ = (jobs_head_ + 1) % jobs_.size();
        --jobs_count_;
        Slot& s = slots_[slot];
        lock.unlock();
        const ChunkInflater::Result result = inflater.inflate(s.input.data(), s.length, s.output.data(), s.output.size());
        lock.lock();
        s.result = result;
        s.state = State::Done;
        job_done_.notify_one();
    }
}

}  // namespace morvask
