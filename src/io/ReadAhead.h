// Reads a file ahead of the one who takes its bytes: while the line reader
// works through one chunk, a thread of its own reads the next into another
// buffer, so that reading the disk and scanning the bytes overlap. Chunks come
// out in file order; a read that fails is reported when its chunk would have
// come, after every chunk read before it.
//
// Every chunk sits in a buffer with room before its first byte, where the
// reader puts the unfinished line of the previous chunk, so that a line is
// whole in one piece of memory without moving the chunk.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "io/FileSystem.h"

namespace marrowgate {

class ReadAhead {
public:
    struct Chunk {
        char* data = nullptr;  // the bytes read; `head` bytes of room before them
        std::size_t size = 0;  // 0: the end of the file
        int slot = -1;
    };

    // `threaded` false reads each chunk when it is taken, in the same buffers.
    ReadAhead(std::unique_ptr<InputFile> input, std::size_t chunk, std::size_t head, bool threaded);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next chunk; size 0 at the end of the file. Throws the FileError of a
    // read that failed. The chunk's buffer is the caller's until given back.
    Chunk take();
    // The buffer of a taken chunk may be read into again.
    void give_back(int slot);

private:
    void run();
    // Reads the next chunk into a free buffer; called with the lock held,
    // releases it while reading.
    void read_next(std::unique_lock<std::mutex>& lock);

    std::unique_ptr<InputFile> input_;
    std::size_t chunk_;
    std::size_t head_;
    std::vector<std::unique_ptr<char[]>> buffers_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> free_;     // buffers that may be read into
    std::deque<Chunk> ready_;   // read, not taken yet
    bool done_ = false;         // the end was reached or a read failed
    bool stop_ = false;
    std::exception_ptr error_;  // of the read that failed
    std::thread thread_;
};

}  // namespace marrowgate
