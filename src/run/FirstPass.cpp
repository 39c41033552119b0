#include "run/FirstPass.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "io/Background.h"
#include "io/RunError.h"
#include "keys/KeyTable.h"
#include "run/BlockMap.h"
#include "run/DuplicateNames.h"
#include "run/KeyRule.h"
#include "run/Progress.h"
#include "run/RunStopped.h"
#include "run/RunPlan.h"
#include "text/LineReader.h"
#include "text/PartHeader.h"

namespace marrowgate {

namespace {

// The line of part `part` (from 1) of a file.
long long line_of_part(FileSystem& files, const std::filesystem::path& file, long long part) {
    LineReader lines(files, file);
    lines.number_lines();
    PartBlockReader blocks(lines);
    std::string_view header;
    for (long long met = 1; blocks.next_header(header); ++met) {
        if (met == part) return lines.line_number();
        blocks.skip_body();
    }
    return 0;
}

// Adds the key of a header line to the table, worked out once for each key
// source, and returns its index; nothing for a part placed in no file.
// Throws KeyTooLong for a key longer than kLongestKey, which no table holds:
// with up to 1,024 keys of a header line's length, the tables would take a
// gigabyte before the run fails.
std::optional<std::size_t> add_key(std::string_view header, const KeyRule& rule, std::string& looked_up,
                                   KeySourceCache& met, KeyTable& table) {
    const std::optional<std::string_view> source = rule.key_source(header);
    if (source) {
        if (const std::int32_t* known = met.find(*source))
            return *known == KeySourceCache::kNoKey ? std::nullopt : std::optional<std::size_t>(*known);
    }
    std::optional<std::size_t> index;
    if (auto key = rule.key_of(header, looked_up)) {
        if (key->size() > kLongestKey) throw KeyTooLong{key->size()};
        index = table.add(*key);
    }
    if (source) met.insert(*source, index ? static_cast<std::int32_t>(*index) : KeySourceCache::kNoKey);
    return index;
}

// add_key() for part number `part` of `file`: a key too long for a file
// name refuses the run, naming the file and the line.
std::optional<std::size_t> add_key_of_part(std::string_view header, const KeyRule& rule, std::string& looked_up,
                                           KeySourceCache& met, KeyTable& table, FileSystem& files,
                                           const std::filesystem::path& file, long long part) {
    try {
        return add_key(header, rule, looked_up, met, table);
    } catch (const KeyTooLong& too_long) {
        throw RunError(display_path(file) + ", line " + with_thousands(line_of_part(files, file, part)) +
                       ": the part's key is " + with_thousands(static_cast<long long>(too_long.size)) +
                       " bytes long, longer than a file name may be: its library file cannot be created. "
                       "Nothing was written.");
    }
}

// Keeps the map of a file's blocks as the pass reads them (see BlockMap).
class MapRecorder {
public:
    MapRecorder(LineReader& lines, BlockMap& map) : lines_(lines), map_(map) {
        // A line between blocks that the copy pass reports: that pass reads
        // the file line by line, as it comes.
        lines_.report_stray_lines([this](long long) { stray_ = true; });
    }
    // At a header line, before its body is read.
    void header(std::string_view header, std::optional<std::size_t> key) {
        start_ = lines_.line_start();
        line_ = lines_.line_number();
        key_ = key ? static_cast<std::int64_t>(*key) : -1;
        whole_ = lines_.held() == LineReader::Held::Whole;
        // A header line ended by a lone LF, or by the end of the file, goes
        // out with CR LF: not as it is.
        header_as_is_ = lines_.position() - start_ == header.size() + 2;
        made_ = lines_.line_ends_made();
    }
    // After the body of that header's block.
    void body(bool closed) {
        if (!whole_) map_.give_up();
        map_.add(BlockMap::Block{start_ - end_, lines_.position() - start_, static_cast<std::uint64_t>(line_ - last_line_),
                                 key_, header_as_is_ && made_ == lines_.line_ends_made(), closed});
        end_ = lines_.position();
        last_line_ = line_;
    }
    // At the end of the file; `whole`: every block was read.
    void finish(bool whole) {
        if (stray_ || !whole) map_.give_up();
        map_.set_file_size(lines_.position());
    }

private:
    LineReader& lines_;
    BlockMap& map_;
    std::uint64_t start_ = 0, end_ = 0, made_ = 0;
    long long line_ = 0, last_line_ = 0;
    std::int64_t key_ = -1;
    bool whole_ = true;
    bool header_as_is_ = true;
    bool stray_ = false;
};

// The keys of one listed file in order of first appearance, and the failure
// that ended its reading, if any. At most `most` keys: once a file alone
// holds more keys than the table can, the table is full before its last one.
// Every 256 parts and at the end, the parts read are added to `parts`. A
// stop asked for in `stop` ends the reading at the next part or chunk.
struct FileKeys {
    std::vector<std::string> keys;
    std::exception_ptr failure;
};

FileKeys keys_of_file(std::size_t file, const std::filesystem::path& path, const KeyRule& rule, FileSystem& files,
                      std::size_t most, bool ignore_case, DuplicateNames& names, BlockMap& map,
                      std::atomic<long long>& parts, const std::atomic<bool>& stop) {
    KeyTable seen(most, ignore_case);
    FileKeys result;
    long long unreported = 0;
    try {
        const auto check_stop = [&] {
            if (stop.load(std::memory_order_relaxed)) throw RunStopped();
        };
        LineReader lines(files, path);
        lines.check_between_chunks(check_stop);
        PartBlockReader blocks(lines);
        MapRecorder recorder(lines, map);
        std::string looked_up;
        std::string_view header;
        KeySourceCache met(most);
        bool more = true;
        for (long long part = 1; seen.keys().size() < most && (more = blocks.next_header(header)); ++part) {
            check_stop();
            if (++unreported == 256) {
                parts.fetch_add(unreported, std::memory_order_relaxed);
                unreported = 0;
            }
            check_header_held(lines.held(), header, files, path, 0, part);
            recorder.header(header, add_key_of_part(header, rule, looked_up, met, seen, files, path, part));
            names.add_name(file, header.substr(0, header.find(' ')));
            recorder.body(blocks.skip_body());
        }
        recorder.finish(!more);
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
// met, are what reading them one after another gives. Meanwhile this thread
// asks every 20 ms whether the user wants the run to stop, and where the
// pass shows its progress shows it from the parts read so far, every
// percentage in turn.
void collect_keys(const std::vector<std::filesystem::path>& inputs, const KeyRule& rule, FileSystem& files, KeyTable& table,
                  DuplicateNames& names, std::vector<BlockMap>& maps, Progress& progress, bool shown) {
    const std::size_t count = inputs.size();
    std::vector<FileKeys> per_file(count);
    std::atomic<std::size_t> next{0};
    std::atomic<long long> parts{0};
    std::atomic<bool> stop{false};
    std::atomic<int> working{0};
    std::mutex mutex;
    std::condition_variable finished;
    const std::size_t most = rule.capacity() + 1;
    const bool ignore_case = table.ignores_case();
    const auto work = [&] {
        for (std::size_t i; !stop.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < count;)
            per_file[i] = keys_of_file(i, inputs[i], rule, files, most, ignore_case, names, maps[i], parts, stop);
        std::lock_guard lock(mutex);
        --working;
        finished.notify_all();
    };
    std::vector<std::thread> helpers;
    for (int n = 0; n < 2; ++n) {
        try {
            ++working;
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            --working;  // no thread to be had: fewer files side by side
        }
    }
    if (helpers.empty()) {
        ++working;
        work();
    }
    bool stopped = false;
    {
        std::unique_lock lock(mutex);
        while (working > 0) {
            finished.wait_for(lock, std::chrono::milliseconds(20));
            lock.unlock();
            if (shown) progress.advance_to(parts.load(std::memory_order_relaxed));
            if (!stopped && progress.stop_asked()) {
                stopped = true;
                stop.store(true, std::memory_order_relaxed);
            }
            lock.lock();
        }
    }
    for (auto& helper : helpers) helper.join();
    if (stopped) throw RunStopped();
    if (shown) progress.advance_to(parts.load());
    for (std::size_t i = 0; i < count; ++i) {
        std::vector<std::int64_t> in_table;
        for (const auto& key : per_file[i].keys) in_table.push_back(static_cast<std::int64_t>(table.add(key)));
        if (per_file[i].failure) std::rethrow_exception(per_file[i].failure);
        maps[i].renumber_keys(std::move(in_table));
    }
}

}  // namespace

void check_header_held(LineReader::Held held, std::string_view header, FileSystem& files,
                       const std::filesystem::path& file, long long line, long long part) {
    if (held == LineReader::Held::Whole) return;
    Words<5> words{};
    if (held == LineReader::Held::Start && split_words<5>(header, words) >= 4) return;
    if (line == 0) line = line_of_part(files, file, part);
    const std::string where = display_path(file) + ", line " + with_thousands(line) +
                              ": the part header line is longer than " +
                              with_thousands(static_cast<long long>(LineReader::kLongestHeld)) + " bytes and ";
    throw RunError(where +
                   (held == LineReader::Held::None ? "its \" I \" or \" M \" comes only after them"
                                                   : "its first four words (name, decals, units, logic family) "
                                                     "do not end within them") +
                   ": its key is too long to read. Nothing was written.");
}

void collection_pass(const RunPlan& plan, FileSystem& files, KeyTable& table, DuplicateNames& names,
                     std::vector<BlockMap>& maps, Progress& progress, bool shown) {
    const KeyRule& rule = *plan.rule;
    maps.assign(plan.inputs.size(), BlockMap());
    if (plan.inputs.size() > 1 && background_threads()) {
        collect_keys(plan.inputs, rule, files, table, names, maps, progress, shown);
        return;
    }
    KeySourceCache met(rule.capacity());
    std::string looked_up;
    for (std::size_t i = 0; i < plan.inputs.size(); ++i) {
        const std::filesystem::path& path = plan.inputs[i];
        LineReader lines(files, path);
        lines.check_between_chunks([&] { progress.check_stop(); });
        PartBlockReader blocks(lines);
        MapRecorder recorder(lines, maps[i]);
        std::string_view header;
        for (long long part = 1; blocks.next_header(header); ++part) {
            if (shown) progress.step();
            progress.check_stop();
            check_header_held(lines.held(), header, files, path, 0, part);
            recorder.header(header, add_key_of_part(header, rule, looked_up, met, table, files, path, part));
            names.add_name(i, header.substr(0, header.find(' ')));
            recorder.body(blocks.skip_body());
        }
        recorder.finish(true);
    }
}

}  // namespace marrowgate
