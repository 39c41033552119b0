#include "library/RunWarnings.h"

#include <algorithm>

#include "library/FileSystem.h"

namespace marrowgate {

namespace {

// What a kind's file gathers before it is written, and the piece read back.
constexpr std::size_t kSpillBuffer = std::size_t{64} << 10;
constexpr std::size_t kReplayPiece = std::size_t{16} << 10;

std::string noun(WarningKind kind, long long count) {
    const char* word = kind == WarningKind::DuplicateName ? "block" : "part";
    return with_thousands(count) + " " + word + (count == 1 ? "" : "s");
}

std::string group_line(WarningKind kind, const WarningGroup& group) {
    std::string line = "  " + group.title;
    if (group.examples.empty()) return line;
    line += ", " + noun(kind, group.count) + ": ";
    for (std::size_t i = 0; i < group.examples.size(); ++i) line += (i ? ", " : "") + group.examples[i];
    if (group.count > static_cast<long long>(group.examples.size())) line += ", ...";
    return line;
}

}  // namespace

std::string with_thousands(long long count) {
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (auto i = static_cast<std::ptrdiff_t>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), 1, ',');
    return count < 0 ? "-" + digits : digits;
}

std::string warning_kind_title(WarningKind kind, const WarningTally& tally) {
    const std::string count = with_thousands(tally.count);
    const std::string groups = (tally.groups_exact ? "" : "more than ") + with_thousands(tally.groups);
    switch (kind) {
        case WarningKind::NoDecalFile: return "No decal library:";
        case WarningKind::DecalLibrary: return "The decal library (" + count + "):";
        case WarningKind::UnclosedPart: return "Parts without the empty line that ends a part (" + count + "):";
        case WarningKind::Unplaced:
            return "Parts placed in no file (" + noun(kind, tally.count) + ", " + groups +
                   (tally.groups == 1 && tally.groups_exact ? " decal" : " decals") + "):";
        case WarningKind::DuplicateName:
            return "Part names met more than once (" + groups +
                   (tally.groups == 1 && tally.groups_exact ? " name, " : " names, ") + noun(kind, tally.count) +
                   "):";
    }
    return {};
}

// --- the files of each kind ---------------------------------------------

struct WarningFiles::Sink {
    std::filesystem::path path;
    std::unique_ptr<OutputFile> file;  // none while every line fits in the buffer
    std::string buffer;
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

void WarningFiles::write(WarningKind kind, std::string_view line) {
    auto& sink = sinks_[static_cast<std::size_t>(kind)];
    if (!sink) sink = std::make_unique<Sink>();
    if (sink->finished) return;
    sink->buffer.append(line).append("\n");
    if (sink->buffer.size() < kSpillBuffer) return;
    // More than memory keeps: the lines go to a file of the kind.
    try {
        if (!sink->file) {
            sink->path = folder_ / ("warnings-" + std::to_string(static_cast<int>(kind)) + ".txt");
            sink->file = files_.open_write(sink->path, WriteMode::Truncate);
        }
        sink->file->write(sink->buffer.data(), sink->buffer.size());
        sink->buffer.clear();
    } catch (const FileError& error) {
        throw failure(error);
    }
}

void WarningFiles::finish() {
    for (auto& sink : sinks_) {
        if (!sink || sink->finished) continue;
        sink->finished = true;
        if (!sink->file) continue;  // its lines are all in the buffer
        try {
            sink->file->write(sink->buffer.data(), sink->buffer.size());
            sink->buffer = std::string();
            sink->file->close();
            sink->file.reset();
        } catch (const FileError& error) {
            throw failure(error);
        }
    }
}

void WarningFiles::replay_into(WarningKind kind, const std::function<void(std::string_view)>& out) {
    const auto& sink = sinks_[static_cast<std::size_t>(kind)];
    if (!sink) return;
    if (sink->path.empty()) {
        out(sink->buffer);
        return;
    }
    const auto input = files_.open_read(sink->path);
    std::string chunk(kReplayPiece, '\0');
    while (const std::size_t got = input->read(chunk.data(), chunk.size())) out(std::string_view(chunk.data(), got));
}

// --- counts and groups ----------------------------------------------------

void RunWarnings::add(WarningKind kind, std::string_view text) {
    auto& tally = tallies_[static_cast<std::size_t>(kind)];
    ++tally.count;
    ++tally.groups;
    if (tally.kept.size() < kGroupsKept) tally.kept.push_back(WarningGroup{std::string(text), 1, {}});
    if (files_) files_->write(kind, text);
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
        const auto& [before, after] = titles_[k];
        tally.kept.push_back(WarningGroup{before + std::string(group) + after, 1, {std::string(example)}});
        ++tally.groups;
    } else {
        // Past the groups kept, a group cannot be told new or met before
        // without memory that grows with the warnings.
        tally.groups_exact = false;
    }
    if (files_) files_->write(kind, line);
}

long long RunWarnings::total() const {
    long long total = 0;
    for (const auto& tally : tallies_) total += tally.count;
    return total;
}

std::vector<std::string> RunWarnings::summary(std::size_t lines) const {
    std::vector<std::string> out;
    std::size_t kinds = 0;
    for (const auto& tally : tallies_) kinds += tally.count > 0;
    // Each kind its title; the lines left are shared among the kinds in
    // turn, a kind's unused share going to those after it.
    std::size_t left = lines > kinds ? lines - kinds : 0;
    for (std::size_t k = 0; k < kWarningKinds; ++k) {
        const WarningTally& tally = tallies_[k];
        if (tally.count == 0) continue;
        const auto kind = static_cast<WarningKind>(k);
        out.push_back(warning_kind_title(kind, tally));
        const std::size_t share = lines == 0 ? tally.kept.size() : left / kinds--;
        const bool whole = tally.groups_exact && tally.groups == static_cast<long long>(tally.kept.size()) &&
                           tally.kept.size() <= share;
        // Without a limit (the report) every kept group is shown, then what
        // was not kept; within one, the last line says how many more.
        const std::size_t shown =
            whole || lines == 0 ? tally.kept.size() : std::min(tally.kept.size(), share > 0 ? share - 1 : 0);
        long long shown_count = 0;
        for (std::size_t g = 0; g < shown; ++g) {
            out.push_back(group_line(kind, tally.kept[g]));
            shown_count += tally.kept[g].count;
        }
        if (!whole) {
            out.push_back("  ... and " +
                          (tally.groups_exact ? with_thousands(tally.groups - static_cast<long long>(shown))
                                              : noun(kind, tally.count - shown_count)) +
                          " more");
        }
        left -= std::min(left, shown + (whole ? 0 : 1));
    }
    return out;
}

}  // namespace marrowgate
