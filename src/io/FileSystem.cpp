#include "io/FileSystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <map>
#include <random>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "io/Paths.h"

namespace marrowgate {

FileError::FileError(const std::filesystem::path& file, std::string reason)
    : std::runtime_error(display_path(file) + ": " + reason), file_(file), reason_(std::move(reason)) {}

std::string display_path(const std::filesystem::path& path) { return utf8_from_path(path); }

std::string system_reason(int error_number) {
    return std::generic_category().message(error_number);
}

namespace {
constexpr std::size_t kEnough = 1100;  // the decal name key holds up to 1,024 keys

// Why a file cannot be put in place where the system says it is on another
// device: a run moves its files from a folder of its own inside the target
// folder, so only a mount in that folder (a file mounted over the target)
// stands between them.
std::string mount_reason(const std::string& system) {
    return "something is mounted there (the file, or a mount inside its folder), and a file can be put in its "
           "place only by a move within one mount (" + system + ")";
}

// Where a run's folder of new files cannot be made.
constexpr const char* kNoStagingFolder = "a folder for the run's new files cannot be made in it: ";
}  // namespace

std::size_t files_open_at_once() {
    static const std::size_t most = [] {
#ifdef _WIN32
        // The C library's streams: 512 unless asked for more.
        const int streams = _setmaxstdio(2048);
        return std::clamp<std::size_t>(streams > 0 ? static_cast<std::size_t>(streams) / 2 : 256, 16, kEnough);
#else
        rlimit limit{};
        if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return std::size_t{256};
        if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < 2 * kEnough && limit.rlim_max > limit.rlim_cur) {
            rlimit raised = limit;
            raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? 2 * kEnough : std::min<rlim_t>(limit.rlim_max, 2 * kEnough);
            if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
        }
        const rlim_t soft = limit.rlim_cur == RLIM_INFINITY ? 2 * kEnough : limit.rlim_cur;
        return std::clamp<std::size_t>(static_cast<std::size_t>(soft / 2), 16, kEnough);
#endif
    }();
    return most;
}

std::optional<FileIdentity> file_identity(const std::filesystem::path& path) {
#ifdef _WIN32
    const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!known) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
#else
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
#endif
}

namespace {

#ifdef _WIN32
std::FILE* open_file(const std::filesystem::path& path, const char* mode) {
    std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wmode.c_str());
}
#endif

// Opens a file for reading, refusing anything but a regular file before a byte
// is read: a FIFO would wait for a writer, a device may never end. Where the
// system allows, the open itself does not wait and the check is made on what
// was opened. Returns null with errno set when the file cannot be opened.
std::FILE* open_regular_file(const std::filesystem::path& path) {
#ifdef _WIN32
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw FileError(path, "cannot be opened: it is not a regular file");
    return open_file(path, "rb");
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat status {};
    const bool known = ::fstat(fd, &status) == 0;
    if (known && !S_ISREG(status.st_mode)) {
        ::close(fd);
        throw FileError(path, "cannot be opened: it is not a regular file");
    }
    const int flags = known ? ::fcntl(fd, F_GETFL) : -1;
    std::FILE* file = flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ? nullptr : ::fdopen(fd, "rb");
    if (!file) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
#endif
}

class RealInput final : public InputFile {
public:
    RealInput(std::FILE* file, std::filesystem::path path) : file_(file), path_(std::move(path)) {
        std::setvbuf(file_, nullptr, _IONBF, 0);  // the line reader buffers
    }
    ~RealInput() override { std::fclose(file_); }

    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t got = std::fread(buffer, 1, size, file_);
        if (got == 0 && std::ferror(file_)) {
            const int error = errno;
            throw FileError(path_, "cannot be read: " + system_reason(error ? error : EIO));
        }
        return got;
    }

private:
    std::FILE* file_;
    std::filesystem::path path_;
};

