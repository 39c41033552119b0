// The warnings of a run, counted by kind and gathered in groups a librarian
// can act on (one group per missing decal, one per part name met twice, one
// per file with lines outside the part blocks).
// Memory holds the counts and the first groups with their first examples;
// every warning goes to a file of its kind as it comes, and the run's report
// gathers them all at the end, working out the groups memory did not keep
// from those files (SpilledGroups.h). However many warnings a run meets, the
// summaries stay short and memory stays flat. The words are RunText's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace marrowgate {

class FileError;
class FileSystem;
class OutputFile;

enum class WarningKind {
    NoDecalFile,    // no decal library was chosen for the pad-count key
    DecalLibrary,   // lines of the decal library passed over, decals defined twice
    UnclosedPart,   // a part reaching the end of its file without its empty line
    Unplaced,       // parts placed in no file, by missing decal
    DuplicateName,  // part names met more than once, by name
    PassedOver,     // lines outside any part block, by file
    // The findings of a check run (which also meets UnclosedPart and PassedOver).
    MissingDecal,        // decals that parts name and the decal library lacks, by decal
    PinsFirstDecal,      // pin count other than the first decal's pad count, by decal
    PinsAlternateDecal,  // pin count other than an alternate decal's pad count, by decal
    NameDiffers,         // part names met more than once with other blocks, by name
    NameSameButTimestamp,  // ... with blocks that differ only in their TIMESTAMP line
    NameIdentical,       // ... with identical blocks
    DecalOtherPads,      // decals defined twice with other pad counts
    DecalSamePads,       // decals defined twice with the same pad count
    DecalNoPadCount,     // decal header lines that hold no pad count
    DecalUnused,         // decals no part names
    HeaderCounts,        // part header counts that disagree with the block's lines
    NotChecked,          // checks left out, and why
};
inline constexpr std::size_t kWarningKinds = 18;

// Whether the warnings of a kind gather in groups (by decal, by part name);
// a warning of any other kind is a group of its own.
constexpr bool warnings_grouped(WarningKind kind) {
    switch (kind) {
        case WarningKind::Unplaced:
        case WarningKind::DuplicateName:
        case WarningKind::PassedOver:
        case WarningKind::MissingDecal:
        case WarningKind::PinsFirstDecal:
        case WarningKind::PinsAlternateDecal:
        case WarningKind::NameDiffers:
        case WarningKind::NameSameButTimestamp:
        case WarningKind::NameIdentical: return true;
        default: return false;
    }
}

struct WarningGroup {
    std::string title;                  // "decal SOT-23_X: not in the decal library"
    long long count = 0;                // warnings in the group
    std::vector<std::string> examples;  // the first ones: part names, places
};

struct WarningTally {
    long long count = 0;   // warnings of the kind
    long long groups = 0;  // groups met: exact while `groups_exact`
    bool groups_exact = true;
    std::vector<WarningGroup> kept;  // the first groups met, in that order
};

// "23,728": counts as the summaries show them.
std::string with_thousands(long long count);

// Where a run writes each warning as it comes, one file a kind, until the
// report gathers them. Held by the run, beside the warnings it feeds. Each
// warning is kept as a record of its group (empty where the warning is a
// group of its own), its example and its line, so that the report can work
// out groups that memory did not keep.
class WarningFiles {
public:
    // The files go in `folder`; a failure to write them is told as one of
    // `report`, the file they are kept for.
    WarningFiles(FileSystem& files, std::filesystem::path folder, std::filesystem::path report);
    ~WarningFiles();
    WarningFiles(const WarningFiles&) = delete;
    WarningFiles& operator=(const WarningFiles&) = delete;

    void write(WarningKind kind, std::string_view group, std::string_view example, std::string_view line);
    // Ends the file of every kind, then hands each warning of `kind`, in the
    // order met, to out(group, example, line); a kind without warnings gives
    // nothing. Throws FileError.
    void replay(WarningKind kind,
                const std::function<void(std::string_view, std::string_view, std::string_view)>& out);
    // The bytes kept for `kind` so far.
    std::uint64_t size(WarningKind kind) const;

    // For the report's own scratch files: the folder and the file layer.
    const std::filesystem::path& folder() const { return folder_; }
    FileSystem& files() { return files_; }

private:
    struct Sink;
    FileError failure(const FileError& error) const;
    void finish();
    FileSystem& files_;
    std::filesystem::path folder_;
    std::filesystem::path report_;
    std::array<std::unique_ptr<Sink>, kWarningKinds> sinks_;
};

class RunWarnings {
public:
    static constexpr std::size_t kGroupsKept = 1000;
    static constexpr std::size_t kExamplesKept = 5;
    // About this many lines in a summary, however many warnings.
    static constexpr std::size_t kSummaryLines = 40;

    // A warning of its own: a group whose title is `text`.
    void add(WarningKind kind, std::string_view text);
    // The titles of a kind's groups: `before`, the group's name, `after`.
    void set_titles(WarningKind kind, std::string before, std::string after) {
        titles_[static_cast<std::size_t>(kind)] = {std::move(before), std::move(after)};
    }
    // A warning of the group `group` (the missing decal, the part name), with
    // `example` what the warning is about and `line` its full line for the
    // report.
    void add(WarningKind kind, std::string_view group, std::string_view example, std::string_view line);

    const WarningTally& of(WarningKind kind) const { return tallies_[static_cast<std::size_t>(kind)]; }
    long long total() const;
    bool empty() const { return total() == 0; }

    // The title of the group `group` of a kind, as add() makes it.
    std::string title_of(WarningKind kind, std::string_view group) const;
    // Whether the group is one of those kept.
    bool kept(WarningKind kind, std::string_view group) const;
    // The number of groups of a kind, once worked out in full.
    void set_groups(WarningKind kind, long long groups);

    // Where every warning goes as it comes; none while the run has no place
    // for them yet (the counts and the kept groups still grow).
    void write_to(WarningFiles* files) { files_ = files; }

    // The report of the run, once written, and why it could not be.
    std::filesystem::path report;
    std::string report_error;

private:
    // Names looked up as they are, without a string made for each warning.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };
    struct Groups {
        std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> index;  // name -> kept position
    };
    WarningFiles* files_ = nullptr;
    std::array<WarningTally, kWarningKinds> tallies_{};
    std::array<Groups, kWarningKinds> groups_{};
    std::array<std::pair<std::string, std::string>, kWarningKinds> titles_{};
};

}  // namespace marrowgate
