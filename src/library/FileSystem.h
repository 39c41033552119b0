// The engine's file layer. Every byte the engine reads or writes goes through
// a FileSystem, so that tests can count reads, fail a write part-way or fill
// the disk, and the window, the command line and the benchmark all share the
// same real implementation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

namespace marrowgate {

// A failure to open, read, create or write a file: which file, and why.
class FileError : public std::runtime_error {
public:
    FileError(const std::filesystem::path& file, std::string reason);
    const std::filesystem::path& file() const { return file_; }
    const std::string& reason() const { return reason_; }

private:
    std::filesystem::path file_;
    std::string reason_;
};

// Text of a path for messages (UTF-8 on every platform).
std::string display_path(const std::filesystem::path& path);
// The system's reason for an errno value.
std::string system_reason(int error_number);

class InputFile {
public:
    virtual ~InputFile() = default;
    // Reads up to size bytes; returns 0 only at the end of the file.
    // Throws FileError when the read fails.
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Writes all bytes or throws FileError.
    virtual void write(const char* data, std::size_t size) = 0;
    // Flushes and closes; throws FileError when anything could not be stored.
    virtual void close() = 0;
};

enum class WriteMode { Truncate, Append };

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual std::unique_ptr<InputFile> open_read(const std::filesystem::path& path) = 0;
    virtual std::unique_ptr<OutputFile> open_write(const std::filesystem::path& path, WriteMode mode) = 0;
};

// Files on disk, through the C library with large buffers.
FileSystem& real_file_system();

// How many files a run may keep open for writing at once: at most half of
// what the process may have open, raised to its ceiling first where the
// system allows it, and no more than a run's largest number of keys needs.
std::size_t files_open_at_once();

// Which file a path names: the device and the file's number on it. Two paths
// with one identity are one file, through links or different spellings.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};
// The identity of the file at `path` (links followed); nothing when there is
// no such file or it cannot be looked at.
std::optional<FileIdentity> file_identity(const std::filesystem::path& path);

// Reads through another file system and throws every write away: a run on it
// reports what it would write and writes nothing.
class DiscardingFileSystem final : public FileSystem {
public:
    explicit DiscardingFileSystem(FileSystem& reads) : reads_(reads) {}
    std::unique_ptr<InputFile> open_read(const std::filesystem::path& path) override;
    std::unique_ptr<OutputFile> open_write(const std::filesystem::path& path, WriteMode mode) override;

private:
    FileSystem& reads_;
};

}  // namespace marrowgate
