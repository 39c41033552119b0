// Reads a file in chunks of a fixed size into two buffers in turn: the one
// whose bytes the line reader works through and the one the next chunk goes
// into. Every chunk sits in its buffer with room before its first byte, where
// the reader puts the unfinished line of the chunk before, so that a line is
// whole in one piece of memory without moving the chunk.
#pragma once

#include <cstddef>
#include <exception>
#include <memory>
#include <vector>

#include "io/FileSystem.h"

namespace marrowgate {

class ChunkReader {
public:
    struct Chunk {
        char* data = nullptr;  // the bytes read; `head` bytes of room before them
        std::size_t size = 0;  // 0: the end of the file
        int slot = -1;
    };

    ChunkReader(std::unique_ptr<InputFile> input, std::size_t chunk, std::size_t head);

    // The next chunk; size 0 at the end of the file. Throws the FileError of
    // a read that failed, and again at every call after it. The chunk's buffer
    // is the caller's until given back.
    Chunk take();
    // The buffer of a taken chunk may be read into again.
    void give_back(int slot);

private:
    std::unique_ptr<InputFile> input_;
    std::size_t chunk_;
    std::size_t head_;
    std::vector<std::unique_ptr<char[]>> buffers_;
    std::vector<int> free_;  // buffers that may be read into
    bool done_ = false;      // the end was reached or a read failed
    std::exception_ptr error_;
};

}  // namespace marrowgate