#ifndef _WIN32
// A file written through its descriptor: the engine writes in large pieces, so
// the C library's stream would add nothing but a buffer that splits them.
class DescriptorOutput final : public OutputFile {
public:
    DescriptorOutput(int descriptor, std::filesystem::path path) : descriptor_(descriptor), path_(std::move(path)) {}
    ~DescriptorOutput() override {
        if (descriptor_ >= 0) ::close(descriptor_);
    }

    void write(const char* data, std::size_t size) override {
        while (size > 0) {
            const ssize_t written = ::write(descriptor_, data, size);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) throw FileError(path_, "cannot be written: " + system_reason(written < 0 ? errno : ENOSPC));
            data += written;
            size -= static_cast<std::size_t>(written);
        }
    }

    void close() override {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        if (::close(descriptor) != 0 && errno != EINTR)
            throw FileError(path_, "cannot be written: " + system_reason(errno));
    }

private:
    int descriptor_;
    std::filesystem::path path_;
};
#else
class RealOutput final : public OutputFile {
public:
    RealOutput(std::FILE* file, std::filesystem::path path) : file_(file), path_(std::move(path)) {
        // The engine writes in large pieces: a buffer would only split them.
        std::setvbuf(file_, nullptr, _IONBF, 0);
    }
    ~RealOutput() override {
        if (file_) std::fclose(file_);
    }

    void write(const char* data, std::size_t size) override {
        if (size == 0) return;
        if (std::fwrite(data, 1, size, file_) != size) fail();
    }

    void close() override {
        std::FILE* file = file_;
        file_ = nullptr;
        errno = 0;
        const bool flushed = std::fflush(file) == 0;
        const int flush_error = errno;
        const bool closed = std::fclose(file) == 0;
        if (!flushed || !closed) {
            const int error = flushed ? errno : flush_error;
            throw FileError(path_, "cannot be written: " + system_reason(error ? error : EIO));
        }
    }

private:
    [[noreturn]] void fail() {
        const int error = errno;
        throw FileError(path_, "cannot be written: " + system_reason(error ? error : EIO));
    }

    std::FILE* file_;
    std::filesystem::path path_;
};
#endif

class RealFileSystem final : public FileSystem {
public:
    std::unique_ptr<InputFile> open_read(const std::filesystem::path& path) override {
        errno = 0;
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec))
            throw FileError(path, "cannot be opened: it is a folder");
        std::FILE* file = open_regular_file(path);
        if (!file) {
            const int error = errno;
            throw FileError(path, "cannot be opened: " + system_reason(error ? error : EIO));
        }
        return std::make_unique<RealInput>(file, path);
    }

    std::unique_ptr<OutputFile> open_write(const std::filesystem::path& path, WriteMode mode) override {
        errno = 0;
#ifdef _WIN32
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            throw FileError(path, "cannot be created: it is a link, and no file is written through a link");
        std::FILE* file = open_file(path, mode == WriteMode::Truncate ? "wb" : "ab");
        if (!file) {
            const int error = errno;
            throw FileError(path, "cannot be created: " + system_reason(error ? error : EIO));
        }
        return std::make_unique<RealOutput>(file, path);
#else
        // O_NOFOLLOW: a link planted in the place of the file is never written through.
        const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (mode == WriteMode::Truncate ? O_TRUNC : O_APPEND);
        const int descriptor = ::open(path.c_str(), flags, 0666);
        if (descriptor < 0) {
            const int error = errno;
            if (error == ELOOP)
                throw FileError(path, "cannot be created: it is a link, and no file is written through a link");
            throw FileError(path, "cannot be created: " + system_reason(error ? error : EIO));
        }
        return std::make_unique<DescriptorOutput>(descriptor, path);
#endif
    }

    FileEntry status(const std::filesystem::path& path, bool follow) override {
        FileEntry entry;
#ifdef _WIN32
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return entry;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && follow) {
            const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            if (handle == INVALID_HANDLE_VALUE) return entry;
            BY_HANDLE_FILE_INFORMATION info{};
            const bool known = GetFileInformationByHandle(handle, &info) != 0;
            CloseHandle(handle);
            if (!known) return entry;
            data.dwFileAttributes = info.dwFileAttributes & ~DWORD{FILE_ATTRIBUTE_REPARSE_POINT};
            data.nFileSizeHigh = info.nFileSizeHigh;
            data.nFileSizeLow = info.nFileSizeLow;
            data.ftLastWriteTime = info.ftLastWriteTime;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) entry.kind = FileEntry::Kind::Link;
        else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) entry.kind = FileEntry::Kind::Folder;
        else entry.kind = FileEntry::Kind::File;
        entry.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        entry.modified = static_cast<std::int64_t>((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                                   data.ftLastWriteTime.dwLowDateTime);
#else
        struct stat status {};
        if ((follow ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status)) != 0) return entry;
        if (S_ISLNK(status.st_mode)) entry.kind = FileEntry::Kind::Link;
        else if (S_ISREG(status.st_mode)) entry.kind = FileEntry::Kind::File;
        else if (S_ISDIR(status.st_mode)) entry.kind = FileEntry::Kind::Folder;
        else entry.kind = FileEntry::Kind::Other;
        entry.size = static_cast<std::uint64_t>(status.st_size);
        entry.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
