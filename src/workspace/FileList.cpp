#include "workspace/FileList.h"

#include <optional>

#include "io/Paths.h"
#include "state/Module1.h"
#include "text/LineReader.h"

namespace marrowgate {

std::string describe_refusal(const AddResult& result, const MarkerRule& rule) {
    switch (result.outcome) {
        case AddOutcome::Added: return "accepted";
        case AddOutcome::NoDotInTitle: return "its file name has no extension";
        case AddOutcome::CannotRead: return "it cannot be read: " + result.reason;
        case AddOutcome::NoMarker: return "no line of it is the marker line " + rule.description();
        case AddOutcome::OtherVersion:
            return "it is a PADS " + rule.version_of(result.marker) + " " + rule.kind_name() +
                   " library; the marker line taken is " + rule.description();
        case AddOutcome::OtherKind:
            return "it is a PADS " + rule.other_kind().kind_name() + " library, not a " + rule.kind_name() +
                   " library";
        case AddOutcome::NotRegularFile: return "it is not a regular file";
        case AddOutcome::AlreadyListed: return "it is listed already";
        case AddOutcome::WrongExtension: return "its extension is neither \".p\" nor \".d\"";
        case AddOutcome::ListFull: return "four files are listed already";
    }
    return "refused";
}

bool stage_file(Module1& state, const std::filesystem::path& chosen) {
    const std::string full = utf8_from_path(chosen);
    const std::string title = utf8_from_path(chosen.filename());
    state.Staged_Folder = full.substr(0, full.size() - title.size());
    const std::size_t dot = title.rfind('.');
    if (dot == std::string::npos) return false;
    state.Staged_Base = title.substr(0, dot);
    state.Staged_Extension = title.substr(dot);
    return true;
}

namespace {

std::string staged_full_path(const Module1& state) {
    return state.Staged_Folder + state.Staged_Base + state.Staged_Extension;
}

// A folder, a FIFO or a device is never read: a FIFO would wait for a writer
// and a device may never end. A file that cannot be looked at is left to the
// read, which says why.
bool is_other_than_regular_file(FileSystem& files, const std::filesystem::path& path, AddResult& result) {
    const FileEntry::Kind kind = files.status(path, true).kind;
    if (kind == FileEntry::Kind::None || kind == FileEntry::Kind::File) return false;
    result.outcome = AddOutcome::NotRegularFile;
    return true;
}

// Scans the staged file for its marker line. Returns false with the reason when
// the file cannot be read or holds none; a marker of a version the rule does not
// take is kept, to say which version the file is.
bool find_marker(FileSystem& files, const std::filesystem::path& path, const MarkerRule& rule,
                 AddResult& result) {
    try {
        LineReader lines(files, path);
        std::string_view line;
        std::string other_version;
        std::string other_kind;
        const MarkerRule other_rule = rule.other_kind();
        while (lines.next(line)) {
            if (lines.held() != LineReader::Held::Whole) continue;  // far longer than any marker
            if (rule.matches(line)) {
                result.marker = std::string(line);
                return true;
            }
            if (other_version.empty() && !rule.version_of(line).empty()) other_version = line;
            if (other_kind.empty() && other_rule.matches(line)) other_kind = line;
        }
        result.outcome = !other_version.empty() ? AddOutcome::OtherVersion
                         : !other_kind.empty()  ? AddOutcome::OtherKind
                                                : AddOutcome::NoMarker;
        result.marker = !other_version.empty() ? std::move(other_version) : std::move(other_kind);
    } catch (const FileError& error) {
        result.outcome = AddOutcome::CannotRead;
        result.reason = error.reason();
    }
    return false;
}

// Whether the file is listed already: under the same full path, or under
// another name of it (a symbolic or hard link, a linked folder), which would
// have every part written twice.
bool is_listed(FileSystem& files, const Module1& state, const std::string& full) {
    for (int i = 0; i <= state.File_Count; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        if (state.File_Folder[slot] + state.File_Name[slot] == full) return true;
    }
    const auto identity = files.identity(path_from_utf8(full));
    if (!identity) return false;
    for (int i = 1; i <= state.File_Count; ++i) {
        if (files.identity(listed_file_path(state, i)) == identity) return true;
    }
    return false;
}

}  // namespace

int count_part_types(FileSystem& files, const std::filesystem::path& path) {
    LineReader lines(files, path);
    PartBlockReader blocks(lines);
    int count = 0;
    std::string_view header;
    while (blocks.next_header(header)) {
        ++count;
        blocks.skip_body();
    }
    return count;
}

// Stages the chosen file and makes the checks of both lists: a file title
// with a dot, a regular file that holds the rule's marker line, not listed
// already. Returns the file's path, or nothing with the outcome in `result`.
static std::optional<std::filesystem::path> stage_checked(Module1& state, const std::filesystem::path& chosen,
                                                          FileSystem& files, const MarkerRule& rule, AddResult& result) {
    if (!stage_file(state, chosen)) {
        result.outcome = AddOutcome::NoDotInTitle;
        return std::nullopt;
    }
    state.Staged_Marker = rule.v4_marker();
    const std::string full = staged_full_path(state);
    auto path = path_from_utf8(full);
    if (is_other_than_regular_file(files, path, result) || !find_marker(files, path, rule, result))
        return std::nullopt;
    if (is_listed(files, state, full)) {
        result.outcome = AddOutcome::AlreadyListed;
        return std::nullopt;
    }
    return path;
}

AddResult add_part_type_file(Module1& state, const std::filesystem::path& chosen, FileSystem& files,
                             const MarkerRule& rule) {
    AddResult result;
    if (state.File_Count >= kMaxListedFiles) {
        result.outcome = AddOutcome::ListFull;
        return result;
    }
    const auto checked = stage_checked(state, chosen, files, rule, result);
    if (!checked) return result;
    const std::filesystem::path& path = *checked;
    if (state.Staged_Extension != ".p" && state.Staged_Extension != ".d") {
        result.outcome = AddOutcome::WrongExtension;
        return result;
    }
    int parts = 0;
    try {
        parts = count_part_types(files, path);
    } catch (const FileError& error) {
        result.outcome = AddOutcome::CannotRead;
        result.reason = error.reason();
        return result;
    }
    state.File_Count = static_cast<std::int16_t>(state.File_Count + 1);
    const auto slot = static_cast<std::size_t>(state.File_Count);
    state.File_Name[slot] = state.Staged_Base + state.Staged_Extension;
    state.File_Folder[slot] = state.Staged_Folder;
    state.File_Parts[slot] = parts;
    state.File_Marker[slot] = result.marker;
    state.Total_Parts += parts;
    result.entry = state.File_Count;
    return result;
}

AddResult choose_decal_file(Module1& state, const std::filesystem::path& chosen, FileSystem& files,
                            const MarkerRule& rule) {
    AddResult result;
    if (!stage_checked(state, chosen, files, rule, result)) return result;
    state.Decal_Count = 1;
    state.Decal_Folder[1] = state.Staged_Folder;
    state.Decal_Name[1] = state.Staged_Base + state.Staged_Extension;
    result.entry = 1;
    return result;
}

int remove_listed_file(Module1& state, std::string_view name) {
    int found = 0;
    for (int i = 1; i <= state.File_Count; ++i) {
        if (state.File_Name[static_cast<std::size_t>(i)] == name) found = i;
    }
    if (found == 0) return 0;
    state.Total_Parts -= state.File_Parts[static_cast<std::size_t>(found)];
    for (int i = found; i < state.File_Count; ++i) {
        const auto to = static_cast<std::size_t>(i);
        state.File_Name[to] = state.File_Name[to + 1];
        state.File_Folder[to] = state.File_Folder[to + 1];
        state.File_Parts[to] = state.File_Parts[to + 1];
        state.File_Marker[to] = state.File_Marker[to + 1];
    }
    state.File_Count = static_cast<std::int16_t>(state.File_Count - 1);
    return found;
}

}  // namespace marrowgate
