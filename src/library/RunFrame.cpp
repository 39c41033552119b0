#include "library/RunFrame.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cmath>
#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <type_traits>

#include "library/Background.h"
#include "library/Folders.h"
#include "library/LineReader.h"
#include "library/OutputSet.h"
#include "library/PartHeader.h"
#include "library/Staging.h"
#include "library/StringIndex.h"
#include "state/Module1.h"

namespace marrowgate {

namespace {
// The percentage of a progress step, rounded down; -1 when there is no total.
long long progress_percent(long long counter, long long total) {
    if (total <= 0) return -1;
    return static_cast<long long>(std::floor(static_cast<double>(counter) * 100.0 / static_cast<double>(total)));
}
}  // namespace

std::string progress_caption(std::string_view phase, long long counter, long long total) {
    std::string caption(phase);
    const long long percent = progress_percent(counter, total);
    if (percent < 0) return caption;
    caption += ' ';
    caption += std::to_string(percent);
    caption += " %";
    return caption;
}

namespace {

constexpr std::string_view kProcessing = "Processing...";
constexpr std::string_view kFirstPass = "First pass...";

// The distinct keys of a run in order of first appearance. Where the lib folder
// ignores letter case, keys that differ only in case are one key, spelled as
// first met.
class KeyTable {
public:
    KeyTable(std::size_t capacity, bool ignore_case) : capacity_(capacity), ignore_case_(ignore_case) {}

    void add(const std::string& key) {
        const std::string folded = ignore_case_ ? case_folded_key(key) : std::string();
        const std::string_view compared = ignore_case_ ? std::string_view(folded) : std::string_view(key);
        if (folded_.find(compared) != StringIndex::kNone) return;
        if (keys_.size() == capacity_)
            throw RunError("the key table is full: it holds " + std::to_string(capacity_) +
                           " keys, and the key \"" + key + "\" would be one more. Nothing was written.");
        folded_.insert(compared);
        keys_.push_back(key);
    }

    std::optional<std::size_t> find(const std::string& key) const {
        const std::uint32_t position = ignore_case_ ? folded_.find(case_folded_key(key)) : folded_.find(key);
        if (position == StringIndex::kNone) return std::nullopt;
        return position;
    }

    const std::vector<std::string>& keys() const { return keys_; }
    bool ignores_case() const { return ignore_case_; }

private:
    std::size_t capacity_;
    bool ignore_case_;
    std::vector<std::string> keys_;  // as first met
    StringIndex folded_;             // the keys as compared
};

// What the run worked out already for the key sources it met (the bytes of a
// header line its key is made from): the key's index in the table, or kNoKey
// for a part placed in no file. Sources up to 64 bytes long, at most four
// times as many as the table holds keys; beyond that the key is worked out
// again for every part, as without the cache.
class KeySourceCache {
public:
    static constexpr std::int32_t kNoKey = -1;

    explicit KeySourceCache(std::size_t capacity) : most_(4 * capacity + 64) {}

    const std::int32_t* find(std::string_view source) const {
        const std::uint32_t position = sources_.find(source);
        return position == StringIndex::kNone ? nullptr : &values_[position];
    }