#endif
        return entry;
    }

    std::optional<FileIdentity> identity(const std::filesystem::path& path) override { return file_identity(path); }

    void make_folder(const std::filesystem::path& path) override {
        std::error_code ec;
        std::filesystem::create_directory(path, ec);
        std::error_code looked;
        if (std::filesystem::is_directory(path, looked)) return;
        throw FileError(path, "cannot be created as a folder: " +
                                  (ec ? ec.message() : std::string("a file of that name is in the way")));
    }

    std::filesystem::path make_unique_folder(const std::filesystem::path& folder, const std::string& prefix) override {
#ifdef _WIN32
        // Names of six letters and digits, drawn until one is free.
        static std::atomic<unsigned> drawn{0};
        std::random_device random;
        constexpr char kCharacters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (int attempt = 0; attempt < 1000; ++attempt) {
            unsigned value = random() ^ (drawn++ * 2654435761u);
            std::string name = prefix;
            for (int i = 0; i < 6; ++i, value /= 36) name += kCharacters[value % 36];
            const std::filesystem::path made = folder / path_from_utf8(name);
            if (CreateDirectoryW(made.c_str(), nullptr)) return made;
            const DWORD error = GetLastError();
            if (error != ERROR_ALREADY_EXISTS)
                throw FileError(folder, kNoStagingFolder + std::system_category().message(static_cast<int>(error)));
        }
        throw FileError(folder, std::string(kNoStagingFolder) + "every name tried is taken");
#else
        std::string pattern = (folder / (prefix + "XXXXXX")).native();
        if (!::mkdtemp(pattern.data())) throw FileError(folder, kNoStagingFolder + system_reason(errno));
        return pattern;
#endif
    }

    void remove_empty_folder(const std::filesystem::path& path) override {
#ifdef _WIN32
        RemoveDirectoryW(path.c_str());  // refused for a folder that holds anything
#else
        ::rmdir(path.c_str());
#endif
    }

    std::optional<std::uint32_t> permissions(const std::filesystem::path& path) override {
#ifdef _WIN32
        (void)path;
        return std::nullopt;  // the read-only attribute stops the replace itself
#else
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
        return static_cast<std::uint32_t>(status.st_mode & 0777);
#endif
    }

    void set_permissions(const std::filesystem::path& path, std::uint32_t bits) override {
#ifdef _WIN32
        (void)path;
        (void)bits;
#else
        if (::chmod(path.c_str(), static_cast<mode_t>(bits & 0777)) != 0)
            throw FileError(path, "cannot be given the permissions of the file it replaces: " + system_reason(errno));
#endif
    }

    void sync(const std::vector<std::filesystem::path>& paths) override;

    void replace(const std::filesystem::path& from, const std::filesystem::path& to) override {
#ifdef _WIN32
        if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            const DWORD error = GetLastError();
            const std::string reason = std::system_category().message(static_cast<int>(error));
            throw FileError(to,
                            "cannot be replaced: " + (error == ERROR_NOT_SAME_DEVICE ? mount_reason(reason) : reason));
        }
