#include "run/RunFrame.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "io/ChunkReader.h"
#include "io/RunError.h"
#include "keys/KeyTable.h"
#include "report/RunReportFile.h"
#include "report/RunText.h"
#include "run/BlockMap.h"
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

// How far ahead of the block being copied the copy pass fetches the memory
// of a block's file (see copy_mapped()).
constexpr int kBlocksAhead = 8;

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

[[noreturn]] void throw_changed(const std::filesystem::path& input) {
    throw RunError(display_path(input) +
                   " changed while it was being sorted (its parts are not where they were). The outputs are "
                   "incomplete.");
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
    void copy_mapped(std::size_t file, std::uint32_t& ordinal);
    void place_nowhere(std::string_view header, const std::string& name, const std::string& input_name,
                       const std::string& input_text, long long block, long long line);
    void report_unclosed(const std::string& input_text, const std::string& name, long long block, long long line);
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
    std::vector<BlockMap> maps_;  // each input's blocks, from the collection pass
    std::optional<KeySourceCache> placed_;  // the key of each key source met in the copy pass
    std::string looked_up_;
    std::string name_;     // of the part in hand (mapped files)
    std::string header_;   // a header line gathered from two chunks
    std::string nowhere_;  // the group of a part placed nowhere: its decal and why
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
    collection_pass(plan_, files_, *table_, *names_, maps_, progress_, rule_.shows_first_pass());
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
    for (std::size_t file = 0; file < plan_.inputs.size(); ++file) {
        if (maps_[file].usable()) copy_mapped(file, ordinal);
        else copy_file(file, ordinal);
    }
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
    LineReader lines(files_, input);
    lines.check_between_chunks([&] { progress_.check_stop(); });
    lines.report_stray_lines([&](long long line) {
        result_.warnings.add(WarningKind::PassedOver, input_text, with_thousands(line),
                             input_text + ", line " + with_thousands(line));
    });
    PartBlockReader blocks(lines);
    std::string_view header;
    std::string name;  // of the part in hand, kept for a warning after its block
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
            place_nowhere(header, name, input_name, input_text, block, line);
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
        if (!closed) report_unclosed(input_text, name, block, line);
        if (shared) report_name_again(*twice, ordinal, block_hash, name, input, block, line);
    }
}

// A part placed in no file: counted, and reported in the group of its decal
// and why.
void SortRun::place_nowhere(std::string_view header, const std::string& name, const std::string& input_name,
                            const std::string& input_text, long long block, long long line) {
    // The key rule says why from what it looked up for the header.
    static_cast<void>(rule_.key_of(header, looked_up_));
    const Unplaced why = rule_.why_unplaced(looked_up_);
    ++result_.unplaced[static_cast<std::size_t>(why)];
    nowhere_.assign(looked_up_).append(unplaced_group_why(why));
    result_.warnings.add(WarningKind::Unplaced, nowhere_, name,
                         name + ": decal " + looked_up_ + ", " + place(input_name, block, line) + " (" + input_text +
                             ")");
}

void SortRun::report_unclosed(const std::string& input_text, const std::string& name, long long block, long long line) {
    result_.warnings.add(WarningKind::UnclosedPart,
                         input_text + ": the part " + name + " (part " + with_thousands(block) + " at line " +
                             with_thousands(line) +
                             ") reaches the end of the file without the empty line that ends "
                             "a part; it was copied and closed with one.");
}

// Reads a file in chunks and hands on its bytes in order, as many at a time as
// asked for, a piece a chunk.
class ChunkStream {
public:
    ChunkStream(FileSystem& files, const std::filesystem::path& path, std::function<void()> check)
        : source_(files.open_read(path), LineReader::kChunk, 0), check_(std::move(check)),
          path_(path) {}
    ~ChunkStream() { source_.give_back(chunk_.slot); }