    void insert(std::string_view source, std::int32_t value) {
        if (source.size() > 64 || sources_.size() == most_) return;
        if (sources_.insert(source).second) values_.push_back(value);
    }

private:
    std::size_t most_;
    StringIndex sources_;
    std::vector<std::int32_t> values_;
};

// Progress steps: events run at every step; the caption is set when it changes.
class Progress {
public:
    Progress(StatusDisplay& status, long long total) : status_(status), total_(total) {}
    void start(std::string_view phase) {
        phase_ = phase;
        counter_ = 0;
        shown_percent_ = kNothingShown;
    }
    void step() {
        ++counter_;
        status_.pump_events();
        // The caption changes only with the percentage; it is made only then.
        const long long percent = progress_percent(counter_, total_);
        if (percent == shown_percent_) return;
        shown_percent_ = percent;
        std::string caption = progress_caption(phase_, counter_, total_);
        if (caption != last_) {
            status_.set_caption(caption);
            last_ = std::move(caption);
        }
    }
    // Steps up to `counter`, one at a time, as the parts read come in.
    void advance_to(long long counter) {
        while (counter_ < counter) step();
    }
    void caption(const std::string& text) {
        status_.set_caption(text);
        last_ = text;
        shown_percent_ = kNothingShown;
    }
    // Stops the run where the user asked it to stop.
    void check_stop() {
        if (status_.stop_requested()) throw RunStopped();
    }

private:
    static constexpr long long kNothingShown = -2;
    StatusDisplay& status_;
    long long total_;
    std::string_view phase_;
    long long counter_ = 0;
    long long shown_percent_ = kNothingShown;
    std::string last_;
};

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

// What the run's inputs were when it began: an input whose size or time of
// change differs later was changed while it was being sorted.
class InputStamps {
public:
    InputStamps(FileSystem& files, const Module1& state) : files_(files) {
        for (int i = 1; i <= state.File_Count; ++i) add(listed_file_path(state, i));
        if (state.Decal_Count > 0) add(decal_file_path(state));
    }
    // Checks input i (0 for the first listed file), or all of them.
    void check(std::size_t i) const {
        if (files_.look(inputs_[i], true) != stamps_[i])
            throw RunError(display_path(inputs_[i]) +
                           " changed while it was being sorted. Nothing was changed; sort it again once it is "
                           "complete.");
    }
    void check_all() const {
        for (std::size_t i = 0; i < inputs_.size(); ++i) check(i);
    }

private:
    void add(std::filesystem::path path) {
        stamps_.push_back(files_.look(path, true));
        inputs_.push_back(std::move(path));
    }
    FileSystem& files_;
    std::vector<std::filesystem::path> inputs_;
    std::vector<FileEntry> stamps_;
};

// The message of a failure, naming the file it is about: a staged file by
// the file it was to become.
std::string failure_message(const std::exception& error, const Staging* staging) {
    const auto* file_error = dynamic_cast<const FileError*>(&error);
    if (!file_error || !staging) return error.what();
    const std::filesystem::path target = staging->target_of(file_error->file());
    if (target == file_error->file()) return error.what();
    return display_path(target) + ": " + file_error->reason() + ". Nothing was changed.";
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

namespace {

// A key too long for a file name stops the run before any file is emptied.
void check_names_fit(const std::vector<std::filesystem::path>& targets) {
    constexpr std::size_t kLongestName = 255;  // bytes on Linux, UTF-16 units on Windows
    for (const auto& target : targets) {
        if (target.filename().native().size() > kLongestName)
            throw RunError(display_path(target) + ": cannot be created: the name is longer than the " +
                           std::to_string(kLongestName) +
                           " characters a file name may have, because its key is too long. Nothing was written.");
    }
}

// The names in the folders of a run's outputs, each folder listed once, so
// that only the outputs that exist already need looking at. Names compare
// with ASCII letters folded (a superset where the folder tells case apart);
// a folder that cannot be listed, or holds a name of other characters, may
// hold any name. The listing is the disk's; a folder that the file layer
// has and the disk has not may hold any name.
class ExistingNames {
public:
    explicit ExistingNames(FileSystem& files) : files_(files) {}

    bool may_hold(const std::filesystem::path& target) {
        const std::filesystem::path parent = target.parent_path();
        auto [folder, listed] = folders_.try_emplace(parent.empty() ? std::filesystem::path(".") : parent);
        if (listed) list(folder->first, folder->second);
        const std::optional<std::filesystem::path::string_type> name = folded(target.filename().native());
        return !folder->second.complete || !name || folder->second.names.count(*name) > 0;
    }

private:
    struct Folder {
        bool complete = false;
        std::set<std::filesystem::path::string_type> names;
    };

    static std::optional<std::filesystem::path::string_type> folded(std::filesystem::path::string_type name) {
        using Unit = std::make_unsigned_t<std::filesystem::path::value_type>;
        for (auto& c : name) {
            if (static_cast<Unit>(c) > 0x7F) return std::nullopt;
            if (c >= 'A' && c <= 'Z') c = static_cast<std::filesystem::path::value_type>(c - 'A' + 'a');
        }
        return name;
    }

    void list(const std::filesystem::path& path, Folder& folder) {
        std::error_code ec;
        std::filesystem::directory_iterator it(path, ec);
        if (ec) {
            folder.complete = ec == std::errc::no_such_file_or_directory &&  // no folder, no file
                              files_.look(path, true).kind == FileEntry::Kind::None;
            return;
        }
        for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
            const auto name = folded(it->path().filename().native());
            if (!name) return;
            folder.names.insert(*name);
        }
        folder.complete = !ec;
    }

    FileSystem& files_;
    std::map<std::filesystem::path, Folder> folders_;
};

// A run never overwrites or empties one of its own inputs: no output may be
// the file of an input, by its own name or through a link. Each input and
// each output that exists is looked at once.
void check_inputs_survive(const Module1& state, const std::vector<std::filesystem::path>& targets, FileSystem& files) {
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i <= state.File_Count; ++i) inputs.push_back(listed_file_path(state, i));
    if (state.Decal_Count > 0) inputs.push_back(decal_file_path(state));
    std::vector<std::optional<FileIdentity>> identities;
    for (const auto& input : inputs) identities.push_back(files.identity(input));
    ExistingNames existing(files);
    for (const auto& target : targets) {
        if (!existing.may_hold(target)) continue;
        const std::optional<FileIdentity> identity = files.identity(target);
        if (!identity) continue;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            std::error_code ec;
            const bool same = identities[i] ? *identities[i] == *identity
                                            : std::filesystem::equivalent(target, inputs[i], ec) && !ec;
            if (same)
                throw RunError("the output file " + display_path(target) + " is the input file " +
                               display_path(inputs[i]) +
                               "; sorting would destroy it. Move the input elsewhere. Nothing was written.");
        }
    }
}

// Collection pass: adds the key of a header line to the table, worked out
// once for each key source.
void add_key(std::string_view header, KeyRule& rule, std::string& looked_up, KeySourceCache& met, KeyTable& table) {
    const std::optional<std::string_view> source = rule.key_source(header);
    if (source && met.find(*source)) return;
    if (auto key = rule.key_of(header, looked_up)) table.add(*key);
    if (source) met.insert(*source, 0);
}

// The keys of one listed file in order of first appearance, and the failure
// that ended its reading, if any. At most `most` keys: once a file alone
// holds more keys than the table can, the table is full before its last one.
// Every 256 parts and at the end, the parts read are added to `parts`.
struct FileKeys {
    std::vector<std::string> keys;
    std::exception_ptr failure;
};

FileKeys keys_of_file(const Module1& state, int i, KeyRule& rule, FileSystem& files, std::size_t most,
                      bool ignore_case, std::atomic<long long>& parts) {
    KeyTable seen(most, ignore_case);
    FileKeys result;
    long long unreported = 0;
    try {
        LineReader lines(files, listed_file_path(state, i), read_ahead_beside(2));  // two files side by side
        PartBlockReader blocks(lines);
        std::string looked_up;
        std::string_view header;
        KeySourceCache met(most);
        while (seen.keys().size() < most && blocks.next_header(header)) {
            if (++unreported == 256) {
                parts.fetch_add(unreported, std::memory_order_relaxed);
                unreported = 0;
            }
            add_key(header, rule, looked_up, met, seen);
            blocks.skip_body();
        }
    } catch (...) {
        result.failure = std::current_exception();
    }
    parts.fetch_add(unreported, std::memory_order_relaxed);
    result.keys = seen.keys();
    return result;
}

// The collection pass over several files on a machine with more than one
// processor: the files are read side by side, two at a time, and their keys
// enter the table in file order, so that the table, and the first failure
// met, are what reading them one after another gives. Where the pass shows
// its progress, this thread shows it from the parts read so far, every
// percentage in turn, and lets pending events run meanwhile.
void collect_keys(const Module1& state, KeyRule& rule, FileSystem& files, KeyTable& table, Progress* progress) {
    const auto count = static_cast<std::size_t>(state.File_Count);
    std::vector<FileKeys> per_file(count);
    std::atomic<std::size_t> next{0};
    std::atomic<long long> parts{0};
    std::atomic<int> working{0};
    std::mutex mutex;
    std::condition_variable finished;
    const std::size_t most = rule.capacity() + 1;
    const bool ignore_case = table.ignores_case();
    const auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;)
            per_file[i] = keys_of_file(state, static_cast<int>(i + 1), rule, files, most, ignore_case, parts);
        std::lock_guard lock(mutex);
        --working;
        finished.notify_all();
    };
    std::vector<std::thread> helpers;
    for (int n = 0; n < (progress ? 2 : 1); ++n) {
        try {
            ++working;
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            --working;  // no thread to be had: fewer files side by side
        }
    }
    if (!progress || helpers.empty()) {
        ++working;
        work();
    }
    if (progress) {
        std::unique_lock lock(mutex);
        while (working > 0) {
            finished.wait_for(lock, std::chrono::milliseconds(20));
            lock.unlock();
            progress->advance_to(parts.load(std::memory_order_relaxed));
            lock.lock();
        }
    }
    for (auto& helper : helpers) helper.join();
    if (progress) progress->advance_to(parts.load());
    for (const FileKeys& file : per_file) {
        for (const auto& key : file.keys) table.add(key);
        if (file.failure) std::rethrow_exception(file.failure);
    }
}

}  // namespace