#else
        if (::rename(from.c_str(), to.c_str()) != 0) {
            const int error = errno;
            throw FileError(to, "cannot be replaced: " +
                                    (error == EXDEV || error == EBUSY ? mount_reason(system_reason(error))
                                                                      : system_reason(error)));
        }
#endif
    }

    bool add_name(const std::filesystem::path& existing, const std::filesystem::path& name) override {
#ifdef _WIN32
        if (CreateHardLinkW(name.c_str(), existing.c_str(), nullptr)) return true;
        const DWORD error = GetLastError();
        if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED) return false;
        const std::string reason = std::system_category().message(static_cast<int>(error));
        if (error == ERROR_NOT_SAME_DEVICE) throw FileError(existing, "cannot be replaced: " + mount_reason(reason));
        throw FileError(existing, "cannot be kept: " + reason);
#else
        if (::link(existing.c_str(), name.c_str()) == 0) return true;
        const int error = errno;
        if (error == EPERM || error == EOPNOTSUPP || error == EMLINK) return false;
        // A file mounted over `existing`: no second name outside its mount.
        if (error == EXDEV) throw FileError(existing, "cannot be replaced: " + mount_reason(system_reason(error)));
        throw FileError(existing, "cannot be kept: " + system_reason(error));
#endif
    }

    void remove(const std::filesystem::path& path) override {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);  // links are removed, never followed
        if (ec) throw FileError(path, "cannot be removed: " + ec.message());
    }

    std::unique_ptr<FolderLock> lock(const std::filesystem::path& path, bool create) override;

    std::optional<std::vector<std::filesystem::path>> names_in(const std::filesystem::path& folder) override {
        std::vector<std::filesystem::path> names;
        std::error_code ec;
        for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            names.push_back(it->path().filename());
        if (ec) return std::nullopt;
        return names;
    }
};

#ifdef _WIN32
class HandleLock final : public FolderLock {
public:
    explicit HandleLock(HANDLE handle) : handle_(handle) {}
    ~HandleLock() override {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);  // lets the lock go
    }

private:
    HANDLE handle_;
};

std::unique_ptr<FolderLock> RealFileSystem::lock(const std::filesystem::path& path, bool create) {
    const auto open_lock = [&](DWORD access, DWORD disposition) {
        return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           disposition, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    HANDLE handle = open_lock(GENERIC_READ | GENERIC_WRITE, create ? OPEN_ALWAYS : OPEN_EXISTING);
    const DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    // A lock file this user may only read (read-only, or another user's)
    // locks as well.
    if (error == ERROR_ACCESS_DENIED) handle = open_lock(GENERIC_READ, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        if (!create && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
            return std::make_unique<HandleLock>(INVALID_HANDLE_VALUE);
        throw FileError(path, "cannot be opened: " + std::system_category().message(static_cast<int>(error)));
    }
    auto held = std::make_unique<HandleLock>(handle);
    OVERLAPPED whole{};
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        const DWORD refused = GetLastError();
        if (refused == ERROR_LOCK_VIOLATION || refused == ERROR_IO_PENDING) return nullptr;
        throw FileError(path, "cannot be locked: " + std::system_category().message(static_cast<int>(refused)));
    }
    return held;
}
// A folder is left out: its names go to the disk with NTFS's own log, and
// flushing a folder takes administrator rights.
void RealFileSystem::sync(const std::vector<std::filesystem::path>& paths) {
    for (const auto& path : paths) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        const HANDLE handle =
            CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool flushed = handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
        const DWORD error = flushed ? 0 : GetLastError();
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        if (!flushed)
            throw FileError(path,
                            "cannot be stored on the disk: " + std::system_category().message(static_cast<int>(error)));
    }
}
#else
class DescriptorLock final : public FolderLock {
public:
    explicit DescriptorLock(int descriptor) : descriptor_(descriptor) {}
    ~DescriptorLock() override {
        if (descriptor_ >= 0) ::close(descriptor_);  // lets the lock go
    }

private:
    int descriptor_;
};

