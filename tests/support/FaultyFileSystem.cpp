#include "support/FaultyFileSystem.h"

#include <algorithm>


namespace marrowgate::test {

class FaultyFileSystem::Input final : public InputFile {
public:
    Input(FaultyFileSystem& owner, std::unique_ptr<InputFile> inner, std::filesystem::path path)
        : owner_(owner), inner_(std::move(inner)), path_(std::move(path)) {}

    std::size_t read(char* buffer, std::size_t size) override {
        if (const int error = owner_.check(Op::Read, path_))
            throw FileError(path_, "cannot be read: " + system_reason(error));
        return inner_->read(buffer, size);
    }

private:
    FaultyFileSystem& owner_;
    std::unique_ptr<InputFile> inner_;
    std::filesystem::path path_;
};

class FaultyFileSystem::Output final : public OutputFile {
public:
    Output(FaultyFileSystem& owner, std::unique_ptr<OutputFile> inner, std::filesystem::path path)
        : owner_(owner), inner_(std::move(inner)), path_(std::move(path)) {
        std::lock_guard lock(owner_.mutex_);
        owner_.most_open_ = std::max(owner_.most_open_, ++owner_.open_now_);
    }
    ~Output() override {
        std::lock_guard lock(owner_.mutex_);
        --owner_.open_now_;
    }

    void write(const char* data, std::size_t size) override {
        const int error = owner_.check(Op::Write, path_);
        {
            std::lock_guard lock(owner_.mutex_);
            owner_.largest_write_ = std::max(owner_.largest_write_, size);
            auto& written = owner_.written_[path_];
            written.size += error ? size / 2 : size;
            if (written.size % 4096 != 0) ++written.ragged;
        }
        inner_->write(data, error ? size / 2 : size);
        if (error) throw FileError(path_, "cannot be written: " + system_reason(error));
    }

    void close() override {
        const int error = owner_.check(Op::Close, path_);
        inner_->close();
        if (error) throw FileError(path_, "cannot be written: " + system_reason(error));
    }

private:
    FaultyFileSystem& owner_;
    std::unique_ptr<OutputFile> inner_;
    std::filesystem::path path_;
};

FaultyFileSystem::FaultyFileSystem(FileSystem& inner) : ForwardingFileSystem(inner) {}

void FaultyFileSystem::fail(Op op, long nth, int error, std::optional<std::filesystem::path> only) {
    faults_.emplace_back(op, nth - 1, error, std::move(only));
}

long FaultyFileSystem::count(Op op) const {
    return counts_[static_cast<std::size_t>(op)].load(std::memory_order_relaxed);
}

long FaultyFileSystem::read_opens(const std::filesystem::path& path) const {
    std::lock_guard lock(mutex_);
    const auto it = read_opens_.find(path);
    return it == read_opens_.end() ? 0 : it->second;
}

int FaultyFileSystem::check(Op op, const std::filesystem::path& path) {
    counts_[static_cast<std::size_t>(op)].fetch_add(1, std::memory_order_relaxed);
    int error = 0;
    for (Fault& fault : faults_) {
        if (fault.op != op || (fault.only && *fault.only != path)) continue;
        // Exactly one operation takes it from 0 to -1, whichever thread.
        if (fault.remaining.load(std::memory_order_relaxed) >= 0 && fault.remaining.fetch_sub(1) == 0 && !error)
            error = fault.error;
    }
    if (decide)
        if (const int decided = decide(op, path); decided && !error) error = decided;
    return error;
}

std::unique_ptr<InputFile> FaultyFileSystem::open_read(const std::filesystem::path& path) {
    if (before_open_read) before_open_read(path);
    {
        std::lock_guard lock(mutex_);
        ++read_opens_[path];
    }
    if (const int error = check(Op::OpenRead, path))
        throw FileError(path, "cannot be opened: " + system_reason(error));
    return std::make_unique<Input>(*this, inner().open_read(path), path);
}

std::unique_ptr<OutputFile> FaultyFileSystem::open_write(const std::filesystem::path& path, WriteMode mode) {
    if (const int error = check(Op::OpenWrite, path))
        throw FileError(path, "cannot be created: " + system_reason(error));
    auto inner_file = inner().open_write(path, mode);
    if (mode == WriteMode::Truncate) {
        std::lock_guard lock(mutex_);
        written_.erase(path);
    }
    return std::make_unique<Output>(*this, std::move(inner_file), path);
}

void FaultyFileSystem::replace(const std::filesystem::path& from, const std::filesystem::path& to) {
    {
        std::lock_guard lock(mutex_);
        steps_.push_back(Step{Op::Move, from, to});
    }
    if (const int error = check(Op::Move, to)) throw FileError(to, "cannot be replaced: " + system_reason(error));
    inner().replace(from, to);
}

void FaultyFileSystem::sync(const std::vector<std::filesystem::path>& paths) {
    {
        std::lock_guard lock(mutex_);
        for (const auto& path : paths) steps_.push_back(Step{Op::Sync, path, {}});
    }
    const std::filesystem::path first = paths.empty() ? std::filesystem::path() : paths.front();
    if (const int error = check(Op::Sync, first))
        throw FileError(first, "cannot be stored on the disk: " + system_reason(error));
    inner().sync(paths);
}

std::filesystem::path FaultyFileSystem::make_unique_folder(const std::filesystem::path& folder,
                                                           const std::string& prefix) {
    if (const int error = check(Op::MakeFolder, folder))
        throw FileError(folder, "a folder for the run's new files cannot be made in it: " + system_reason(error));
    return inner().make_unique_folder(folder, prefix);
}

void FaultyFileSystem::remove(const std::filesystem::path& path) {
    if (const int error = check(Op::Remove, path)) throw FileError(path, "cannot be removed: " + system_reason(error));
    inner().remove(path);
}

}  // namespace marrowgate::test