std::filesystem::path run_lock_path(const std::filesystem::path& application_folder) {
    return application_folder / ".marrowgate.lock";
}

RunResult run_frame(Module1& state, KeyRule& rule, StatusDisplay& status, FileSystem& files) {
    RunResult result;
    Hourglass hourglass(status);
    Progress progress(status, state.Total_Parts);
    progress.caption(std::string(kProcessing));
    status.set_visible(true);
    status.pump_events();

    std::unique_ptr<FolderLock> lock;
    std::optional<Staging> staging;
    std::optional<OutputSet> outputs;  // after staging: its files are closed before the staging folder goes
    try {
        lock = files.lock(run_lock_path(state.Application_Folder), true);
        if (!lock) {
            result.outcome = RunResult::Outcome::Busy;
            throw RunError("another run is sorting into " + display_path(state.Application_Folder) +
                           "; wait until it has finished. Nothing was written.");
        }
        progress.check_stop();
        staging.emplace(files, state.Application_Folder);
        const InputStamps stamps(files, state);
        result.format = run_format(state);
        rule.prepare(files, result);
        KeyTable table(rule.capacity(), lib_folder_ignores_case(state, files));
        std::string looked_up;

        // Collection pass: keys only from the header lines that open a block.
        if (rule.shows_first_pass()) progress.start(kFirstPass);
        if (state.File_Count > 1 && background_threads()) {
            collect_keys(state, rule, files, table, rule.shows_first_pass() ? &progress : nullptr);
        } else {
            KeySourceCache met(rule.capacity());
            for (int i = 1; i <= state.File_Count; ++i) {
                LineReader lines(files, listed_file_path(state, i));
                PartBlockReader blocks(lines);
                std::string_view header;
                while (blocks.next_header(header)) {
                    if (rule.shows_first_pass()) {
                        progress.step();
                        progress.check_stop();
                    }
                    add_key(header, rule, looked_up, met, table);
                    blocks.skip_body();
                }
            }
        }

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
        for (std::size_t j = 0; j < table.keys().size(); ++j) outputs->add(staged[j]);
        empty_list_file(files, first_list);
        outputs->create_all();  // creation pass

        // Copy pass.
        std::vector<long long> blocks_per_key(table.keys().size(), 0);
        KeySourceCache placed(rule.capacity());
        progress.start(kProcessing);
        for (int i = 1; i <= state.File_Count; ++i) {
            const auto input = listed_file_path(state, i);
            stamps.check(static_cast<std::size_t>(i - 1));
            LineReader lines(files, input, read_ahead_beside(2));  // beside this thread and the writer
            PartBlockReader blocks(lines);
            std::string_view header;
            std::string name;  // of the part in hand, kept for a warning after its block
            while (blocks.next_header(header)) {
                ++result.parts;
                progress.step();
                progress.check_stop();
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
                if (!index) {
                    result.unplaced.push_back(UnplacedPart{input, part_name(header), looked_up});
                    blocks.skip_body();
                    continue;
                }
                name.assign(header.substr(0, header.find(' ')));
                outputs->write_line(*index, header);
                const bool closed = blocks.copy_body([&](std::string_view bytes) { outputs->write_bytes(*index, bytes); });
                if (!closed) {
                    outputs->write_line(*index, {});
                    result.warnings.push_back(display_path(input) + ": the part " + name +
                                              " reaches the end of the file without the empty line that ends "
                                              "a part; it was copied and closed with one.");
                }
                ++blocks_per_key[*index];
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

        for (std::size_t j = 0; j < table.keys().size(); ++j)
            result.outputs.push_back(OutputSummary{table.keys()[j], targets[j], blocks_per_key[j]});
        // Without a decal library one warning says it all; the parts are still listed.
        if (state.Decal_Count > 0) {
            for (const auto& part : result.unplaced)
                result.warnings.push_back(display_path(part.file) + ": the part " + part.part +
                                          " was placed in no file: its decal \"" + part.decal +
                                          "\" is not in the decal library.");
        }
        progress.caption("Done.");
    } catch (const RunStopped& stopped) {
        result.ok = false;
        result.outcome = RunResult::Outcome::Stopped;
        result.error = stopped.what();
    } catch (const std::exception& error) {
        result.ok = false;
        if (result.outcome == RunResult::Outcome::Done) result.outcome = RunResult::Outcome::Failed;
        result.error = failure_message(error, staging ? &*staging : nullptr);
    }
    return result;
}

}  // namespace marrowgate
