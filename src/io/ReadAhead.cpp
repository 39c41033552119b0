#include "io/ReadAhead.h"

#include <cstdlib>
#include <mutex>
#include <system_error>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "io/Background.h"

namespace marrowgate {

namespace {

constexpr int kBuffers = 2;  // the one being scanned and the one being read

// Every file read takes two chunk buffers of about a megabyte, freed when
// the file is done; a run reads each input two or three times. Left to its
// own rules, glibc's allocator gives such buffers back to the system and
// faults them in again for the next file, page by page, or not, depending
// on what the program happened to allocate before: a change in how the
// arguments were parsed alone made a run a tenth slower. From the first
// reader on, buffers of up to 32 MB come from the heap, and the heap keeps
// up to 64 MB it no longer uses, so that each file reuses the last one's.
void keep_buffers_in_heap() {
#if defined(__GLIBC__)
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
    });
#endif
}

// The processors the run may keep busy: the machine's, or as many as the
// environment variable MARROWGATE_THREADS says (1: every step in line, on
// the thread that runs the sort; the benchmark times both ways).
unsigned processors() {
#ifdef MARROWGATE_SINGLE_THREAD
    return 1;
#else
    static const unsigned count = [] {
        if (const char* wanted = std::getenv("MARROWGATE_THREADS")) {
            char* end = nullptr;
            const unsigned long n = std::strtoul(wanted, &end, 10);
            if (end != wanted && *end == '\0' && n > 0 && n < 1024) return static_cast<unsigned>(n);
        }
        return std::thread::hardware_concurrency();
    }();
    return count;
#endif
}
}  // namespace

bool background_threads() { return processors() > 1; }

bool read_ahead_beside(unsigned busy) { return processors() > busy; }

ReadAhead::ReadAhead(std::unique_ptr<InputFile> input, std::size_t chunk, std::size_t head, bool threaded)
    : input_(std::move(input)), chunk_(chunk), head_(head) {
    keep_buffers_in_heap();
    for (int i = 0; i < kBuffers; ++i) {
        // Not zeroed: no byte is looked at before a read has filled it.
        buffers_.push_back(std::make_unique_for_overwrite<char[]>(head_ + chunk_));
        free_.push_back(kBuffers - 1 - i);
    }
    if (threaded) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No thread to be had: each chunk is read when it is taken.
        }
    }
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void ReadAhead::read_next(std::unique_lock<std::mutex>& lock) {
    const int slot = free_.back();
    free_.pop_back();
    char* const data = buffers_[static_cast<std::size_t>(slot)].get() + head_;
    lock.unlock();
    std::size_t got = 0;
    std::exception_ptr error;
    try {
        got = input_->read(data, chunk_);
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    if (error || got == 0) {
        error_ = error;
        done_ = true;
        free_.push_back(slot);
    } else {
        ready_.push_back(Chunk{data, got, slot});
    }
}

void ReadAhead::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || (!done_ && !free_.empty()); });
        if (stop_) return;
        read_next(lock);
        changed_.notify_all();
    }
}

ReadAhead::Chunk ReadAhead::take() {
    if (!thread_.joinable()) {
        // Nobody else touches the buffers: no lock to take, no one to wake.
        // (A fuzz run reads its small files in chunks of a few bytes.)
        if (done_) {
            if (error_) std::rethrow_exception(error_);
            return {};
        }
        const int slot = free_.back();
        free_.pop_back();
        char* const data = buffers_[static_cast<std::size_t>(slot)].get() + head_;
        std::size_t got = 0;
        try {
            got = input_->read(data, chunk_);
        } catch (...) {
            error_ = std::current_exception();
        }
        if (error_ || got == 0) {
            done_ = true;
            free_.push_back(slot);
            if (error_) std::rethrow_exception(error_);
            return {};
        }
        return Chunk{data, got, slot};
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty() || done_; });
    if (!ready_.empty()) {
        const Chunk chunk = ready_.front();
        ready_.pop_front();
        return chunk;
    }
    if (error_) std::rethrow_exception(error_);
    return {};
}

void ReadAhead::give_back(int slot) {
    if (slot < 0) return;
    if (!thread_.joinable()) {
        free_.push_back(slot);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        free_.push_back(slot);
    }
    changed_.notify_all();
}

}  // namespace marrowgate