    // The next `count` bytes, where the chunk in hand holds them all.
    std::optional<std::string_view> whole(std::uint64_t count) {
        if (count > chunk_.size - at_) return std::nullopt;
        const std::string_view bytes(chunk_.data + at_, static_cast<std::size_t>(count));
        at_ += static_cast<std::size_t>(count);
        return bytes;
    }
    // Hands the next `count` bytes to `use`, a piece a chunk.
    template <class Use>
    void pass_on(std::uint64_t count, Use&& use) {
        while (count > 0) {
            if (at_ == chunk_.size) next_chunk();
            const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(count, chunk_.size - at_));
            use(std::string_view(chunk_.data + at_, piece));
            at_ += piece;
            count -= piece;
        }
    }
    // Appends the next bytes, through the first LF but at most `most` of
    // them, to `into`.
    void gather_line(std::uint64_t most, std::string& into) {
        while (most > 0 && (into.empty() || into.back() != '\n')) {
            if (at_ == chunk_.size) next_chunk();
            const std::string_view more = in_hand();
            const std::size_t end = more.find('\n');
            const auto take = static_cast<std::size_t>(
                std::min<std::uint64_t>(most, end == std::string_view::npos ? more.size() : end + 1));
            into.append(more.substr(0, take));
            at_ += take;
            most -= take;
        }
    }
    // The bytes in hand up to where the chunk ends.
    std::string_view in_hand() const { return std::string_view(chunk_.data + at_, chunk_.size - at_); }
    // Whether the file ends where the bytes handed on end.
    bool at_end() {
        if (at_ < chunk_.size) return false;
        source_.give_back(chunk_.slot);
        chunk_ = source_.take();
        at_ = 0;
        return chunk_.size == 0;
    }

private:
    void next_chunk() {
        if (check_) check_();
        source_.give_back(chunk_.slot);
        chunk_ = source_.take();
        at_ = 0;
        if (chunk_.size == 0) throw_changed(path_);
    }

    ChunkReader source_;
    ChunkReader::Chunk chunk_{};
    std::size_t at_ = 0;
    std::function<void()> check_;
    const std::filesystem::path& path_;
};

// Hands on the bytes of a block as a reading line by line gives them: CR LF
// in place of every lone LF, and after a last line without a line end.
class LineEnds {
public:
    template <class Out>
    void convert(std::string_view bytes, Out& out) {
        std::size_t run = 0;
        for (std::size_t at = 0; at < bytes.size();) {
            const void* hit = std::memchr(bytes.data() + at, '\n', bytes.size() - at);
            if (!hit) break;
            const auto feed = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
            if ((feed > 0 ? bytes[feed - 1] : before_) != '\r') {
                out(bytes.substr(run, feed - run));
                out(std::string_view("\r\n", 2));
                run = feed + 1;
            }
            at = feed + 1;
        }
        out(bytes.substr(run));
        if (!bytes.empty()) before_ = bytes.back();
    }
    // At the end of a block the file ends in: its last line's end.
    template <class Out>
    void end_of_file(Out& out) {
        if (before_ != '\n') out(std::string_view("\r\n", 2));
    }

private:
    char before_ = '\n';
};

// Hands on the bytes of a block to `out`, with the line ends a line by line
// reading gives: `whole`, where the chunk in hand held it all; else the rest
// of it in the file, after the header line gathered in header_ where
// `gathered`.
template <class Out>
void copy_block(ChunkStream& stream, const BlockMap::Block& block, std::optional<std::string_view> whole,
                bool gathered, const std::string& header, Out& out) {
    LineEnds ends;
    const auto hand_on = [&](std::string_view piece) {
        if (block.as_is) out(piece);
        else ends.convert(piece, out);
    };
    if (whole) {
        hand_on(*whole);
    } else if (gathered) {
        hand_on(header);
        stream.pass_on(block.size - header.size(), hand_on);
    } else {
        stream.pass_on(block.size, hand_on);
    }
    if (!block.closed && !block.as_is) ends.end_of_file(out);
}