std::unique_ptr<FolderLock> RealFileSystem::lock(const std::filesystem::path& path, bool create) {
    // Opened as a run opens it whether it may create it or not, so that a
    // dry run fails where a run fails. A lock file this user may only read
    // (read-only, another user's in a shared lib, on a read-only mount)
    // locks as well.
    for (int attempt = 0;; ++attempt) {
        constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
        int descriptor = ::open(path.c_str(), O_RDWR | (create ? O_CREAT : 0) | kFlags, 0666);
        const int error = descriptor < 0 ? errno : 0;
        if (error == EACCES || error == EROFS) descriptor = ::open(path.c_str(), O_RDONLY | kFlags);
        if (descriptor < 0) {
            if (!create && error == ENOENT) return std::make_unique<DescriptorLock>(-1);
            throw FileError(path,
                            "cannot be opened: " + (error == ELOOP ? std::string("it is a link") : system_reason(error)));
        }
        auto held = std::make_unique<DescriptorLock>(descriptor);
        if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            const int refused = errno;
            if (refused == EWOULDBLOCK) return nullptr;
            throw FileError(path, "cannot be locked: " + system_reason(refused));
        }
        // A lock file removed while this one was taking it (a dry run's goes
        // with its lock) locks nothing: the next run makes a new one.
        struct stat locked {}, named {};
        if (::fstat(descriptor, &locked) == 0 && ::lstat(path.c_str(), &named) == 0 && locked.st_dev == named.st_dev &&
            locked.st_ino == named.st_ino)
            return held;
        if (attempt == 8) throw FileError(path, "cannot be locked: it is removed again and again");
    }
}

// One syncfs where the files are many: ext4 commits its journal at every
// fsync, and committing it a thousand times costs more than writing back
// the whole file system once.
constexpr std::size_t kSyncWholeFrom = 8;

void RealFileSystem::sync(const std::vector<std::filesystem::path>& paths) {
    const auto open_or_throw = [](const std::filesystem::path& path, int flags) {
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
        if (descriptor < 0) throw FileError(path, "cannot be stored on the disk: " + system_reason(errno));
        return descriptor;
    };
    const auto done = [](const std::filesystem::path& path, int descriptor, int result) {
        const int error = result != 0 ? errno : 0;
        ::close(descriptor);
        if (error != 0) throw FileError(path, "cannot be stored on the disk: " + system_reason(error));
    };
    std::vector<const std::filesystem::path*> files;
    std::map<dev_t, const std::filesystem::path*> devices;
    for (const auto& path : paths) {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0)
            throw FileError(path, "cannot be stored on the disk: " + system_reason(errno));
        if (S_ISDIR(status.st_mode)) {
            const int descriptor = open_or_throw(path, O_DIRECTORY);
            done(path, descriptor, ::fsync(descriptor));
            continue;
        }
        files.push_back(&path);
        devices.emplace(status.st_dev, &path);
    }
    if (files.size() >= kSyncWholeFrom) {
        for (const auto& [device, path] : devices) {
            const int descriptor = open_or_throw(*path, 0);
            done(*path, descriptor, ::syncfs(descriptor));
        }
        return;
    }
    for (const auto* path : files) {
        const int descriptor = open_or_throw(*path, 0);
        done(*path, descriptor, ::fsync(descriptor));
    }
}
#endif

}  // namespace

