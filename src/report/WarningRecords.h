// The records of a run's scratch files of warnings: a few numbers, then a
// few fields of any bytes (a part name, a path with a line feed in it), each
// number and each field's length written as a LEB128 number before them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "io/FileSystem.h"

namespace marrowgate {

// Appends one record to `out`.
void put_record(std::string& out, std::initializer_list<std::uint64_t> numbers,
                std::initializer_list<std::string_view> fields);

// Reads back the records put_record wrote, a piece at a time; a record is
// held whole, however long, until the next one is read.
class RecordReader {
public:
    static constexpr std::size_t kMostFields = 4;
    RecordReader(std::unique_ptr<InputFile> input, std::filesystem::path path);
    // Records already in memory.
    explicit RecordReader(std::string_view bytes);

    // The next record, of numbers.size() numbers and fields.size() fields
    // (views valid until the next call); false at the end. Throws FileError
    // when the file ends inside a record.
    bool next(std::span<std::uint64_t> numbers, std::span<std::string_view> fields);

private:
    bool ensure(std::size_t bytes);  // false where the input ends first
    std::uint64_t number();
    std::unique_ptr<InputFile> input_;
    std::filesystem::path path_;
    std::string buffer_;
    std::string_view bytes_;  // the bytes not read yet
};

}  // namespace marrowgate
