#include "report/RunWarnings.h"

#include <optional>

#include "io/FileSystem.h"
#include "report/WarningRecords.h"

namespace marrowgate {

namespace {

// What a kind's file gathers before it is written.
constexpr std::size_t kSpillBuffer = std::size_t{64} << 10;

}  // namespace

std::string with_thousands(long long count) {
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (auto i = static_cast<std::ptrdiff_t>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), 1, ',');
    return count < 0 ? "-" + digits : digits;
}

// --- the files of each kind ---------------------------------------------

struct WarningFiles::Sink {
    std::filesystem::path path;
    std::unique_ptr<OutputFile> file;  // none while every record fits in the buffer
    std::string buffer;
    std::uint64_t written = 0;
    bool finished = false;
};

WarningFiles::WarningFiles(FileSystem& files, std::filesystem::path folder, std::filesystem::path report)
    : files_(files), folder_(std::move(folder)), report_(std::move(report)) {}

WarningFiles::~WarningFiles() = default;

// The scratch files are the run's own business; a failure is told as one of
// the report, the file the user knows.
FileError WarningFiles::failure(const FileError& error) const {
    return FileError(report_, "the run's warnings cannot be kept for it: " + error.reason() + ". Nothing was changed.");
}

void WarningFiles::write(WarningKind kind, std::string_view group, std::string_view example,
                         std::string_view line) {
    auto& sink = sinks_[static_cast<std::size_t>(kind)];
    if (!sink) sink = std::make_unique<Sink>();
    if (sink->finished) return;
    put_record(sink->buffer, {}, {group, example, line});
    if (sink->buffer.size() < kSpillBuffer) return;
    // More than memory keeps: the records go to a file of the kind.
    try {
        if (!sink->file) {
            sink->path = folder_ / ("warnings-" + std::to_string(static_cast<int>(kind)) + ".records");
            sink->file = files_.open_write(sink->path, WriteMode::Truncate);
        }
        sink->file->write(sink->buffer.data(), sink->buffer.size());
        sink->written += sink->buffer.size();
        sink->buffer.clear();
    } catch (const FileError& error) {
        throw failure(error);
    }
}

void WarningFiles::finish() {
    for (auto& sink : sinks_) {
        if (!sink || sink->finished) continue;
        sink->finished = true;
        if (!sink->file) continue;  // its records are all in the buffer
        try {
            sink->file->write(sink->buffer.data(), sink->buffer.size());
            sink->written += sink->buffer.size();
            sink->buffer = std::string();
            sink->file->close();
            sink->file.reset();
        } catch (const FileError& error) {
            throw failure(error);
        }
    }
}

std::uint64_t WarningFiles::size(WarningKind kind) const {
    const auto& sink = sinks_[static_cast<std::size_t>(kind)];
    return sink ? sink->written + sink->buffer.size() : 0;
}

void WarningFiles::replay(WarningKind kind,
                          const std::function<void(std::string_view, std::string_view, std::string_view)>& out) {
    finish();
    const auto& sink = sinks_[static_cast<std::size_t>(kind)];
    if (!sink) return;
    std::optional<RecordReader> records;
    if (sink->path.empty()) records.emplace(sink->buffer);
    else records.emplace(files_.open_read(sink->path), sink->path);
    std::string_view fields[3];
    while (records->next({}, fields)) out(fields[0], fields[1], fields[2]);
}

// --- counts and groups ----------------------------------------------------

void RunWarnings::add(WarningKind kind, std::string_view text) {
    auto& tally = tallies_[static_cast<std::size_t>(kind)];
    ++tally.count;
    ++tally.groups;
    if (tally.kept.size() < kGroupsKept) tally.kept.push_back(WarningGroup{std::string(text), 1, {}});
    if (files_) files_->write(kind, {}, {}, text);
}

void RunWarnings::add(WarningKind kind, std::string_view group, std::string_view example, std::string_view line) {
    const auto k = static_cast<std::size_t>(kind);
    auto& tally = tallies_[k];
    ++tally.count;
    auto& index = groups_[k].index;
    const auto found = index.find(group);
    if (found != index.end()) {
        WarningGroup& kept = tally.kept[found->second];
        ++kept.count;
        if (kept.examples.size() < kExamplesKept) kept.examples.emplace_back(example);
    } else if (tally.kept.size() < kGroupsKept) {
        index.emplace(std::string(group), tally.kept.size());
        tally.kept.push_back(WarningGroup{title_of(kind, group), 1, {std::string(example)}});
        ++tally.groups;
    } else {
        // Past the groups kept, a group cannot be told new or met before
        // without memory that grows with the warnings.
        tally.groups_exact = false;
    }
    if (files_) files_->write(kind, group, example, line);
}

std::string RunWarnings::title_of(WarningKind kind, std::string_view group) const {
    const auto& [before, after] = titles_[static_cast<std::size_t>(kind)];
    return before + std::string(group) + after;
}

bool RunWarnings::kept(WarningKind kind, std::string_view group) const {
    const auto& index = groups_[static_cast<std::size_t>(kind)].index;
    return index.find(group) != index.end();
}

void RunWarnings::set_groups(WarningKind kind, long long groups) {
    auto& tally = tallies_[static_cast<std::size_t>(kind)];
    tally.groups = groups;
    tally.groups_exact = true;
}

long long RunWarnings::total() const {
    long long total = 0;
    for (const auto& tally : tallies_) total += tally.count;
    return total;
}


}  // namespace marrowgate
