// InflatePool: inflates compressed chunks on worker threads, in a fixed set of slots.
//
// A slot carries one chunk from the thread that reads it (acquire, fill input, submit)
// through a worker (inflate) to the thread that writes the result (wait, release). The
// number of slots bounds the chunks in flight and so the memory; each slot's buffers are
// allocated once and reused, except for a chunk longer than SLOT_INPUT_LIMIT (found only
// in damaged archives), whose input is allocated for it alone, one such chunk at a time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "chunk_inflater.h"

namespace morvask {

class InflatePool {
public:
    // Longest chunk input a slot keeps: a chunk that inflates to at most 50000 bytes
    // needs far less, even stored without compression.
    static constexpr std::size_t SLOT_INPUT_LIMIT = 256 << 10;

    // Thrown to the reading thread when the pool is cancelled while it waits.
    struct Cancelled {};

    // `output_capacity` is the largest inflated size of one chunk.
    InflatePool(unsigned workers, std::size_t slots, std::size_t output_capacity);
    ~InflatePool();  // stops the workers after the chunks they hold
    InflatePool(const InflatePool&) = delete;
    InflatePool& operator=(const InflatePool&) = delete;

    // Reading side. acquire waits for a free slot that can take `length` input bytes and
    // returns it; input() is where those bytes go; submit queues the slot for inflating;
    // abandon gives back a slot that will not be submitted.
    std::size_t acquire(std::uint32_t length);
    // A slot like acquire's if one is free at once, without waiting.
    bool try_acquire(std::uint32_t length, std::size_t& slot);
    std::uint8_t* input(std::size_t slot) { return slots_[slot].input.data(); }
    void submit(std::size_t slot, std::uint32_t length);
    void abandon(std::size_t slot);

    // Writing side: waits until `slot` is inflated and returns the outcome; the output
    // stays valid until the slot is released.
    struct Inflated {
        ChunkInflater::Status status;
        const std::uint8_t* data;
        std::size_t size;
    };
    Inflated wait(std::size_t slot);
    void release(std::size_t slot);

    // Makes a waiting or later acquire throw Cancelled.
    void cancel();

private:
    enum class State { Free, Filling, Queued, Done };
    struct Slot {
        std::vector<std::uint8_t> input;
        std::vector<std::uint8_t> output;
        std::uint32_t length = 0;
        State state = State::Free;
        bool oversized = false;
        ChunkInflater::Result result{ChunkInflater::Status::Ok, 0};
    };

    bool can_take(std::uint32_t length) const;  // with mutex_ held
    std::size_t take(std::uint32_t length, std::unique_lock<std::mutex>& lock);
    void work();
    void free_slot(std::size_t slot);  // with mutex_ held

    std::mutex mutex_;
    std::condition_variable slot_freed_;
    std::condition_variable job_queued_;
    std::condition_variable job_done_;
    std::vector<Slot> slots_;
    std::vector<std::size_t> free_;  // stack of free slots
    std::vector<std::size_t> jobs_;  // ring of queued slots, in submission order
    std::size_t jobs_head_ = 0;
    std::size_t jobs_count_ = 0;
    bool oversized_in_flight_ = false;
    bool cancelled_ = false;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace morvask