void SortRun::copy_mapped(std::size_t file, std::uint32_t& ordinal) {
    const std::filesystem::path& input = plan_.inputs[file];
    const std::string input_text = display_path(input), input_name = display_path(input.filename());
    first_ordinal_.push_back(ordinal);
    stamps_->check(file);
    ChunkStream stream(files_, input, [&] { progress_.check_stop(); });
    BlockMap::Reader blocks(maps_[file]);
    BlockMap::Block block;
    // A few blocks ahead of the one in hand: the memory its bytes will be
    // gathered in is fetched while the blocks before it are copied. With a
    // thousand files, that memory was last used by the writer long before,
    // and the copy waited for it; fetched eight blocks ahead, the copy pass
    // took a fifth less of the run's processor time.
    BlockMap::Reader ahead(maps_[file]);
    BlockMap::Block later;
    bool more_ahead = true;
    for (int skipped = 0; skipped < kBlocksAhead && more_ahead; ++skipped) more_ahead = ahead.next(later);
    std::uint64_t handed = 0;  // the bytes of the file handed on
    long long line = 0;
    const auto ignore = [](std::string_view) {};
    for (long long number = 1; blocks.next(block); ++number, ++ordinal) {
        if (more_ahead && (more_ahead = ahead.next(later)) && later.key >= 0)
            outputs_->prefetch(static_cast<std::size_t>(later.key), later.size);
        ++result_.parts;
        line += static_cast<long long>(block.lines);
        progress_.step();
        progress_.check_stop();
        stream.pass_on(block.gap, ignore);
        handed += block.gap + block.size;
        const std::optional<std::size_t> index =
            block.key >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(block.key)) : std::nullopt;
        // The block whole where the chunk in hand holds it, else its header
        // line (held whole by the collection pass) gathered, then the rest.
        std::optional<std::string_view> bytes = stream.whole(block.size);
        std::string_view head = bytes ? *bytes : stream.in_hand().substr(0, static_cast<std::size_t>(block.size));
        std::size_t feed = head.find('\n');
        if (feed == std::string_view::npos && !bytes) {
            header_.clear();
            stream.gather_line(block.size, header_);
            head = header_;
            feed = head.find('\n');
        }
        std::string_view header = head.substr(0, feed);
        if (!header.empty() && header.back() == '\r' && feed != std::string_view::npos) header.remove_suffix(1);
        const std::string_view name = header.substr(0, header.find(' '));
        DuplicateNames::Name* const twice = names_->candidate(name);
        // Kept only where a report needs it: the copy may read on past the
        // chunk that holds it.
        if (twice || !block.closed || !index) name_.assign(name);
        std::uint64_t block_hash = kHashSeed;
        const auto out = [&](std::string_view piece) {
            if (twice) block_hash = hash_bytes(piece, block_hash);
            if (index) outputs_->write_bytes(*index, piece);
        };
        if (!index) place_nowhere(header, name_, input_name, input_text, number, line);
        copy_block(stream, block, bytes, head.data() == header_.data(), header_, out);
        if (!block.closed) {
            if (index) outputs_->write_line(*index, {});
            report_unclosed(input_text, name_, number, line);
        }
        if (twice) report_name_again(*twice, ordinal, block_hash, name_, input, number, line);
        if (index) ++parts_per_key_[*index];
    }
    const std::uint64_t size = maps_[file].file_size();
    if (size < handed) throw_changed(input);
    stream.pass_on(size - handed, ignore);
    if (!stream.at_end()) throw_changed(input);
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
// the place of its file. Where nothing is put on the disk first, each file
// is moved as soon as it is closed, while the next ones are closed.
void SortRun::finish() {
    outputs_->wait();  // a failed write stops the run before the second list file is emptied
    empty_list_file(files_, second_list_);
    outputs_->finish_all();
    stamps_->check_all();
    staging_->commit(
        [&] {
            status_.pump_events();
            progress_.check_stop();
        },
        [&](std::size_t file) {
            // The library files come first, then the two list files.
            if (file < outputs_->size()) outputs_->wait_closed(file);
        });
    outputs_.reset();
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
