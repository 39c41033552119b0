// One case of sort runs over arbitrary bytes, in a file layer held in memory,
// with the properties every run must keep checked against the library model
// (support/LibraryModel.h). Used by the fuzz target and, over the committed
// corpus, by the ordinary test program.
//
// A case runs over its first inputs, then puts its second inputs in their
// place and runs again with one operation failing or a stop asked for, at a
// chance counted in the first run. A run that succeeds writes what
// the model says and leaves every other file as it was; a run that fails or
// is stopped leaves the application folder byte for byte as it was. Neither
// changes a file outside it, and both let go of the hourglass and the lock.
//
// The bytes of a case:
//   byte 0   bits 0-1 the sort key (0 initial, 1 family, 2 decal name, 3 pad
//            count); bit 2 the last file of the inputs is the decal library;
//            bit 3 the files are listed through the marker check where they
//            pass it; bits 4-6 where the last file of the first inputs is
//            placed: 0 with the others; else as one of the files a run
//            removes, replaces or writes (the report, either list file, the
//            lock file of the application folder or of lib, a file in a
//            folder a stopped run left in lib or in the application folder),
//            which the run must refuse, changing nothing
//   byte 1   what goes wrong in the last run: bits 0-2 the operation (0 open
//            for reading, 1 read, 2 open for writing, 3 write, 4 close,
//            5 move, 6 a stop asked for by the status display, 7 a sync); bits
//            3-7, with byte 2 above them, which one: counted modulo how many
//            chances the first run gave
//   byte 2   see byte 1
//   the rest the first inputs: up to five files, separated by the line "%%%%"
//            (LF line ends), at most four part-type files, then the decal
//            library; then, after the line "%%%%%%%%", the second inputs
//            laid out the same way (the first ones again where there is none)
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "check/CheckRun.h"
#include "io/Paths.h"
#include "io/RunError.h"
#include "report/RunReportFile.h"
#include "run/RunFrame.h"
#include "sort/Sorts.h"
#include "state/Module1.h"
#include "support/FaultyFileSystem.h"
#include "support/LibraryModel.h"
#include "support/MemoryFileSystem.h"
#include "support/TestSupport.h"
#include "workspace/FileList.h"
#include "workspace/Folders.h"
#include "workspace/Staging.h"

namespace marrowgate::fuzz {

namespace fs = std::filesystem;
using Op = test::FaultyFileSystem::Op;
using Tree = std::map<std::string, std::string>;

inline constexpr std::string_view kSeparator = "\n%%%%\n";
inline constexpr std::string_view kSecondInputs = "\n%%%%%%%%\n";

struct Inputs {
    std::vector<std::string> part_files;
    std::optional<std::string> decal_file;
};

// Where the last file of the first inputs is placed.
enum class Placed { WithTheOthers, Report, FirstList, SecondList, Lock, LibLock, LeftInLib, LeftInApp };

struct Case {
    SortKey key = SortKey::Alphanumeric;
    bool through_marker_check = false;
    Placed placed = Placed::WithTheOthers;
    std::optional<Op> fault;  // none: a stop
    unsigned which = 0;       // the fault's or the stop's number, before the modulo
    Inputs first;
    Inputs second;
    bool second_given = false;
};

inline Inputs parse_inputs(std::string_view rest, bool has_decals) {
    Inputs inputs;
    if (rest.empty()) return inputs;
    const std::size_t most = has_decals ? 5 : 4;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = rest.find(kSeparator, from);
        if (at == std::string_view::npos || inputs.part_files.size() + 1 == most) {
            inputs.part_files.emplace_back(rest.substr(from));
            break;
        }
        inputs.part_files.emplace_back(rest.substr(from, at - from));
        from = at + kSeparator.size();
    }
    if (has_decals && inputs.part_files.size() > 1) {
        inputs.decal_file = std::move(inputs.part_files.back());
        inputs.part_files.pop_back();
    }
    return inputs;
}

