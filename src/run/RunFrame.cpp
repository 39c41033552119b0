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
#include "run/RunPlan.h"
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
std::optional<std::filesystem::path> lock_run_folders(const RunFolders& run, FileSystem& files,
                                                      std::vector<std::unique_ptr<FolderLock>>& held) {
    auto lock = files.lock(run_lock_path(run.application), true);
    if (!lock) return run.application;
    held.push_back(std::move(lock));
    std::vector<std::pair<FileIdentity, std::filesystem::path>> folders;
    std::vector<FileIdentity> locked;
    if (const auto application = files.identity(run.application)) locked.push_back(*application);
    for (const auto& folder : {run.lib, run.tmp}) {
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

// One sort run: what the frame holds between its steps. Members are
// destroyed in reverse order: the output files close before the warning
// files, and both before the staging folder goes and the locks are released.
class SortRun {
public:
    SortRun(const RunPlan& plan, StatusDisplay& status, FileSystem& files)
        : plan_(plan), rule_(*plan.rule), status_(status), files_(files), hourglass_(status),
          progress_(status, total_parts(plan)) {}

    RunResult run();

private:
    static long long total_parts(const RunPlan& plan) {
        long long total = 0;
        for (const std::size_t parts : plan.input_parts) total += static_cast<long long>(parts);
        return total;
    }
    void begin();
    void collect();
    void create();
    void copy();
    void copy_file(std::size_t file, std::uint32_t& ordinal);
    std::optional<std::size_t> key_index(std::string_view header, const std::filesystem::path& input);
    void report_name_again(DuplicateNames::Name& known, std::uint32_t ordinal, std::uint64_t block_hash,
                           const std::string& name, const std::filesystem::path& input, long long block,
                           long long line);
    void finish();
    void fail(const std::exception& error);

    const RunPlan& plan_;
    KeyRule& rule_;
    StatusDisplay& status_;
    FileSystem& files_;
    Hourglass hourglass_;
    Progress progress_;
    RunResult result_;
    std::vector<std::unique_ptr<FolderLock>> locks_;
    std::optional<Staging> staging_;
    std::optional<WarningFiles> warning_files_;
    std::optional<OutputSet> outputs_;
    std::optional<InputStamps> stamps_;
    std::optional<KeyTable> table_;
    std::optional<DuplicateNames> names_;
    std::optional<KeySourceCache> placed_;  // the key of each key source met in the copy pass
    std::string looked_up_;
    std::vector<std::filesystem::path> targets_;  // each key's library file, then the two list files
    std::filesystem::path first_list_, second_list_;  // staged
    std::vector<long long> parts_per_key_;
    std::vector<std::uint32_t> first_ordinal_;  // of each file's parts
};

RunResult SortRun::run() {
    result_.key = rule_.name();
    result_.key_title = rule_.title();
    result_.inputs = plan_.inputs;
    result_.decal_library = plan_.decal_file;
    result_.lib_folder = plan_.folders.lib;
    progress_.caption(std::string(kProcessing));
    status_.set_visible(true);
    status_.pump_events();
    try {
        begin();
        collect();
        create();
        copy();
        finish();
    } catch (const RunStopped& stopped) {
        result_.ok = false;
        result_.outcome = RunResult::Outcome::Stopped;
        result_.error = stopped.what();
    } catch (const InputRefused& refused) {
        result_.ok = false;
        result_.outcome = RunResult::Outcome::Refused;
        result_.error = refused.what();
    } catch (const std::exception& error) {
        fail(error);
    }
    result_.warnings.write_to(nullptr);
    outputs_.reset();
    // Every run that held its folders leaves its report, whatever happened;
    // one that refused an input writes nothing.
    if (!locks_.empty() && result_.outcome != RunResult::Outcome::Busy &&
        result_.outcome != RunResult::Outcome::Refused)
        write_report(plan_.folders, result_, files_, warning_files_ ? &*warning_files_ : nullptr,
                     staging_ ? &*staging_ : nullptr);
    return std::move(result_);
}

void SortRun::fail(const std::exception& error) {
    result_.ok = false;
    if (result_.outcome == RunResult::Outcome::Done) result_.outcome = RunResult::Outcome::Failed;
    result_.error = staging_ ? staging_->describe(error) : error.what();
}

// The locks, the checks of the inputs, the staging folder, the warnings'
// files, and the work the key needs done first.
void SortRun::begin() {
    if (const auto busy = lock_run_folders(plan_.folders, files_, locks_)) {
        result_.outcome = RunResult::Outcome::Busy;
        throw RunError("another run is sorting into " + display_path(*busy) +
                       "; wait until it has finished. Nothing was written.");
    }
    // From here on the report may be written: none of the inputs is it.
    check_inputs_are_not_own_files(plan_, files_);
    staging_.emplace(files_, plan_.folders.application);
    progress_.check_stop();
    staging_->remove_leftovers({plan_.folders.application, plan_.folders.lib, plan_.folders.tmp});
    warning_files_.emplace(files_, staging_->own_folder(), run_report_path(plan_.folders.application));
    result_.warnings.write_to(&*warning_files_);
    stamps_.emplace(files_, plan_);
    result_.format = run_format(plan_);
    rule_.prepare(files_, result_, [&] { progress_.check_stop(); });
}

// Collection pass: keys only from the header lines that open a block.
void SortRun::collect() {
    table_.emplace(rule_.capacity(), lib_folder_ignores_case(plan_.folders, files_));
    if (rule_.shows_first_pass()) progress_.start(kFirstPass);
    names_.emplace(plan_.input_parts);
    collection_pass(plan_, files_, *table_, *names_, progress_, rule_.shows_first_pass());
    names_->find();
    progress_.check_stop();
}

// Creation pass. Every file goes to the staging folder first; the names are
// checked before anything is written.
void SortRun::create() {
    for (const auto& key : table_->keys()) targets_.push_back(plan_.folders.lib / output_file_name(key));
    targets_.push_back(plan_.folders.application / rule_.first_list_file());
    targets_.push_back(plan_.folders.application / rule_.second_list_file());
    check_names_fit(targets_);
    check_inputs_survive(plan_, targets_, files_);
    std::vector<std::filesystem::path> staged;
    for (const auto& target : targets_) staged.push_back(staging_->add(target));
    second_list_ = staged.back();
    first_list_ = staged[staged.size() - 2];
    outputs_.emplace(files_, result_.format);
    for (std::size_t j = 0; j < table_->keys().size(); ++j) outputs_->add(std::move(staged[j]));
    empty_list_file(files_, first_list_);
    outputs_->create_all();
}

// Copy pass: every part block is appended to the file of its key.
void SortRun::copy() {
    parts_per_key_.assign(table_->keys().size(), 0);
    result_.warnings.set_titles(WarningKind::Unplaced, "decal ", "");  // the decal and why, as the group
    result_.warnings.set_titles(WarningKind::DuplicateName, "part ", "");
    result_.warnings.set_titles(WarningKind::PassedOver, "", "");  // the file, as the group
    placed_.emplace(rule_.capacity());
    progress_.start(kProcessing);
    std::uint32_t ordinal = 0;
    for (std::size_t file = 0; file < plan_.inputs.size(); ++file) copy_file(file, ordinal);
}

// The index of a part's key in the table; nothing for a part placed in no
// file. The key is worked out once for each key source.
std::optional<std::size_t> SortRun::key_index(std::string_view header, const std::filesystem::path& input) {
    const std::optional<std::string_view> source = rule_.key_source(header);
    const std::int32_t* known = source ? placed_->find(*source) : nullptr;
    if (known && *known != KeySourceCache::kNoKey) return static_cast<std::size_t>(*known);
    std::optional<std::size_t> index;
    if (const auto key = rule_.key_of(header, looked_up_)) {
        index = table_->find(*key);
        if (!index)
            throw RunError(display_path(input) + " changed while it was being sorted (the part " + part_name(header) +
                           " was not there before). The outputs are incomplete.");
    }
    if (source && !known) placed_->insert(*source, index ? static_cast<std::int32_t>(*index) : KeySourceCache::kNoKey);
    return index;
}

void SortRun::copy_file(std::size_t file, std::uint32_t& ordinal) {
    const std::filesystem::path& input = plan_.inputs[file];
    const std::string input_text = display_path(input), input_name = display_path(input.filename());
    first_ordinal_.push_back(ordinal);
    stamps_->check(file);
    LineReader lines(files_, input, read_ahead_beside(2));  // beside this thread and the writer
    lines.check_between_chunks([&] { progress_.check_stop(); });
    lines.report_stray_lines([&](long long line) {
        result_.warnings.add(WarningKind::PassedOver, input_text, with_thousands(line),
                             input_text + ", line " + with_thousands(line));
    });
    PartBlockReader blocks(lines);
    std::string_view header;
    std::string name;     // of the part in hand, kept for a warning after its block
    std::string nowhere;  // the group of a part placed nowhere: its decal and why
    for (long long block = 1; blocks.next_header(header); ++block, ++ordinal) {
        ++result_.parts;
        const long long line = lines.line_number();
        progress_.step();
        progress_.check_stop();
        // A header line longer than is held: its start, the rest streamed
        // with the block's body.
        const bool whole = lines.held() == LineReader::Held::Whole;
        if (!whole) check_header_held(lines.held(), header, files_, input, line, block);
        const std::optional<std::size_t> index = key_index(header, input);
        name.assign(header.substr(0, header.find(' ')));
        DuplicateNames::Name* const twice = names_->candidate(name);
        const bool shared = twice != nullptr;
        std::uint64_t block_hash = !shared ? 0 : whole ? hash_bytes("\r\n", hash_bytes(header)) : hash_bytes(header);
        const auto hash_body = [&](std::string_view bytes) { block_hash = hash_bytes(bytes, block_hash); };
        bool closed;
        if (!index) {
            const Unplaced why = rule_.why_unplaced(looked_up_);
            ++result_.unplaced[static_cast<std::size_t>(why)];
            nowhere.assign(looked_up_).append(unplaced_group_why(why));
            result_.warnings.add(WarningKind::Unplaced, nowhere, name,
                                 name + ": decal " + looked_up_ + ", " + place(input_name, block, line) + " (" +
                                     input_text + ")");
            closed = shared ? blocks.copy_body(hash_body) : blocks.skip_body();
        } else {
            if (whole) outputs_->write_line(*index, header);
            else outputs_->write_bytes(*index, header);
            closed = blocks.copy_body([&](std::string_view bytes) {
                if (shared) hash_body(bytes);
                outputs_->write_bytes(*index, bytes);
            });
            if (!closed) outputs_->write_line(*index, {});
            ++parts_per_key_[*index];
        }
        if (!closed)
            result_.warnings.add(WarningKind::UnclosedPart,
                                 input_text + ": the part " + name + " (part " + with_thousands(block) + " at line " +
                                     with_thousands(line) +
                                     ") reaches the end of the file without the empty line that ends "
                                     "a part; it was copied and closed with one.");
        if (shared) report_name_again(*twice, ordinal, block_hash, name, input, block, line);
    }
}

// A name met again: at its second block, its first is reported too.
void SortRun::report_name_again(DuplicateNames::Name& known, std::uint32_t ordinal, std::uint64_t block_hash,
                                const std::string& name, const std::filesystem::path& input, long long block,
                                long long line) {
    if (known.met++ == 0) {
        known.first = ordinal;
        known.first_block = block_hash;
        known.first_line = line;
        return;
    }
    const auto file = static_cast<std::size_t>(
        std::upper_bound(first_ordinal_.begin(), first_ordinal_.end(), known.first) - first_ordinal_.begin());
    const auto& first_input = plan_.inputs[file - 1];
    const std::string first_place =
        place(display_path(first_input.filename()), known.first - first_ordinal_[file - 1] + 1, known.first_line);
    if (known.met == 2)
        result_.warnings.add(WarningKind::DuplicateName, name, first_place,
                             name + ": " + first_place + " (" + display_path(first_input) + ")");
    const bool same = known.first_block == block_hash;
    const std::string here = place(display_path(input.filename()), block, line);
    result_.warnings.add(WarningKind::DuplicateName, name, here + (same ? " (the same bytes)" : " (other bytes)"),
                         name + ": " + here + " (" + display_path(input) + ")" +
                             (same ? ", the same bytes as " : ", other bytes than ") + first_place);
}

// Closing pass, then the commit: every file is complete, and each now takes
// the place of its file.
void SortRun::finish() {
    outputs_->wait();  // a failed write stops the run before the second list file is emptied
    empty_list_file(files_, second_list_);
    outputs_->close_all();
    outputs_.reset();
    stamps_->check_all();
    staging_->commit([&] {
        status_.pump_events();
        progress_.check_stop();
    });
    for (std::size_t j = 0; j < table_->keys().size(); ++j) {
        result_.outputs.push_back(OutputSummary{table_->keys()[j], targets_[j], parts_per_key_[j]});
        result_.parts_written += parts_per_key_[j];
    }
    result_.earlier_files = earlier_files(plan_.folders, files_, result_.outputs);
    progress_.caption("Done.");
}

}  // namespace

std::string run_format(const RunPlan& plan) {
    const auto marker = [&](std::size_t i) {
        const std::string& found = plan.input_markers[i];
        return found.empty() ? std::string(kPartTypeMarkerV4) : found;
    };
    for (std::size_t i = 1; i < plan.inputs.size(); ++i) {
        if (marker(i) == marker(0)) continue;
        std::string message = "the files are of different formats and cannot be sorted together:";
        for (std::size_t j = 0; j < plan.inputs.size(); ++j)
            message += "\n  " + display_path(plan.inputs[j]) + ": " + marker(j);
        throw RunError(message);
    }
    return plan.inputs.empty() ? std::string(kPartTypeMarkerV4) : marker(0);
}

std::string run_format(const Module1& state) { return run_format(plan_run(state)); }

RunResult run_frame(Module1& state, KeyRule& rule, StatusDisplay& status, FileSystem& files) {
    const RunPlan plan = plan_run(state, &rule);
    return SortRun(plan, status, files).run();
}

}  // namespace marrowgate
