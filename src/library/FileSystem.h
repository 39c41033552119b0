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
#include <vector>

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

// What a path names, and for a file its size and the time it was last
// changed: a run compares them between its passes to see an input change.
struct FileEntry {
    enum class Kind { None, File, Folder, Link, Other };
    Kind kind = Kind::None;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // in the system's own unit
    bool operator==(const FileEntry&) const = default;
};

// Which file a path names: the device and the file's number on it. Two paths
// with one identity are one file, through links or different spellings.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Held while a run works in an application folder; let go when destroyed (the
// system lets it go when the process dies, so none is ever left behind).
class FolderLock {
public:
    virtual ~FolderLock() = default;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Only a regular file is opened for reading; a file is created or written
    // only under a name that is not a link.
    virtual std::unique_ptr<InputFile> open_read(const std::filesystem::path& path) = 0;
    virtual std::unique_ptr<OutputFile> open_write(const std::filesystem::path& path, WriteMode mode) = 0;

    // What `path` names; a link as a link unless `follow`.
    virtual FileEntry look(const std::filesystem::path& path, bool follow) = 0;
    // Which file `path` names (links followed); nothing when there is no
    // such file or it cannot be looked at.
    virtual std::optional<FileIdentity> identity(const std::filesystem::path& path) = 0;
    // Creates a folder; one that exists is no failure. Throws FileError.
    virtual void make_folder(const std::filesystem::path& path) = 0;
    // Puts the file `from` in the place of `to` in one step: whoever opens
    // `to` finds its old bytes or its new ones, never a mixture. A link at
    // `to` is replaced, never followed. Throws FileError.
    virtual void replace(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Gives the file `existing` the second name `name`, so that its bytes
    // outlive a replace of `existing`. False where the file system has no
    // second names for a file (FAT); throws FileError on other failures.
    virtual bool add_name(const std::filesystem::path& existing, const std::filesystem::path& name) = 0;
    // Removes a file, a link (never what it points to) or a folder with all
    // it holds; nothing there is no failure. Throws FileError.
    virtual void remove(const std::filesystem::path& path) = 0;
    // Takes the lock of the file `path`, creating the file when `create`;
    // nothing when another run holds it. Without `create` a missing file is
    // a lock nobody holds. Throws FileError.
    virtual std::unique_ptr<FolderLock> lock(const std::filesystem::path& path, bool create) = 0;
    // The names in a folder (files, links, folders); nothing when it is not
    // there or cannot be listed whole.
    virtual std::optional<std::vector<std::filesystem::path>> names_in(const std::filesystem::path& folder) = 0;
};

// Files on disk. Output files are written without a buffer of the C library's
// (the engine writes in large pieces).
FileSystem& real_file_system();

// How many files a run may keep open for writing at once: at most half of
// what the process may have open, raised to its ceiling first where the
// system allows it, and no more than a run's largest number of keys needs.
std::size_t files_open_at_once();

// The identity of the file on disk at `path`, as real_file_system() gives it.
std::optional<FileIdentity> file_identity(const std::filesystem::path& path);

// Reads through another file system and throws every write away: a run on it
// reports what it would write and writes nothing. It looks at what is there,
// and at the lock, as a run does, so that it fails where a run would fail.
class DiscardingFileSystem final : public FileSystem {
public:
    explicit DiscardingFileSystem(FileSystem& reads) : reads_(reads) {}
    std::unique_ptr<InputFile> open_read(const std::filesystem::path& path) override;
    std::unique_ptr<OutputFile> open_write(const std::filesystem::path& path, WriteMode mode) override;
    FileEntry look(const std::filesystem::path& path, bool follow) override { return reads_.look(path, follow); }
    std::optional<FileIdentity> identity(const std::filesystem::path& path) override { return reads_.identity(path); }
    void make_folder(const std::filesystem::path&) override {}
    void replace(const std::filesystem::path&, const std::filesystem::path&) override {}
    bool add_name(const std::filesystem::path&, const std::filesystem::path&) override { return true; }
    void remove(const std::filesystem::path&) override {}
    std::unique_ptr<FolderLock> lock(const std::filesystem::path& path, bool create) override;
    std::optional<std::vector<std::filesystem::path>> names_in(const std::filesystem::path& folder) override {
        return reads_.names_in(folder);
    }

private:
    FileSystem& reads_;
};

}  // namespace marrowgate
