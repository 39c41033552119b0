// The engine's file layer. Every byte the engine reads or writes goes through
// a FileSystem, so that tests can count reads, fail a write part-way or fill
// the disk, and the window, the command line and the benchmark all share the
// same real implementation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
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

// Held while a run works in a folder; let go when destroyed (the system lets
// it go when the process dies, so none is ever left behind).
class FolderLock {
public:
    virtual ~FolderLock() = default;
};

// The names a run gives what it writes before putting it in place: every
// folder it stages its files in is named kStagingPrefix, "-" and characters
// of its own, and a file that is to take another's place ends in
// kStagedExtension there.
inline constexpr const char* kStagingPrefix = ".marrowgate-staging";
inline constexpr const char* kStagedExtension = ".new";

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Only a regular file is opened for reading; a file is created or written
    // only under a name that is not a link. A new file gets the usual
    // permissions under the user's umask.
    virtual std::unique_ptr<InputFile> open_read(const std::filesystem::path& path) = 0;
    virtual std::unique_ptr<OutputFile> open_write(const std::filesystem::path& path, WriteMode mode) = 0;

    // What `path` names; a link as a link unless `follow`.
    virtual FileEntry status(const std::filesystem::path& path, bool follow) = 0;
    // Which file `path` names (links followed); nothing when there is no
    // such file or it cannot be looked at.
    virtual std::optional<FileIdentity> identity(const std::filesystem::path& path) = 0;
    // Creates a folder; one that exists is no failure. Throws FileError.
    virtual void make_folder(const std::filesystem::path& path) = 0;
    // Makes a new folder in `folder` named `prefix` and six characters no
    // other name there has (as mkdtemp does), open to the user alone, and
    // returns its path. Throws FileError naming `folder`.
    virtual std::filesystem::path make_unique_folder(const std::filesystem::path& folder, const std::string& prefix) = 0;
    // Removes a folder that holds nothing. A folder that holds anything, a
    // file, or nothing there stays as it is; never fails.
    virtual void remove_empty_folder(const std::filesystem::path& path) = 0;
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
    // The permission bits (0777) of the file `path`, links followed; nothing
    // where there is no such file or the system keeps none (Windows).
    virtual std::optional<std::uint32_t> permissions(const std::filesystem::path& path) = 0;
    // Gives the file `path` these permission bits. Throws FileError.
    virtual void set_permissions(const std::filesystem::path& path, std::uint32_t bits) = 0;
    // Puts on the disk what was written to each of `paths` (closed files, or
    // folders: the names in them), so that a power cut after it returns
    // keeps it. Throws FileError naming the path.
    virtual void sync(const std::vector<std::filesystem::path>& paths) = 0;
    // Whether sync() puts anything on the disk.
    virtual bool syncs() { return true; }
    // Takes the lock of the file `path`, creating the file when `create`;
    // nothing when another run holds it. Without `create` a missing file is
    // a lock nobody holds. The lock held is always that of the file now at
    // `path`, even where the file was removed while it was taken. Throws
    // FileError.
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

// Passes every operation on to another file system: the base of a layer
// that does a few of them otherwise.
class ForwardingFileSystem : public FileSystem {
public:
    explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}
    std::unique_ptr<InputFile> open_read(const std::filesystem::path& path) override { return inner_.open_read(path); }
    std::unique_ptr<OutputFile> open_write(const std::filesystem::path& path, WriteMode mode) override {
        return inner_.open_write(path, mode);
    }
    FileEntry status(const std::filesystem::path& path, bool follow) override { return inner_.status(path, follow); }
    std::optional<FileIdentity> identity(const std::filesystem::path& path) override { return inner_.identity(path); }
    void make_folder(const std::filesystem::path& path) override { inner_.make_folder(path); }
    std::filesystem::path make_unique_folder(const std::filesystem::path& folder, const std::string& prefix) override {
        return inner_.make_unique_folder(folder, prefix);
    }
    void remove_empty_folder(const std::filesystem::path& path) override { inner_.remove_empty_folder(path); }
    void replace(const std::filesystem::path& from, const std::filesystem::path& to) override { inner_.replace(from, to); }
    bool add_name(const std::filesystem::path& existing, const std::filesystem::path& name) override {
        return inner_.add_name(existing, name);
    }
    void remove(const std::filesystem::path& path) override { inner_.remove(path); }
    std::optional<std::uint32_t> permissions(const std::filesystem::path& path) override {
        return inner_.permissions(path);
    }
    void set_permissions(const std::filesystem::path& path, std::uint32_t bits) override {
        inner_.set_permissions(path, bits);
    }
    void sync(const std::vector<std::filesystem::path>& paths) override { inner_.sync(paths); }
    bool syncs() override { return inner_.syncs(); }
    std::unique_ptr<FolderLock> lock(const std::filesystem::path& path, bool create) override {
        return inner_.lock(path, create);
    }
    std::optional<std::vector<std::filesystem::path>> names_in(const std::filesystem::path& folder) override {
        return inner_.names_in(folder);
    }

protected:
    FileSystem& inner() { return inner_; }

private:
    FileSystem& inner_;
};

// --no-sync: the layer below without its sync. A run then puts its files in
// place as soon as they are written, and a power cut soon after may leave
// a library empty or cut short where the file system writes names before
// bytes.
class UnsyncedFileSystem final : public ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    void sync(const std::vector<std::filesystem::path>&) override {}
    bool syncs() override { return false; }
};

// A dry run's file layer: it reads through another one and makes every change
// a run makes that it can undo, so that a dry run fails where a run would
// fail, naming the same file for the same reason. It takes the locks, makes
// the folders that are missing and its own staging folders, creates there
// the files to be put in place (empty: their bytes are thrown away; the
// run's scratch files keep theirs), and tries their second names and
// permissions. It puts no file in the place of another, writes nothing
// outside its own folders and removes nothing else (what killed runs left
// stays for the next run); a lock file it created goes with its lock, and
// the folders it made go with it (where nothing else came into them).
class DiscardingFileSystem final : public ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    ~DiscardingFileSystem() override;
    DiscardingFileSystem(const DiscardingFileSystem&) = delete;
    DiscardingFileSystem& operator=(const DiscardingFileSystem&) = delete;

    std::unique_ptr<OutputFile> open_write(const std::filesystem::path& path, WriteMode mode) override;
    void make_folder(const std::filesystem::path& path) override;
    std::filesystem::path make_unique_folder(const std::filesystem::path& folder, const std::string& prefix) override;
    void replace(const std::filesystem::path& from, const std::filesystem::path& to) override;
    bool add_name(const std::filesystem::path& existing, const std::filesystem::path& name) override;
    void remove(const std::filesystem::path& path) override;
    void set_permissions(const std::filesystem::path& path, std::uint32_t bits) override;
    void sync(const std::vector<std::filesystem::path>&) override {}
    bool syncs() override { return false; }
    std::unique_ptr<FolderLock> lock(const std::filesystem::path& path, bool create) override;

private:
    // Whether `path` is one of its own staging folders or inside one.
    bool own(const std::filesystem::path& path);

    std::mutex mutex_;  // the run's writer thread opens files beside it
    std::vector<std::filesystem::path> own_;   // staging folders it made
    std::vector<std::filesystem::path> made_;  // missing folders it made, in order
};

}  // namespace marrowgate
