#include "run/RunFrame.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "io/RunError.h"
#include "keys/KeyTable.h"
#include "report/RunReportFile.h"
#include "report/RunText.h"
#include "run/DuplicateNames.h"
#include "run/FirstPass.h"
#include "run/OutputSet.h"
#include "run/Progress.h"
#include "run/RunChecks.h"
#include "run/RunStopped.h"
#include "state/Module1.h"
#include "text/LineReader.h"
#include "workspace/Folders.h"
#include "workspace/Staging.h"

namespace marrowgate {

namespace {

// Releases the hourglass however the run ends.
class Hourglass {
public:
    explicit Hourglass(StatusDisplay& status) : status_(status) { status_.set_hourglass(true); }
    ~Hourglass() { status_.set_hourglass(false); }

private:
    StatusDisplay& status_;
};

std::string part_name(std::string_view header) {
    return std::string(header.substr(0, header.find(' ')));
}

void empty_list_file(FileSystem& files, const std::filesystem::path& path) {
    files.open_write(path, WriteMode::Truncate)->close();
}

// Takes the locks of the folders a run writes: the application folder's
// first, then those of lib and tmp (made where missing), links followed and
// each folder once, in the order of their identities, so that of two runs
// that share a folder one always goes on. Returns the folder another run
// holds, or nothing when this run holds them all.
std::optional<std::filesystem::path> lock_run_folders(const Module1& state, FileSystem& files,
                                                      std::vector<std::unique_ptr<FolderLock>>& held) {
    auto lock = files.lock(run_lock_path(state.Application_Folder), true);
    if (!lock) return state.Application_Folder;
    held.push_back(std::move(lock));
    std::vector<std::pair<FileIdentity, std::filesystem::path>> folders;
    std::vector<FileIdentity> locked;
    if (const auto application = files.identity(state.Application_Folder)) locked.push_back(*application);
    for (const auto& folder : {lib_folder(state), tmp_folder(state)}) {
        switch (files.status(folder, true).kind) {
            case FileEntry::Kind::Folder: break;
            case FileEntry::Kind::None: files.make_folder(folder); break;
            default:
                throw RunError(display_path(folder) +
                               " is not a folder, and the run's files go into it. Nothing was written.");
        }
        const std::optional<FileIdentity> identity = files.identity(folder);
        if (identity) {
            if (std::find(locked.begin(), locked.end(), *identity) != locked.end()) continue;  // one folder twice
            locked.push_back(*identity);
        }
        folders.emplace_back(identity.value_or(FileIdentity{}), folder);
    }
    std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
        return std::pair(a.first.device, a.first.file) < std::pair(b.first.device, b.first.file);
    });
    for (const auto& [identity, folder] : folders) {
        lock = files.lock(run_lock_path(folder), true);
        if (!lock) return folder;
        held.push_back(std::move(lock));
    }
    return std::nullopt;
}

// A part in messages: the name of its file, the part's number in it, and the
// line of its header.
std::string place(std::string_view file_name, long long block, long long line) {
    return std::string(file_name) + " part " + with_thousands(block) + " at line " + with_thousands(line);
}

}  // namespace

std::string run_format(const Module1& state) {
    const auto marker = [&](int i) {
        const std::string& found = state.File_Marker[static_cast<std::size_t>(i)];
        return found.empty() ? std::string(kPartTypeMarkerV4) : found;
    };
    for (int i = 2; i <= state.File_Count; ++i) {
        if (marker(i) == marker(1)) continue;
        std::string message = "the files are of different formats and cannot be sorted together:";
        for (int j = 1; j <= state.File_Count; ++j)
            message += "\n  " + display_path(listed_file_path(state, j)) + ": " + marker(j);
        throw RunError(message);
    }
    return state.File_Count > 0 ? marker(1) : std::string(kPartTypeMarkerV4);
}

