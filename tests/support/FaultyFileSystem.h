// A file layer for tests that passes everything to another one (the real disk
// by default) while counting what is done and failing chosen operations the
// way a real system would: an open that is refused, a read that breaks off, a
// write that stores only part of its bytes before the disk is full, a close
// whose flush fails. It also records every move and sync in order, so a test
// can check that files reach the disk before they are put in place. The engine reads and writes on threads of its own, so
// every count is kept under a lock.
#pragma once

#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "io/FileSystem.h"

namespace marrowgate::test {

class FaultyFileSystem final : public ForwardingFileSystem {
public:
    // A failing sync fails for the first of the paths it was given;
    // MakeFolder is the making of a unique folder, by the folder it is made in.
    enum class Op { OpenRead, Read, OpenWrite, Write, Close, Move, Sync, Remove, MakeFolder };
    // A move (from, to) or a sync of one path (path, empty), in order.
    struct Step {
        Op op;
        std::filesystem::path path;
        std::filesystem::path to;
    };

    explicit FaultyFileSystem(FileSystem& inner = real_file_system());

    // The nth operation of kind `op` (1 = the first, counted from now on)
    // fails with `error`; with `only`, just the operations on that file count.
    // A failing write first stores the first half of its bytes, as a write
    // that meets a full disk does.
    void fail(Op op, long nth, int error, std::optional<std::filesystem::path> only = std::nullopt);

    // Called before every open for reading, on the thread that opens: a test
    // can hold a run there. Set before the run.
    std::function<void(const std::filesystem::path&)> before_open_read;
    // Asked before every operation counted, on the thread that carries it
    // out (for a move, with the path it replaces): a test can hold it there,
    // or fail it with the error returned where that is not 0. Set before the
    // run.
    std::function<int(Op, const std::filesystem::path&)> decide;

    // Operations of a kind carried out or attempted so far.
    long count(Op op) const;
    // The most bytes written at once.
    std::size_t largest_write() const {
        std::lock_guard lock(mutex_);
        return largest_write_;
    }
    // How many writes to `path` ended off a 4,096-byte boundary of the file
    // since it was last created or emptied.
    long ragged_writes(const std::filesystem::path& path) const {
        std::lock_guard lock(mutex_);
        const auto it = written_.find(path);
        return it == written_.end() ? 0 : it->second.ragged;
    }
    // The most files open for writing at one time.
    std::size_t most_open() const {
        std::lock_guard lock(mutex_);
        return most_open_;
    }
    // How often each path was opened for reading.
    long read_opens(const std::filesystem::path& path) const;
    // Every move and every path synced, in order.
    std::vector<Step> steps() const {
        std::lock_guard lock(mutex_);
        return steps_;
    }

    std::unique_ptr<InputFile> open_read(const std::filesystem::path& path) override;
    std::unique_ptr<OutputFile> open_write(const std::filesystem::path& path, WriteMode mode) override;
    // A move that fails leaves both files as they were, as a rename does.
    void replace(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void sync(const std::vector<std::filesystem::path>& paths) override;
    void remove(const std::filesystem::path& path) override;
    std::filesystem::path make_unique_folder(const std::filesystem::path& folder, const std::string& prefix) override;

private:
    class Input;
    class Output;
    struct Fault {
        Fault(Op op, long remaining, int error, std::optional<std::filesystem::path> only)
            : op(op), remaining(remaining), error(error), only(std::move(only)) {}
        Op op;
        std::atomic<long> remaining;  // matching operations still to pass before it fires
        int error;
        std::optional<std::filesystem::path> only;
    };

    // Counts an operation and returns the error it must fail with, or 0.
    // Without a lock: a fuzz case reads a few bytes at a time.
    int check(Op op, const std::filesystem::path& path);

    mutable std::mutex mutex_;
    std::deque<Fault> faults_;  // set before the run; only `remaining` changes during it
    std::array<std::atomic<long>, 9> counts_{};  // by Op
    std::map<std::filesystem::path, long> read_opens_;
    std::vector<Step> steps_;
    std::size_t largest_write_ = 0;
    struct Written {
        std::uintmax_t size = 0;
        long ragged = 0;
    };
    std::map<std::filesystem::path, Written> written_;  // by path, since it was last created or emptied
    std::size_t open_now_ = 0;
    std::size_t most_open_ = 0;
};

}  // namespace marrowgate::test