inline Case parse_case(const std::uint8_t* data, std::size_t size) {
    Case c;
    const auto byte = [&](std::size_t i) { return i < size ? data[i] : std::uint8_t{0}; };
    c.key = static_cast<SortKey>(byte(0) & 3);
    const bool has_decals = (byte(0) & 4) != 0;
    c.through_marker_check = (byte(0) & 8) != 0;
    c.placed = static_cast<Placed>((byte(0) >> 4) & 7);
    static constexpr Op kOps[] = {Op::OpenRead, Op::Read, Op::OpenWrite, Op::Write, Op::Close, Op::Move};
    if ((byte(1) & 7) < 6) c.fault = kOps[byte(1) & 7];
    if ((byte(1) & 7) == 7) c.fault = Op::Sync;
    c.which = static_cast<unsigned>(byte(1) >> 3) | static_cast<unsigned>(byte(2)) << 5;
    const std::string_view rest = size > 3 ? std::string_view(reinterpret_cast<const char*>(data) + 3, size - 3)
                                           : std::string_view();
    const std::size_t split = rest.find(kSecondInputs);
    c.first = parse_inputs(rest.substr(0, split), has_decals);
    c.second_given = split != std::string_view::npos;
    c.second = c.second_given ? parse_inputs(rest.substr(split + kSecondInputs.size()), has_decals) : c.first;
    return c;
}

struct Workspace {
    // Short names: most paths of a run then fit in a string's own room.
    fs::path root = fs::path("/");
    fs::path app = root / "a";
    fs::path in = root / "i";
    test::MemoryFileSystem files;
    Module1 state;

    // The application folder as a run leaves it for the user: the lock files
    // of the folders it holds and the report aside, which every run leaves.
    Tree app_tree() const {
        Tree tree = files.tree(app);
        for (const char* lock : {".marrowgate.lock", "lib/.marrowgate.lock", "tmp/.marrowgate.lock"}) tree.erase(lock);
        tree.erase(utf8_from_path(run_report_path(app).filename()));
        return tree;
    }
    // The path of a file placed among the run's own, as the model knows them.
    fs::path placed_path(Placed placed, SortKey key) const {
        static const char* const kLists[][2] = {{"tmp/Alphanumeric.dat", "tmp/Alphabetic.dat"},
                                                {"tmp/Logic_Families.dat", "tmp/Logic_Families.dat"},
                                                {"tmp/Decals.dat", "tmp/Decals.dat"},
                                                {"tmp/Pads_Number_in_Decals.dat", "Pads_Number_in_Decals.dat"}};
        const auto lists = kLists[static_cast<int>(key)];
        switch (placed) {
            case Placed::WithTheOthers: break;
            case Placed::Report: return app / "marrowgate-report.txt";
            case Placed::FirstList: return app / fs::path(lists[0]).lexically_normal();
            case Placed::SecondList: return app / fs::path(lists[1]).lexically_normal();
            case Placed::Lock: return app / ".marrowgate.lock";
            case Placed::LibLock: return app / "lib" / ".marrowgate.lock";
            case Placed::LeftInLib: return app / "lib" / ".marrowgate-staging-0x1z2y" / "0.new";
            case Placed::LeftInApp: return app / ".marrowgate-staging" / "lib" / "LIB_A.p";
        }
        return {};
    }
    // Everything else.
    Tree outside_tree() const { return files.tree(root, app); }
};

