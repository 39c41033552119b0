#include "run/FirstPass.h"

#include <optional>
#include <string>
#include <vector>

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
    // At the end of the file.
    void finish() {
        if (stray_) map_.give_up();
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
        recorder.finish();
    }
}

}  // namespace marrowgate