namespace {

// What a dry run writes outside its own folders: nothing.
class DiscardedOutput final : public OutputFile {
public:
    void write(const char*, std::size_t) override {}
    void close() override {}
};

// A dry run's file to be put in place: created and closed as the run does
// it, its bytes thrown away.
class EmptyOutput final : public OutputFile {
public:
    explicit EmptyOutput(std::unique_ptr<OutputFile> file) : file_(std::move(file)) {}
    void write(const char*, std::size_t) override {}
    void close() override { file_->close(); }

private:
    std::unique_ptr<OutputFile> file_;
};

// The lock of a dry run on a lock file it created: the file goes first, then
// the lock (a run that opened it meanwhile finds it gone and makes another).
class TrialLock final : public FolderLock {
public:
    TrialLock(FileSystem& files, std::filesystem::path path, std::unique_ptr<FolderLock> held)
        : files_(files), path_(std::move(path)), held_(std::move(held)) {}
    ~TrialLock() override {
        try {
            files_.remove(path_);
        } catch (const std::exception&) {
            // An empty lock file stays.
        }
    }

private:
    FileSystem& files_;
    std::filesystem::path path_;
    std::unique_ptr<FolderLock> held_;
};

bool within(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const auto& text = path.native();
    const auto& prefix = folder.native();
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0 &&
           (text.size() == prefix.size() || text[prefix.size()] == std::filesystem::path::preferred_separator);
}

}  // namespace

DiscardingFileSystem::~DiscardingFileSystem() {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) inner().remove_empty_folder(*it);
}

bool DiscardingFileSystem::own(const std::filesystem::path& path) {
    std::lock_guard lock(mutex_);
    for (const auto& folder : own_)
        if (within(path, folder)) return true;
    return false;
}

std::unique_ptr<OutputFile> DiscardingFileSystem::open_write(const std::filesystem::path& path, WriteMode mode) {
    if (!own(path)) return std::make_unique<DiscardedOutput>();
    auto file = inner().open_write(path, mode);
    if (path.extension() == kStagedExtension) return std::make_unique<EmptyOutput>(std::move(file));
    return file;  // the run's scratch files, read back for its summary
}

void DiscardingFileSystem::make_folder(const std::filesystem::path& path) {
    const bool missing = inner().status(path, false).kind == FileEntry::Kind::None;
    inner().make_folder(path);
    if (missing) made_.push_back(path);
}

std::filesystem::path DiscardingFileSystem::make_unique_folder(const std::filesystem::path& folder,
                                                               const std::string& prefix) {
    auto made = inner().make_unique_folder(folder, prefix);
    std::lock_guard lock(mutex_);
    own_.push_back(made);
    return made;
}

void DiscardingFileSystem::replace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (own(from) && own(to)) inner().replace(from, to);
}

bool DiscardingFileSystem::add_name(const std::filesystem::path& existing, const std::filesystem::path& name) {
    // Tried for real: a file mounted over `existing` refuses it as the run's move would.
    return own(name) ? inner().add_name(existing, name) : true;
}

void DiscardingFileSystem::remove(const std::filesystem::path& path) {
    if (own(path)) inner().remove(path);  // what killed runs left stays for the next run
}

void DiscardingFileSystem::set_permissions(const std::filesystem::path& path, std::uint32_t bits) {
    if (own(path)) inner().set_permissions(path, bits);
}

std::unique_ptr<FolderLock> DiscardingFileSystem::lock(const std::filesystem::path& path, bool create) {
    const bool there = inner().status(path, false).kind != FileEntry::Kind::None;
    auto held = inner().lock(path, create);
    if (!held || there || !create) return held;
    return std::make_unique<TrialLock>(inner(), path, std::move(held));
}

FileSystem& real_file_system() {
    static RealFileSystem instance;
    return instance;
}

}  // namespace marrowgate