// Writes the inputs into the input folder and lists them as the window would.
inline std::string list_inputs(const Case& c, const Inputs& inputs, Workspace& w) {
    w.state = {};
    w.state.Application_Folder = w.app;
    const auto write = [&](const fs::path& path, const std::string& bytes) {
        auto out = w.files.open_write(path, WriteMode::Truncate);
        out->write(bytes.data(), bytes.size());
        out->close();
    };
    const std::string folder = utf8_from_path(w.in) + static_cast<char>(fs::path::preferred_separator);
    const MarkerRule rule = MarkerRule::part_types_any_version();
    // The last file in a place of the run's own, listed as it is.
    const auto place = [&](const std::string& bytes, std::string& listed_folder, std::string& listed_name) {
        const fs::path path = w.placed_path(c.placed, c.key);
        w.files.put(path, bytes);
        listed_folder = utf8_from_path(path.parent_path()) + static_cast<char>(fs::path::preferred_separator);
        listed_name = utf8_from_path(path.filename());
    };
    const bool placing = c.placed != Placed::WithTheOthers && &inputs == &c.first;
    for (std::size_t i = 0; i < inputs.part_files.size(); ++i) {
        const std::string name = "part" + std::to_string(i + 1) + ".p";
        if (placing && !inputs.decal_file && i + 1 == inputs.part_files.size()) {
            const auto slot = static_cast<std::size_t>(++w.state.File_Count);
            place(inputs.part_files[i], w.state.File_Folder[slot], w.state.File_Name[slot]);
            w.state.File_Parts[slot] = count_part_types(w.files, listed_file_path(w.state, w.state.File_Count));
            w.state.Total_Parts += w.state.File_Parts[slot];
            continue;
        }
        write(w.in / name, inputs.part_files[i]);
        if (c.through_marker_check) {
            const auto added = add_part_type_file(w.state, w.in / name, w.files, rule);
            if (added.outcome == AddOutcome::Added) {
                if (added.entry != w.state.File_Count) return "add_part_type_file gave the wrong entry";
                continue;
            }
            // Refused for its marker: a part-type marker missing, or the decal marker in its place.
            if (added.outcome != AddOutcome::NoMarker && added.outcome != AddOutcome::OtherKind)
                return "a readable file was refused (" + std::to_string(static_cast<int>(added.outcome)) +
                       "): " + added.reason;
        }
        // Listed as the window would have listed it before it changed.
        const auto slot = static_cast<std::size_t>(++w.state.File_Count);
        w.state.File_Folder[slot] = folder;
        w.state.File_Name[slot] = name;
        w.state.File_Parts[slot] = count_part_types(w.files, w.in / name);
        w.state.Total_Parts += w.state.File_Parts[slot];
    }
    if (inputs.decal_file) {
        w.state.Decal_Count = 1;
        if (placing) {
            place(*inputs.decal_file, w.state.Decal_Folder[1], w.state.Decal_Name[1]);
        } else {
            write(w.in / "decals.d", *inputs.decal_file);
            w.state.Decal_Folder[1] = folder;
            w.state.Decal_Name[1] = "decals.d";
        }
    }
    return {};
}

// The report of a finished run lists, after every group, every part placed
// nowhere, one a line, in input order, with its place and the line of its
// header in its file.
inline std::string check_report(const Workspace& w, const RunResult& result,
                                const std::vector<test::ModelPart>& nowhere) {
    if (!result.warnings.report_error.empty() || nowhere.empty()) return {};
    const Tree app = w.files.tree(w.app);
    const auto report = app.find(utf8_from_path(run_report_path(w.app).filename()));
    if (report == app.end()) return "a finished run left no report";
    const std::string& text = report->second;
    std::size_t at = text.find("\nEvery warning of those groups, in the order met:\n");
    if (at != std::string::npos) at = text.find("\nParts placed in no file (", at);
    if (at == std::string::npos) return "the report does not list every part placed nowhere";
    at = text.find('\n', at + 1) + 1;
    for (const auto& part : nowhere) {
        const auto input = listed_file_path(w.state, static_cast<int>(part.file) + 1);
        const std::string place = ", " + display_path(input.filename()) + " part " + with_thousands(part.ordinal) +
                                  " at line " + with_thousands(part.line) + " (" + display_path(input) + ")";
        const std::size_t end = text.find('\n', at);
        const std::string_view line(text.data() + at, (end == std::string::npos ? text.size() : end) - at);
        if (!line.starts_with(part.name + ": decal ") || !line.ends_with(place))
            return "the report says \"" + std::string(line) + "\" of the part placed nowhere at" + place;
        at = end + 1;
    }
    return {};
}

