// One sort run over arbitrary bytes, with the properties every run must keep
// checked against the library model (support/LibraryModel.h). Used by the fuzz target and, over
// the committed corpus, by the ordinary test program.
//
// The bytes of a case:
//   byte 0   bits 0-1 the sort key (0 initial, 1 family, 2 decal name, 3 pad
//            count); bit 2 the last file is the decal library; bit 3 the files
//            are listed through the marker check where they pass it
//   byte 1   a fault for a second run: 0 none, else bits 6-7 the operation
//            (open for writing, write, close, read) and bits 0-5 its number
//   the rest up to five files, separated by the line "%%%%" (LF line ends);
//            at most four part-type files, then the decal library
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "library/FileList.h"
#include "library/Folders.h"
#include "library/RunFrame.h"
#include "sort/Sorts.h"
#include "state/Module1.h"
#include "support/FaultyFileSystem.h"
#include "support/LibraryModel.h"

namespace marrowgate::fuzz {

namespace fs = std::filesystem;

inline constexpr std::string_view kSeparator = "\n%%%%\n";

struct Case {
    SortKey key = SortKey::Alphanumeric;
    bool has_decals = false;
    bool through_marker_check = false;
    std::optional<test::FaultyFileSystem::Op> fault_op;
    long fault_nth = 0;
    std::vector<std::string> part_files;
    std::optional<std::string> decal_file;
};

inline Case parse_case(const std::uint8_t* data, std::size_t size) {
    Case c;
    if (size > 0) {
        c.key = static_cast<SortKey>(data[0] & 3);
        c.has_decals = (data[0] & 4) != 0;
        c.through_marker_check = (data[0] & 8) != 0;
    }
    if (size > 1 && data[1] != 0) {
        using Op = test::FaultyFileSystem::Op;
        static constexpr Op kOps[] = {Op::OpenWrite, Op::Write, Op::Close, Op::Read};
        c.fault_op = kOps[data[1] >> 6];
        c.fault_nth = (data[1] & 63) + 1;
    }
    const std::string_view rest =
        size > 2 ? std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2) : std::string_view();
    const std::size_t most = c.has_decals ? 5 : 4;
    std::vector<std::string> files;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = rest.find(kSeparator, from);
        if (at == std::string_view::npos || files.size() + 1 == most) {
            files.emplace_back(rest.substr(from));
            break;
        }
        files.emplace_back(rest.substr(from, at - from));
        from = at + kSeparator.size();
    }
    if (c.has_decals && files.size() > 1) {
        c.decal_file = files.back();
        files.pop_back();
    }
    if (rest.empty()) files.clear();
    c.part_files = std::move(files);
    return c;
}

inline bool inside(const fs::path& path, const fs::path& folder) {
    const auto relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !relative.empty() && *relative.begin() != "..";
}

inline std::string slurp(const fs::path& path) {
    std::string bytes;
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) return bytes;
    bytes.resize(static_cast<std::size_t>(size));
    auto input = real_file_system().open_read(path);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t n = input->read(bytes.data() + got, bytes.size() - got);
        if (n == 0) break;
        got += n;
    }
    bytes.resize(got);
    return bytes;
}

// File name -> bytes of every file in a folder.
inline std::map<std::string, std::string> folder_bytes(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        files[utf8_from_path(entry.path().filename())] = entry.is_regular_file() ? slurp(entry.path()) : "<folder>";
    return files;
}

struct Workspace {
    fs::path app;
    fs::path in;
    Module1 state;
};

inline std::string prepare(const Case& c, const fs::path& root, Workspace& w) {
    std::error_code ec;
    fs::remove_all(root, ec);
    w.app = root / "app";
    w.in = root / "in";
    fs::create_directories(w.app, ec);
    fs::create_directories(w.in, ec);
    w.state = {};
    w.state.Application_Folder = w.app;
    if (!tmp_makedir(w.state)) return "tmp_makedir failed in a fresh folder";
    auto write = [&](const fs::path& path, const std::string& bytes) {
        auto out = real_file_system().open_write(path, WriteMode::Truncate);
        out->write(bytes.data(), bytes.size());
        out->close();
    };
    const MarkerRule rule = MarkerRule::part_types_any_version();
    for (std::size_t i = 0; i < c.part_files.size(); ++i) {
        const auto path = w.in / ("part" + std::to_string(i + 1) + ".p");
        write(path, c.part_files[i]);
        if (c.through_marker_check) {
            const auto added = add_part_type_file(w.state, path, real_file_system(), rule);
            if (added.outcome == AddOutcome::Added) {
                if (added.entry != w.state.File_Count) return "add_part_type_file gave the wrong entry";
                continue;
            }
            if (added.outcome != AddOutcome::NoMarker)
                return "a readable file was refused (" + std::to_string(static_cast<int>(added.outcome)) +
                       "): " + added.reason;
        }
        // Listed as the window would have listed it before it changed.
        const auto slot = static_cast<std::size_t>(++w.state.File_Count);
        w.state.File_Folder[slot] = utf8_from_path(w.in) + static_cast<char>(fs::path::preferred_separator);
        w.state.File_Name[slot] = "part" + std::to_string(i + 1) + ".p";
        w.state.File_Parts[slot] = count_part_types(real_file_system(), path);
        w.state.Total_Parts += w.state.File_Parts[slot];
    }
    if (c.decal_file) {
        const auto path = w.in / "decals.d";
        write(path, *c.decal_file);
        w.state.Decal_Count = 1;
        w.state.Decal_Folder[1] = utf8_from_path(w.in) + static_cast<char>(fs::path::preferred_separator);
        w.state.Decal_Name[1] = "decals.d";
    }
    return {};
}

