#include "io/ChunkReader.h"

#include <exception>
#include <mutex>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace marrowgate {

namespace {

constexpr int kBuffers = 2;  // the one being scanned and the one read into next

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

}  // namespace

ChunkReader::ChunkReader(std::unique_ptr<InputFile> input, std::size_t chunk, std::size_t head)
    : input_(std::move(input)), chunk_(chunk), head_(head) {
    keep_buffers_in_heap();
    for (int i = 0; i < kBuffers; ++i) {
        // Not zeroed: no byte is looked at before a read has filled it.
        buffers_.push_back(std::make_unique_for_overwrite<char[]>(head_ + chunk_));
        free_.push_back(kBuffers - 1 - i);
    }
}

ChunkReader::Chunk ChunkReader::take() {
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

void ChunkReader::give_back(int slot) {
    if (slot >= 0) free_.push_back(slot);
}

}  // namespace marrowgate