// Checks a run over `inputs` against the model, given the application folder
// and everything else as they were before it; leaves the application folder
// as the run left it in `app_after`.
inline std::string check_run(const Inputs& inputs, SortKey sort_key, Workspace& w, const RunResult& result,
                             const test::RecordingStatus& status, const Tree& app_before, const Tree& outside_before,
                             Tree& app_after) {
    if (status.hourglass) return "the hourglass was left on";
    for (const auto& folder : {w.app, w.app / "lib", w.app / "tmp"})
        if (!w.files.lock(run_lock_path(folder), false)) return "the run kept the lock of " + utf8_from_path(folder);
    if (w.outside_tree() != outside_before) return "a file outside the application folder was changed";
    app_after = w.app_tree();
    // A header line too long to hold refuses the run; nothing else does so.
    bool too_long = false;
    for (const auto& file : inputs.part_files)
        for (const auto& block : test::model_blocks(file))
            too_long = too_long || test::model_too_long(block.header, 4, false);
    if (sort_key == SortKey::PadCount && inputs.decal_file && w.state.Decal_Count > 0)
        for (const auto line : test::model_lines(*inputs.decal_file))
            too_long = too_long || (test::model_is_header(line) && test::model_too_long(line, 10, true));
    const bool refused_as_too_long = result.error.find(" bytes and its ") != std::string::npos ||
                                     result.error.find("decal header line is longer than") != std::string::npos;
    if (refused_as_too_long && !too_long) return "a line the model holds was refused as too long: " + result.error;
    if (result.ok && too_long) return "a run went on past a header line too long to hold";
    if (!result.ok) {
        if (result.error.empty()) return "a failed run without an error";
        for (const auto& [name, bytes] : app_after) {
            const auto it = app_before.find(name);
            if (it == app_before.end()) return "a failed run left " + name + " behind";
            if (it->second != bytes) return "a failed run changed " + name;
        }
        if (app_after.size() != app_before.size()) return "a failed run removed a file";
        return {};
    }

    // The model's outputs, found by the file each key names.
    std::map<std::string, std::string> pads;
    if (inputs.decal_file) pads = test::model_decals(*inputs.decal_file);
    const auto listed = inputs.part_files.begin() + w.state.File_Count;
    const test::ModelRun model = test::model_run(sort_key, {inputs.part_files.begin(), listed}, pads);
    std::vector<std::string> expected(result.outputs.size());  // between the opening lines and *END*
    for (const auto& [key, blocks] : model.outputs) {
        const auto file = output_library_path(w.state, key);
        std::size_t j = 0;
        // The same text: both paths are made by output_library_path.
        while (j < result.outputs.size() && file.native() != result.outputs[j].file.native()) ++j;
        if (j == result.outputs.size()) return "no output file for the key \"" + key + "\"";
        expected[j] += blocks;
    }
    if (result.parts != model.parts)
        return "the run met " + std::to_string(result.parts) + " parts, the model " + std::to_string(model.parts);
    if (result.warnings.of(WarningKind::Unplaced).count != static_cast<long long>(model.nowhere.size()))
        return "wrong number of unplaced parts";
    if (result.warnings.of(WarningKind::PassedOver).count != model.stray)
        return "the run told of " + std::to_string(result.warnings.of(WarningKind::PassedOver).count) +
               " lines outside the part blocks, the model of " + std::to_string(model.stray);
    if (auto problem = check_report(w, result, model.nowhere); !problem.empty()) return problem;
    const std::string first_marker = w.state.File_Count > 0 && !w.state.File_Marker[1].empty()
                                         ? w.state.File_Marker[1]
                                         : std::string(kPartTypeMarkerV4);
    if (result.format != first_marker) return "the outputs do not keep the marker of the inputs";

    // The outputs as the model has them, every other file as it was, the
    // list files emptied.
    const std::string opening = result.format + "\r\n\r\r\n";
    constexpr std::string_view kEnd = "*END*\r\n";
    const fs::path lib = lib_folder(w.state);
    std::set<std::string> written;  // as the model has them
    for (std::size_t j = 0; j < result.outputs.size(); ++j) {
        const auto& output = result.outputs[j];
        if (output.file.parent_path().native() != lib.native()) return "an output outside the lib folder";
        if (expected[j].empty()) return "the output of key \"" + output.key + "\" has no part of the model";
        const std::string name = "lib/" + utf8_from_path(output.file.filename());
        const auto it = app_after.find(name);
        const std::string_view bytes = it == app_after.end() ? std::string_view() : std::string_view(it->second);
        if (it == app_after.end() || bytes.size() != opening.size() + expected[j].size() + kEnd.size() ||
            !bytes.starts_with(opening) || bytes.substr(opening.size(), expected[j].size()) != expected[j] ||
            !bytes.ends_with(kEnd))
            return "the output of key \"" + output.key +
                   "\" is not its blocks in input order between the opening lines and one *END*";
        if (!written.insert(name).second) return "two outputs share a file";
    }
    for (const auto& [name, bytes] : app_after) {
        if (written.count(name) > 0) continue;
        const auto it = app_before.find(name);
        if (it != app_before.end() && it->second == bytes) continue;
        if (bytes.empty() && name.ends_with(".dat")) continue;  // a list file, emptied
        return "after a run " + name + " holds other bytes than it should";
    }
    for (const auto& [name, bytes] : app_before)
        if (app_after.count(name) == 0) return "a run removed " + name;
    return {};
}