// Returns an empty text when every property holds, else what went wrong.
inline std::string check_case(const std::uint8_t* data, std::size_t size, const fs::path& root) {
    const Case c = parse_case(data, size);
    Workspace w;
    if (auto problem = prepare(c, root, w); !problem.empty()) return problem;
    const auto inputs_before = folder_bytes(w.in);

    test::FaultyFileSystem recorder;
    NullStatusDisplay status;
    const RunResult result = run_sort(w.state, c.key, status, recorder);

    for (const auto& written : recorder.written_paths())
        if (!inside(written, w.app)) return "wrote outside the application folder: " + display_path(written);
    if (folder_bytes(w.in) != inputs_before) return "an input file was changed";
    if (folder_bytes(root).size() != 2) return "a file appeared beside the application folder";

    if (!result.ok) {
        if (result.error.empty()) return "a failed run without an error";
        if (!recorder.written_paths().empty()) return "a run that failed over its input wrote files: " + result.error;
        return {};
    }

    // The model's outputs, found by the file each key names: where the lib
    // folder ignores letter case, keys that differ only in case share a file.
    std::map<std::string, std::string> pads;
    if (c.decal_file) pads = test::model_decals(*c.decal_file);
    std::vector<std::string> expected(result.outputs.size());  // between the opening lines and *END*
    std::map<std::string, std::size_t> output_of_key;
    long long parts = 0;
    long long unplaced = 0;
    for (int i = 1; i <= w.state.File_Count; ++i) {
        for (const auto& block : test::model_blocks(c.part_files[static_cast<std::size_t>(i - 1)])) {
            ++parts;
            const auto key = test::model_key(c.key, block.header, pads);
            if (!key) {
                ++unplaced;
                continue;
            }
            auto known = output_of_key.find(*key);
            if (known == output_of_key.end()) {
                const auto file = output_library_path(w.state, *key);
                std::size_t j = 0;
                std::error_code ec;
                while (j < result.outputs.size() && !fs::equivalent(file, result.outputs[j].file, ec)) ++j;
                if (j == result.outputs.size()) return "no output file for the key \"" + *key + "\"";
                known = output_of_key.emplace(*key, j).first;
            }
            expected[known->second] += block.bytes;
        }
    }
    if (result.parts != parts) return "the run met " + std::to_string(result.parts) + " parts, the model " + std::to_string(parts);
    if (static_cast<long long>(result.unplaced.size()) != unplaced) return "wrong number of unplaced parts";

    const std::string opening = result.format + "\r\n\r\r\n";
    const std::string first_marker = w.state.File_Count > 0 && !w.state.File_Marker[1].empty()
                                         ? w.state.File_Marker[1]
                                         : std::string(kPartTypeMarkerV4);
    if (result.format != first_marker) return "the outputs do not keep the marker of the inputs";
    std::map<std::string, std::string> clean;
    for (std::size_t j = 0; j < result.outputs.size(); ++j) {
        const auto& output = result.outputs[j];
        if (!inside(output.file, w.app / "lib")) return "an output outside the lib folder";
        const std::string bytes = slurp(output.file);
        if (expected[j].empty() || bytes != opening + expected[j] + "*END*\r\n")
            return "the output of key \"" + output.key + "\" is not its blocks in input order between the opening lines and one *END*";
        if (!clean.emplace(utf8_from_path(output.file.filename()), bytes).second) return "two outputs share a file";
    }
    if (folder_bytes(w.app / "lib") != clean) return "the lib folder holds other files than the outputs";

    // The same run again, with one operation failing.
    if (!c.fault_op) return {};
    if (auto problem = prepare(c, root, w); !problem.empty()) return problem;
    test::FaultyFileSystem faulty;
    faulty.fail(*c.fault_op, c.fault_nth, EIO);
    const RunResult failed = run_sort(w.state, c.key, status, faulty);
    const bool fired = faulty.count(*c.fault_op) >= c.fault_nth;
    if (!fired) {
        if (!failed.ok || folder_bytes(w.app / "lib") != clean) return "a run without its fault went differently";
        return {};
    }
    if (failed.ok) return "a failed operation was reported as success";
    if (failed.error.find(system_reason(EIO)) == std::string::npos) return "the error does not give the reason: " + failed.error;
    for (const auto& [name, bytes] : folder_bytes(w.app / "lib")) {
        const auto it = clean.find(name);
        if (it == clean.end() || it->second.compare(0, bytes.size(), bytes) != 0)
            return "after a failed operation " + name + " holds bytes a whole run does not write";
    }
    if (folder_bytes(w.in) != inputs_before) return "an input file was changed by a failing run";
    return {};
}

}  // namespace marrowgate::fuzz
