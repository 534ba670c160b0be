#include "parallel_extraction.h"

#include <algorithm>
#include <memory>
#include <thread>
#include <utility>

#include "bounded_queue.h"
#include "chunk_reader.h"
#include "directory_walk.h"
#include "entry_writers.h"
#include "extraction_step.h"
#include "failure.h"
#include "host.h"
#include "inflate_pool.h"

namespace morvask {

namespace {

// Steps the reader may be ahead of the committer, and chunks in flight per worker.
constexpr std::size_t STEPS_AHEAD = 1024;
constexpr std::size_t SLOTS_PER_WORKER = 8;

using StepQueue = BoundedQueue<Step>;

// The reading side: turns each action of the walk into a step, reading and submitting
// the chunks of compressed files on the way. Nothing here is visible from outside.
class ReadAheadActions final : public WalkActions {
public:
    ReadAheadActions(const vfs::VfsArchive& archive, StepQueue& steps, InflatePool& pool)
        : archive_(archive), steps_(steps), pool_(pool) {}

    void progress(std::string_view name) override { send(Step::Kind::Progress, std::string(name)); }

    void make_directory(const std::string& path) override { send(Step::Kind::MakeDirectory, path); }

    void write_plain(const std::optional<vfs::DirEntry>& entry, const std::string& path) override {
        Step step;
        step.kind = Step::Kind::WritePlain;
        step.text = path;
        step.entry = entry;
        send(std::move(step));
    }

    void write_compressed(const std::optional<vfs::DirEntry>& entry, const std::string& path) override {
        if (!names_a_file(entry)) throw Failure("failed to open resource file");
        send(Step::Kind::CreateCompressed, path);
        vfs::ResourceFile stream(archive_, *entry);
        ChunkReader chunks(stream);
        while (const std::uint32_t length = chunks.next_length()) {
            const std::size_t slot = acquire_slot(length);
            try {
                chunks.read_payload(pool_.input(slot), length);
            } catch (...) {
                pool_.abandon(slot);
                throw;
            }
            pool_.submit(slot, length);
            Step step;
            step.kind = Step::Kind::Chunk;
            step.slot = slot;
            send(std::move(step));
        }
        send(Step::Kind::CloseCompressed, std::string());
    }

    // A slot for the next chunk. When none is free, the committer is woken for the steps
    // queued so far before waiting: it frees the slots.
    std::size_t acquire_slot(std::uint32_t length) {
        std::size_t slot;
        if (pool_.try_acquire(length, slot)) return slot;
        steps_.flush();
        return pool_.acquire(length);
    }

    void send(Step::Kind kind, std::string text) {
        Step step;
        step.kind = kind;
        step.text = std::move(text);
        send(std::move(step));
    }

    // The committer has stopped: the walk stops too.
    void send(Step&& step) {
        if (!steps_.push(std::move(step))) throw InflatePool::Cancelled();
    }

private:
    const vfs::VfsArchive& archive_;
    StepQueue& steps_;
    InflatePool& pool_;
};

// The committing side: carries out the steps in order.
class StepCommitter {
public:
    StepCommitter(const vfs::VfsArchive& archive, Console& console, StepQueue& steps, InflatePool& pool)
        : console_(console), steps_(steps), pool_(pool), writers_(archive) {}

    // Carries out every step up to End; throws the failure of a step that fails.
    void commit_all() {
        for (;;) {
            Step step = steps_.pop();
            if (step.kind == Step::Kind::End) return;
            commit(step);
        }
    }

private:
    void commit(const Step& step) {
        switch (step.kind) {
            case Step::Kind::Progress:
                console_.print_progress(step.text);
                break;
            case Step::Kind::MakeDirectory:
                make_output_directory(step.text);
                break;
            case Step::Kind::WritePlain:
                writers_.extract_plain(step.entry, step.text);
                break;
            case Step::Kind::CreateCompressed:
                output_ = host::OutputFile::create(step.text);
                if (!output_) throw Failure("failed to to open file");
                break;
            case Step::Kind::Chunk:
                write_chunk(step.slot);
                break;
            case Step::Kind::CloseCompressed:
                if (!output_->close()) throw Failure("failed to write");
                output_.reset();
                break;
            case Step::Kind::Fail:
                std::rethrow_exception(step.failure);
            case Step::Kind::End:
                break;
        }
    }

    void write_chunk(std::size_t slot) {
        const InflatePool::Inflated chunk = pool_.wait(slot);
        if (chunk.status != ChunkInflater::Status::Ok) throw InflateFailure(ChunkInflater::message(chunk.status));
        if (!output_->write(chunk.data, chunk.size)) throw Failure("failed to write");
        pool_.release(slot);
    }

    Console& console_;
    StepQueue& steps_;
    InflatePool& pool_;
    EntryWriters writers_;
    std::unique_ptr<host::OutputFile> output_;
};

// Runs the walk on its own thread; the thread is stopped and joined on destruction,
// also when the committer gives up early.
class ReadingThread {
public:
    ReadingThread(DirectoryWalk& walk, StepQueue& steps, InflatePool& pool)
        : steps_(steps), pool_(pool), thread_([&walk, &steps] { read_ahead(walk, steps); }) {}

    ~ReadingThread() {
        steps_.close();
        pool_.cancel();
        thread_.join();
    }
    ReadingThread(const ReadingThread&) = delete;
    ReadingThread& operator=(const ReadingThread&) = delete;

private:
    static void read_ahead(DirectoryWalk& walk, StepQueue& steps) {
        Step last;
        try {
            walk.walk();
            last.kind = Step::Kind::End;
        } catch (const InflatePool::Cancelled&) {
            return;  // the committer has stopped
        } catch (...) {
            last.kind = Step::Kind::Fail;
            last.failure = std::current_exception();
        }
        steps.push(std::move(last));
        steps.flush();
    }

    StepQueue& steps_;
    InflatePool& pool_;
    std::thread thread_;
};

}  // namespace

ParallelExtraction::ParallelExtraction(const vfs::VfsArchive& archive, Console& console, unsigned inflate_threads)
    : archive_(archive), console_(console), inflate_threads_(std::max(1u, inflate_threads)) {}

std::uint64_t ParallelExtraction::extract() {
    InflatePool pool(inflate_threads_, SLOTS_PER_WORKER * inflate_threads_, CHUNK_OUTPUT_SIZE);
    StepQueue steps(STEPS_AHEAD);
    StepCommitter committer(archive_, console_, steps, pool);
    ReadAheadActions actions(archive_, steps, pool);
    DirectoryWalk walk(archive_, actions);
    {
        ReadingThread reader(walk, steps, pool);
        committer.commit_all();
    }
    return walk.files_extracted();
}

}  // namespace morvask