// Returns an empty text when every property holds, else what went wrong.
// The check over the inputs listed: it ends or refuses a file it cannot
// read, writes nothing, counts the blocks the model counts, and finds only
// the kinds of its own, each under its severity.
inline std::string check_listed(Workspace& w) {
    CheckInputs inputs;
    for (int i = 1; i <= w.state.File_Count; ++i) inputs.part_files.push_back(listed_file_path(w.state, i));
    if (inputs.part_files.empty()) return {};
    if (w.state.Decal_Count > 0) inputs.decal_file = decal_file_path(w.state);
    inputs.format = w.state.File_Marker[1].empty() ? "*PADS-LIBRARY-PART-TYPES-V9*" : w.state.File_Marker[1];
    const Tree before = w.files.tree(w.root);
    CheckResult result;
    try {
        run_check(inputs, w.files, result, nullptr);
    } catch (const FileError&) {
        return {};
    } catch (const RunError&) {
        return {};
    }
    if (w.files.tree(w.root) != before) return "the check changed a file";
    long long blocks = 0;
    for (const auto& input : inputs.part_files) {
        std::string bytes;
        char chunk[4096];
        const auto file = w.files.open_read(input);
        for (std::size_t got; (got = file->read(chunk, sizeof chunk)) > 0;) bytes.append(chunk, got);
        blocks += static_cast<long long>(test::model_blocks(bytes).size());
    }
    if (result.parts != blocks) return "the check counted " + std::to_string(result.parts) + " blocks, the model " + std::to_string(blocks);
    for (std::size_t s = 0; s < kSeverities; ++s)
        for (std::size_t k = 0; k < kWarningKinds; ++k) {
            const auto kind = static_cast<WarningKind>(k);
            if (result.found[s].of(kind).count == 0) continue;
            if (k < static_cast<std::size_t>(WarningKind::MissingDecal) && kind != WarningKind::UnclosedPart &&
                kind != WarningKind::PassedOver)
                return "the check found a kind of the sort's own: " + std::to_string(k);
            if (static_cast<std::size_t>(severity_of(kind)) != s) return "a finding under another severity";
        }
    return {};
}

