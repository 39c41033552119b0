#include "library/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "state/Module1.h"

namespace marrowgate {

FileError::FileError(const std::filesystem::path& file, std::string reason)
    : std::runtime_error(display_path(file) + ": " + reason), file_(file), reason_(std::move(reason)) {}

std::string display_path(const std::filesystem::path& path) { return utf8_from_path(path); }

std::string system_reason(int error_number) {
    return std::generic_category().message(error_number);
}

namespace {
constexpr std::size_t kEnough = 1100;  // the decal name key holds up to 1,024 keys
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

std::FILE* open_file(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wmode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

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
        std::FILE* file = open_file(path, mode == WriteMode::Truncate ? "wb" : "ab");
        if (!file) {
            const int error = errno;
            throw FileError(path, "cannot be created: " + system_reason(error ? error : EIO));
        }
        return std::make_unique<RealOutput>(file, path);
    }
};

}  // namespace

namespace {
class DiscardedOutput final : public OutputFile {
public:
    void write(const char*, std::size_t) override {}
    void close() override {}
};
}  // namespace

std::unique_ptr<InputFile> DiscardingFileSystem::open_read(const std::filesystem::path& path) {
    return reads_.open_read(path);
}

std::unique_ptr<OutputFile> DiscardingFileSystem::open_write(const std::filesystem::path&, WriteMode) {
    return std::make_unique<DiscardedOutput>();
}

FileSystem& real_file_system() {
    static RealFileSystem instance;
    return instance;
}

}  // namespace marrowgate