RunResult run_frame(Module1& state, KeyRule& rule, StatusDisplay& status, FileSystem& files) {
    RunResult result;
    result.key = rule.name();
    result.key_title = rule.title();
    for (int i = 1; i <= state.File_Count; ++i) result.inputs.push_back(listed_file_path(state, i));
    if (state.Decal_Count > 0) result.decal_library = decal_file_path(state);
    result.lib_folder = lib_folder(state);
    Hourglass hourglass(status);
    Progress progress(status, state.Total_Parts);
    progress.caption(std::string(kProcessing));
    status.set_visible(true);
    status.pump_events();

    std::vector<std::unique_ptr<FolderLock>> locks;
    std::optional<Staging> staging;
    std::optional<WarningFiles> warning_files;  // closed before the staging folder goes
    std::optional<OutputSet> outputs;  // after staging: its files are closed before the staging folder goes
    try {
        if (const auto busy = lock_run_folders(state, files, locks)) {
            result.outcome = RunResult::Outcome::Busy;
            throw RunError("another run is sorting into " + display_path(*busy) +
                           "; wait until it has finished. Nothing was written.");
        }
        // From here on the report may be written: none of the inputs is it.
        check_inputs_are_not_own_files(state, rule, files);
        staging.emplace(files, state.Application_Folder);
        progress.check_stop();
        staging->remove_leftovers({state.Application_Folder, lib_folder(state), tmp_folder(state)});
        warning_files.emplace(files, staging->own_folder(), run_report_path(state.Application_Folder));
        result.warnings.write_to(&*warning_files);
        const InputStamps stamps(files, state);
        result.format = run_format(state);
        rule.prepare(files, result, [&] { progress.check_stop(); });
        KeyTable table(rule.capacity(), lib_folder_ignores_case(state, files));
        std::string looked_up;

        // Collection pass: keys only from the header lines that open a block.
        if (rule.shows_first_pass()) progress.start(kFirstPass);
        std::vector<std::size_t> listed_parts;
        for (int i = 1; i <= state.File_Count; ++i)
            listed_parts.push_back(static_cast<std::size_t>(std::max(0, state.File_Parts[static_cast<std::size_t>(i)])));
        DuplicateNames names(listed_parts);
        collection_pass(state, rule, files, table, names, progress, rule.shows_first_pass());
        names.find();
        progress.check_stop();

        // Every file goes to the staging folder first; the names are checked
        // before anything is written.
        std::vector<std::filesystem::path> targets;
        for (const auto& key : table.keys()) targets.push_back(output_library_path(state, key));
        targets.push_back(state.Application_Folder / rule.first_list_file());
        targets.push_back(state.Application_Folder / rule.second_list_file());
        check_names_fit(targets);
        check_inputs_survive(state, targets, files);
        std::vector<std::filesystem::path> staged;
        for (const auto& target : targets) staged.push_back(staging->add(target));
        const auto& first_list = staged[staged.size() - 2];
        const auto& second_list = staged.back();

        outputs.emplace(files, result.format);
        for (std::size_t j = 0; j < table.keys().size(); ++j) outputs->add(std::move(staged[j]));  // not used again here
        empty_list_file(files, first_list);
        outputs->create_all();  // creation pass

        // Copy pass.
        std::vector<long long> blocks_per_key(table.keys().size(), 0);
        std::vector<std::uint32_t> first_ordinal;  // of each file's parts
        // A name met again: at its second block, its first is reported too.
        const auto report_name_again = [&](DuplicateNames::Name& known, std::uint32_t ordinal, std::uint64_t block_hash,
                                           const std::string& name, const std::string& input_text,
                                           const std::string& input_name, long long block, long long line) {
            if (known.met++ == 0) {
                known.first = ordinal;
                known.first_block = block_hash;
                known.first_line = line;
                return;
            }
            const auto file = static_cast<std::size_t>(
                std::upper_bound(first_ordinal.begin(), first_ordinal.end(), known.first) - first_ordinal.begin());
            const auto first_input = listed_file_path(state, static_cast<int>(file));
            const std::string first_place =
                place(display_path(first_input.filename()), known.first - first_ordinal[file - 1] + 1, known.first_line);
            if (known.met == 2)
                result.warnings.add(WarningKind::DuplicateName, name, first_place,
                                    name + ": " + first_place + " (" + display_path(first_input) + ")");
            const bool same = known.first_block == block_hash;
            const std::string here = place(input_name, block, line);
            result.warnings.add(WarningKind::DuplicateName, name, here + (same ? " (the same bytes)" : " (other bytes)"),
                                name + ": " + here + " (" + input_text + ")" +
                                    (same ? ", the same bytes as " : ", other bytes than ") + first_place);
        };
        result.warnings.set_titles(WarningKind::Unplaced, "decal ", "");  // the decal and why, as the group
        result.warnings.set_titles(WarningKind::DuplicateName, "part ", "");
        result.warnings.set_titles(WarningKind::PassedOver, "", "");  // the file, as the group
        KeySourceCache placed(rule.capacity());
        progress.start(kProcessing);
        std::uint32_t ordinal = 0;
        for (int i = 1; i <= state.File_Count; ++i) {
            const auto input = listed_file_path(state, i);
            const std::string input_text = display_path(input), input_name = display_path(input.filename());
            first_ordinal.push_back(ordinal);
            stamps.check(static_cast<std::size_t>(i - 1));
            LineReader lines(files, input, read_ahead_beside(2));  // beside this thread and the writer
            lines.check_between_chunks([&] { progress.check_stop(); });
            lines.report_stray_lines([&](long long line) {
                result.warnings.add(WarningKind::PassedOver, input_text, with_thousands(line),
                                    input_text + ", line " + with_thousands(line));
            });
            PartBlockReader blocks(lines);
            std::string_view header;
            std::string name;  // of the part in hand, kept for a warning after its block
            std::string nowhere;  // the group of a part placed nowhere: its decal and why
            for (long long block = 1; blocks.next_header(header); ++block, ++ordinal) {
                ++result.parts;
                const long long line = lines.line_number();
                progress.step();
                progress.check_stop();
                // A header line longer than is held: its start, the rest
                // streamed with the block's body.
                const bool whole = lines.held() == LineReader::Held::Whole;
                if (!whole) check_header_held(lines.held(), header, files, input, line, block);
                std::optional<std::size_t> index;
                const std::optional<std::string_view> source = rule.key_source(header);
                const std::int32_t* known = source ? placed.find(*source) : nullptr;
                if (known && *known != KeySourceCache::kNoKey) {
                    index = static_cast<std::size_t>(*known);
                } else {
                    if (const auto key = rule.key_of(header, looked_up)) {
                        index = table.find(*key);
                        if (!index)
                            throw RunError(display_path(input) + " changed while it was being sorted (the part " +
                                           part_name(header) +
                                           " was not there before). The outputs are incomplete.");
                    }
                    if (source && !known)
                        placed.insert(*source, index ? static_cast<std::int32_t>(*index) : KeySourceCache::kNoKey);
                }
                name.assign(header.substr(0, header.find(' ')));
                DuplicateNames::Name* const twice = names.candidate(name);
                const bool shared = twice != nullptr;
                std::uint64_t block_hash = !shared ? 0 : whole ? hash_bytes("\r\n", hash_bytes(header)) : hash_bytes(header);
                bool closed;
                if (!index) {
                    const Unplaced why = rule.why_unplaced(looked_up);
                    ++result.unplaced[static_cast<std::size_t>(why)];
                    nowhere.assign(looked_up).append(unplaced_group_why(why));
                    result.warnings.add(WarningKind::Unplaced, nowhere, name,
                                        name + ": decal " + looked_up + ", " + place(input_name, block, line) + " (" +
                                            input_text + ")");
                    closed = shared ? blocks.copy_body([&](std::string_view bytes) {
                        block_hash = hash_bytes(bytes, block_hash);
                    })
                                    : blocks.skip_body();
                } else {
                    if (whole) outputs->write_line(*index, header);
                    else outputs->write_bytes(*index, header);
                    closed = blocks.copy_body([&](std::string_view bytes) {
                        if (shared) block_hash = hash_bytes(bytes, block_hash);
                        outputs->write_bytes(*index, bytes);
                    });
                    if (!closed) outputs->write_line(*index, {});
                    ++blocks_per_key[*index];
                }
                if (!closed) {
                    result.warnings.add(WarningKind::UnclosedPart,
                                        input_text + ": the part " + name + " (part " + with_thousands(block) +
                                            " at line " + with_thousands(line) +
                                            ") reaches the end of the file without the empty line that ends "
                                            "a part; it was copied and closed with one.");
                }
                if (shared) report_name_again(*twice, ordinal, block_hash, name, input_text, input_name, block, line);
            }
        }

        outputs->wait();  // a failed write stops the run before the second list file is emptied
        empty_list_file(files, second_list);
        outputs->close_all();  // closing pass
        outputs.reset();

        // Every file is complete: each now takes the place of its file.
        stamps.check_all();
        staging->commit([&] {
            status.pump_events();
            progress.check_stop();
        });

        for (std::size_t j = 0; j < table.keys().size(); ++j) {
            result.outputs.push_back(OutputSummary{table.keys()[j], targets[j], blocks_per_key[j]});
            result.parts_written += blocks_per_key[j];
        }
        result.earlier_files = earlier_files(state, files, result.outputs);
        progress.caption("Done.");
    } catch (const RunStopped& stopped) {
        result.ok = false;
        result.outcome = RunResult::Outcome::Stopped;
        result.error = stopped.what();
    } catch (const InputRefused& refused) {
        result.ok = false;
        result.outcome = RunResult::Outcome::Refused;
        result.error = refused.what();
    } catch (const std::exception& error) {
        result.ok = false;
        if (result.outcome == RunResult::Outcome::Done) result.outcome = RunResult::Outcome::Failed;
        result.error = staging ? staging->describe(error) : error.what();
    }
    result.warnings.write_to(nullptr);
    outputs.reset();
    // Every run that held its folders leaves its report, whatever happened;
    // one that refused an input writes nothing.
    if (!locks.empty() && result.outcome != RunResult::Outcome::Busy && result.outcome != RunResult::Outcome::Refused)
        write_report(state, result, files, warning_files ? &*warning_files : nullptr, staging ? &*staging : nullptr);
    return result;
}

}  // namespace marrowgate