inline std::string check_case(const std::uint8_t* data, std::size_t size) {
    const Case c = parse_case(data, size);
    Workspace w;
    w.files.make_folder(w.app);
    w.files.make_folder(w.in);
    w.state.Application_Folder = w.app;
    if (!tmp_makedir(w.state, w.files)) return "tmp_makedir failed in a fresh folder";

    // The first run, which leaves its outputs for the next and counts the
    // chances a run gives to fail or stop.
    if (auto problem = list_inputs(c, c.first, w); !problem.empty()) return problem;
    if (auto problem = check_listed(w); !problem.empty()) return "check: " + problem;
    Tree app_before = w.app_tree();
    Tree outside_before = w.outside_tree();
    const Tree whole_before = w.files.tree(w.app);
    test::FaultyFileSystem counting(w.files);
    test::RecordingStatus status;
    const RunResult first = run_sort(w.state, c.key, status, counting);
    if (c.placed != Placed::WithTheOthers && (w.state.File_Count > 0 || w.state.Decal_Count > 0)) {
        // Refused before anything is written: every file as it was, but for
        // the lock files the run made (empty) in the folders it holds.
        if (first.outcome != RunResult::Outcome::Refused) return "a run did not refuse an input of its own: " + first.error;
        if (first.error.find(display_path(w.placed_path(c.placed, c.key))) == std::string::npos)
            return "a refusal does not name the file: " + first.error;
        if (status.hourglass) return "the hourglass was left on";
        Tree after = w.files.tree(w.app);
        for (const char* lock : {".marrowgate.lock", "lib/.marrowgate.lock", "tmp/.marrowgate.lock"})
            if (whole_before.count(lock) == 0 && after.count(lock) > 0 && after[lock].empty()) after.erase(lock);
        if (after != whole_before) return "a refused run changed the application folder";
        if (w.outside_tree() != outside_before) return "a refused run changed a file outside the application folder";
        return {};
    }
    Tree app_after;
    if (auto problem = check_run(c.first, c.key, w, first, status, app_before, outside_before, app_after);
        !problem.empty())
        return "first run: " + problem;

    // The second inputs, with one operation failing or a stop asked for;
    // where the run ends before that, it is checked as a whole run. Listing
    // them writes only outside the application folder.
    if (c.second_given) {
        if (auto problem = list_inputs(c, c.second, w); !problem.empty()) return problem;
        outside_before = w.outside_tree();
    }
    app_before = std::move(app_after);
    const long chances = std::max(c.fault ? counting.count(*c.fault) : status.pumps, 1L);
    const long nth = static_cast<long>(c.which % static_cast<unsigned long>(chances)) + 1;
    test::FaultyFileSystem faulty(w.files);
    test::RecordingStatus faulty_status;
    if (c.fault) faulty.fail(*c.fault, nth, EIO);
    else faulty_status.stop_at = static_cast<int>(nth);
    const RunResult second = run_sort(w.state, c.key, faulty_status, faulty);
    const std::string what = (c.fault ? "operation " + std::to_string(static_cast<int>(*c.fault)) : "stop") +
                             " number " + std::to_string(nth) + ": ";
    const bool happened = c.fault ? faulty.count(*c.fault) >= nth : faulty_status.pumps >= nth;
    // A failure in writing the report, after the run, leaves the run as it
    // ended, and says why the report is missing.
    const bool in_report = !second.warnings.report_error.empty();
    if (in_report && second.warnings.report_error.find(system_reason(EIO)) == std::string::npos)
        return what + "the report's failure does not give the reason: " + second.warnings.report_error;
    if (happened && second.ok && !in_report) return what + "a run reported success";
    if (auto problem = check_run(c.second, c.key, w, second, faulty_status, app_before, outside_before, app_after);
        !problem.empty())
        return what + problem;
    if (!happened || in_report) return {};
    if (!c.fault) {
        if (second.outcome != RunResult::Outcome::Stopped) return what + "a stopped run said: " + second.error;
        return {};
    }
    // A run that fails on its inputs may do so before the fault.
    if (second.error.find(system_reason(EIO)) == std::string::npos) {
        if (second.error.find("cannot be") == std::string::npos) return {};
        return what + "the error does not give the reason: " + second.error;
    }
    const auto names = [&](const fs::path& folder) {
        return second.error.find(display_path(folder) + static_cast<char>(fs::path::preferred_separator)) !=
               std::string::npos;
    };
    if (!names(w.app) && !names(w.in)) return what + "the error names no file: " + second.error;
    if (second.error.find(display_path(w.app / Staging::kFolderName)) != std::string::npos)
        return what + "the error names a file of the staging folder: " + second.error;
    return {};
}

}  // namespace marrowgate::fuzz
