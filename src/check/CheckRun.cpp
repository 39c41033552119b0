#include "check/CheckRun.h"

#include <optional>
#include <unordered_map>

#include "check/BlockFields.h"
#include "check/DuplicateBlocks.h"
#include "keys/Hash.h"
#include "report/RunText.h"
#include "sort/DecalIndex.h"
#include "text/LineReader.h"
#include "text/MarkerRule.h"
#include "text/PartHeader.h"

namespace marrowgate {

Severity severity_of(WarningKind kind) {
    switch (kind) {
        case WarningKind::MissingDecal:
        case WarningKind::PinsFirstDecal:
        case WarningKind::DecalOtherPads: return Severity::Error;
        case WarningKind::NameSameButTimestamp:
        case WarningKind::NameIdentical:
        case WarningKind::DecalSamePads:
        case WarningKind::DecalUnused:
        case WarningKind::NotChecked: return Severity::Information;
        default: return Severity::Warning;
    }
}

const char* severity_name(Severity severity) {
    switch (severity) {
        case Severity::Error: return "error";
        case Severity::Warning: return "warning";
        case Severity::Information: return "information";
    }
    return "";
}

namespace {

const char* const kSectionHeadings[kSeverities] = {"Errors", "Warnings", "Information"};
constexpr std::string_view kLineEnd = "\r\n";

// "parts_1.p, part 12 at line 340".
std::string place(const std::string& file_name, long long block, long long line) {
    return file_name + ", part " + with_thousands(block) + " at line " + with_thousands(line);
}

// The hash of a block so far, continued with its next line: a hash of the
// line eight bytes at a time, mixed in so that the order of lines counts.
std::uint64_t with_line(std::uint64_t block, std::string_view line) {
    return (block ^ hash_name(line)) * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull;
}

// A 32-bit hash of one line of a block; every TIMESTAMP line hashes alike,
// so that the first difference named is never the time of export.
std::uint32_t line_print(std::string_view line) {
    if (line.starts_with("TIMESTAMP")) return 0;
    const std::uint64_t hash = hash_name(line);
    return static_cast<std::uint32_t>(hash ^ (hash >> 32)) | 1u;
}

// What the first block of a name met more than once leaves for those after it.
struct FirstBlock {
    std::string place;
    std::uint64_t content = 0;
    std::uint64_t timestamp = 0;
    std::vector<std::uint32_t> lines;  // kept only where the name's blocks differ
};

class Check {
public:
    Check(const CheckInputs& inputs, FileSystem& files, CheckResult& result, const std::function<void()>& stop)
        : inputs_(inputs), files_(files), result_(result), stop_(stop) {}

    void run() {
        result_.inputs = inputs_.part_files;
        result_.decal_library = inputs_.decal_file;
        result_.format = inputs_.format;
        for (auto& found : result_.found) {
            found.set_titles(WarningKind::MissingDecal, "decal ", "");
            found.set_titles(WarningKind::PinsFirstDecal, "decal ", "");
            found.set_titles(WarningKind::PinsAlternateDecal, "decal ", "");
            found.set_titles(WarningKind::NameDiffers, "part ", "");
            found.set_titles(WarningKind::NameSameButTimestamp, "part ", "");
            found.set_titles(WarningKind::NameIdentical, "part ", "");
            found.set_titles(WarningKind::PassedOver, "", "");
        }
        if (!inputs_.decal_file.empty()) load_decals();
        const std::string version = MarkerRule::part_types_any_version().version_of(inputs_.format);
        fields_ = block_fields_known(version);
        for (std::size_t file = 0; file < inputs_.part_files.size(); ++file) first_pass(file);
        if (duplicates_.find()) {
            for (std::size_t file = 0; file < inputs_.part_files.size(); ++file) second_pass(file);
        }
        tell_what_was_left_out(version);
        if (!inputs_.decal_file.empty()) list_unused_decals();
    }

private:
    void load_decals() {
        const std::string path = display_path(inputs_.decal_file);
        DecalEvents events;
        events.without_pad_count = [&](std::string_view name, long long line) {
            result_.add(WarningKind::DecalNoPadCount,
                        path + ", line " + with_thousands(line) + ": the decal header line" +
                            (name.empty() ? std::string() : " of " + std::string(name)) +
                            " has too few fields to hold a pad count (word 9).");
        };
        events.defined_again = [&](std::string_view name, std::string_view first, std::string_view pads,
                                   long long line) {
            if (first != pads) {
                result_.add(WarningKind::DecalOtherPads, path + ", line " + with_thousands(line) + ": the decal " +
                                                             std::string(name) + " is defined again with pad count " +
                                                             std::string(pads) + "; its first definition has " +
                                                             std::string(first) + ".");
            } else {
                result_.add(WarningKind::DecalSamePads, path + ", line " + with_thousands(line) + ": the decal " +
                                                            std::string(name) + " is defined again, with the same pad count " +
                                                            std::string(pads) + ".");
            }
        };
        RunWarnings unused;  // the events take every warning of the load
        decals_.load(files_, inputs_.decal_file, unused, stop_, &events);
        result_.decals = static_cast<long long>(decals_.size());
        named_.assign(decals_.size(), false);
    }

    void first_pass(std::size_t file) {
        const std::filesystem::path& input = inputs_.part_files[file];
        const std::string input_text = display_path(input), input_name = display_path(input.filename());
        LineReader lines(files_, input);
        if (stop_) lines.check_between_chunks(stop_);
        lines.report_stray_lines([&](long long line) {
            result_.add(WarningKind::PassedOver, input_text, with_thousands(line),
                        input_text + ", line " + with_thousands(line));
        });
        PartBlockReader blocks(lines);
        std::string_view view, body;
        for (long long block = 1; blocks.next_header(view); ++block) {
            ++result_.parts;
            const long long line = lines.line_number();
            header_.assign(view);  // the view ends with the next line read
            name_.assign(view.substr(0, view.find(' ')));
            std::optional<BlockFields> fields;
            if (fields_) {
                collapsed_.assign(header_);
                Suppression_Des_Espaces(collapsed_);
                fields.emplace(collapsed_);
            }
            // The block's bytes, every line ended by CR LF, but for the
            // TIMESTAMP line after the header. Where no line is read field by
            // field, the lines after the first go to the hash in bulk, any
            // later TIMESTAMP line with them: the hash then tells more blocks
            // apart, and the second pass classes their names line by line.
            StreamHash content;
            content.add(header_);
            content.add(kLineEnd);
            bool closed = false;
            if (fields) {
                while (lines.next(body)) {
                    if (body.empty()) {
                        closed = true;
                        break;
                    }
                    if (!body.starts_with("TIMESTAMP")) {
                        content.add(body);
                        content.add(kLineEnd);
                    }
                    fields->line(body);
                }
            } else if (lines.next(body)) {
                closed = body.empty();
                if (!closed) {
                    if (!body.starts_with("TIMESTAMP")) {
                        content.add(body);
                        content.add(kLineEnd);
                    }
                    closed = blocks.copy_body([&](std::string_view bytes) { content.add(bytes); });
                }
            }
            duplicates_.add(name_, content.value());
            // Made only for a finding: most parts have none.
            const auto where = [&] { return place(input_name, block, line) + " (" + input_text + ")"; };
            if (!closed)
                result_.add(WarningKind::UnclosedPart, input_text + ": the part " + name_ + " (part " +
                                                           with_thousands(block) + " at line " + with_thousands(line) +
                                                           ") reaches the end of the file without the empty line "
                                                           "that ends a part.");
            std::optional<long long> pins;
            if (fields) {
                pins = fields->pins();
                if (const std::string wrong = fields->count_mismatches(); !wrong.empty())
                    result_.add(WarningKind::HeaderCounts, where() + ": " + name_ + ": " + wrong + ".");
                if (!pins) ++pins_unread_;
            }
            if (!inputs_.decal_file.empty()) check_decals(pins, where);
        }
    }

    // Each decal the header names (word 2, alternates after ':').
    template <class Where>
    void check_decals(const std::optional<long long>& pins, const Where& where) {
        Words<3> words{};
        split_words<3>(header_, words);
        const std::string_view decals = words[2];
        bool first = true;
        for (std::size_t from = 0; from <= decals.size(); first = false) {
            const std::size_t colon = std::min(decals.find(':', from), decals.size());
            const std::string_view decal = decals.substr(from, colon - from);
            from = colon + 1;
            if (decal.empty() && !first) continue;
            if (decal.empty() && decals.empty()) return;  // the header names no decal
            const std::uint32_t position = decals_.position(decal);
            if (position == StringIndex::kNone) {
                if (decals_.passed_over(decal)) continue;  // its header line holds no pad count: told once there
                result_.add(WarningKind::MissingDecal, decal, name_,
                            name_ + " names the decal " + std::string(decal) + (first ? "" : " (an alternate)") +
                                ": " + where());
                continue;
            }
            named_[position] = true;
            if (!pins) continue;
            const std::string& pad_text = decals_.pads_at(position);
            const std::optional<long long> pads = count_field(pad_text);
            if (!pads) {
                ++pads_unread_;
                continue;
            }
            if (*pads == *pins) continue;
            result_.add(first ? WarningKind::PinsFirstDecal : WarningKind::PinsAlternateDecal,
                        std::string(decal) + " (" + pad_text + " pads)", name_ + " (" + std::to_string(*pins) + " pins)",
                        name_ + ": " + std::to_string(*pins) + " pins, its " + (first ? "first" : "alternate") +
                            " decal " + std::string(decal) + " " + pad_text + " pads: " + where());
        }
    }

    // The blocks of the names met twice, read again to class them against
    // the first block of their name.
    void second_pass(std::size_t file) {
        const std::filesystem::path& input = inputs_.part_files[file];
        const std::string input_text = display_path(input), input_name = display_path(input.filename());
        LineReader lines(files_, input);
        if (stop_) lines.check_between_chunks(stop_);
        lines.number_lines();
        PartBlockReader blocks(lines);
        std::string_view view, body;
        for (long long block = 1; blocks.next_header(view); ++block) {
            const std::size_t space = view.find(' ');
            const std::string_view name = view.substr(0, space);
            if (!duplicates_.involved(name)) {
                blocks.skip_body();
                continue;
            }
            const long long line = lines.line_number();
            header_.assign(view);
            name_.assign(name);
            const auto emplaced = firsts_.try_emplace(name_);
            const bool added = emplaced.second;
            FirstBlock& first = emplaced.first->second;
            const bool keep = added && duplicates_.blocks_differ(name_);
            FirstBlock print;
            print.content = with_line(kHashSeed, header_);
            const std::uint32_t header_print = line_print(header_);
            if (keep) print.lines.push_back(header_print);
            std::size_t index = 0;  // of the line in the block, the header 0
            std::optional<std::size_t> differs_at;
            std::string differing_line;
            const auto compare = [&](std::uint32_t line_hash, std::string_view text) {
                if (added || differs_at || first.lines.empty()) return;
                if (index >= first.lines.size() || first.lines[index] != line_hash) {
                    differs_at = index;
                    differing_line = shorten(std::string(text), 60);
                }
            };
            compare(header_print, header_);
            while (lines.next(body)) {
                if (body.empty()) break;
                ++index;
                const std::uint32_t line_hash = line_print(body);
                if (body.starts_with("TIMESTAMP")) print.timestamp = with_line(print.timestamp, body);
                else print.content = with_line(print.content, body);
                if (keep) print.lines.push_back(line_hash);
                compare(line_hash, body);
            }
            const std::string where = place(input_name, block, line);
            if (added) {
                print.place = where;
                first = std::move(print);
                continue;
            }
            const std::string both = name_ + ": " + where + " (" + input_text + "), first met at " + first.place;
            if (print.content != first.content) {
                std::string how = "it differs";
                if (differs_at) how = "first difference at line " + std::to_string(*differs_at + 1) + " of the block: " + differing_line;
                else if (!first.lines.empty()) how = "it ends after line " + std::to_string(index + 1) + " of the block; the first has more lines";
                result_.add(WarningKind::NameDiffers, name_, where + " (" + how + ")", both + "; " + how);
            } else if (print.timestamp != first.timestamp) {
                result_.add(WarningKind::NameSameButTimestamp, name_, where, both + "; only TIMESTAMP differs");
            } else {
                result_.add(WarningKind::NameIdentical, name_, where, both + "; identical");
            }
        }
    }

    void tell_what_was_left_out(const std::string& version) {
        if (!fields_) {
            result_.add(WarningKind::NotChecked,
                        "Pin counts and header counts are not checked for " + (version.empty() ? inputs_.format : version) +
                            " libraries: their gate and pin lines are read field by field for V2007 and V9 only.");
        }
        if (inputs_.decal_file.empty()) {
            result_.add(WarningKind::NotChecked,
                        "No decal library was given (--decal-file): decal names and pin counts are not checked.");
            return;
        }
        if (fields_ && pins_unread_ > 0)
            result_.add(WarningKind::NotChecked,
                        with_thousands(pins_unread_) + (pins_unread_ == 1 ? " part names" : " parts name") +
                            " no pins that can be counted (no GATE or SIGPIN line, or a GATE line whose counts are "
                            "no numbers): not compared with their decals.");
        if (pads_unread_ > 0)
            result_.add(WarningKind::NotChecked,
                        with_thousands(pads_unread_) +
                            " decal references whose pad count is no whole number: pins not compared.");
    }

    void list_unused_decals() {
        const std::string path = display_path(inputs_.decal_file);
        for (std::uint32_t p = 0; p < named_.size(); ++p)
            if (!named_[p]) result_.add(WarningKind::DecalUnused, path + ": " + decals_.name_at(p));
    }

    const CheckInputs& inputs_;
    FileSystem& files_;
    CheckResult& result_;
    const std::function<void()>& stop_;
    DecalIndex decals_;
    std::vector<bool> named_;  // of each decal: a part names it
    DuplicateBlocks duplicates_;
    std::unordered_map<std::string, FirstBlock> firsts_;
    bool fields_ = false;
    long long pins_unread_ = 0;
    long long pads_unread_ = 0;
    std::string header_, collapsed_, name_;
};

}  // namespace

void run_check(const CheckInputs& inputs, FileSystem& files, CheckResult& result, WarningFiles* spill,
               const std::function<void()>& check_stop) {
    for (auto& found : result.found) found.write_to(spill);
    Check(inputs, files, result, check_stop).run();
    for (auto& found : result.found) found.write_to(nullptr);
}

namespace {

std::vector<std::string> read_lines(const CheckResult& result) {
    std::vector<std::string> lines;
    std::string files;
    for (const auto& input : result.inputs) files += (files.empty() ? "" : ", ") + display_path(input);
    lines.push_back("Checked: " + files);
    lines.push_back("Format: " + result.format + "; " + with_thousands(result.parts) +
                    (result.parts == 1 ? " part" : " parts"));
    if (!result.decal_library.empty())
        lines.push_back("Decal library: " + display_path(result.decal_library) + "; " + with_thousands(result.decals) +
                        (result.decals == 1 ? " decal" : " decals"));
    return lines;
}

std::string counts_line(const CheckResult& result) {
    const long long errors = result.count(Severity::Error), warnings = result.count(Severity::Warning),
                    notes = result.count(Severity::Information);
    return "Result: " + with_thousands(errors) + (errors == 1 ? " error, " : " errors, ") + with_thousands(warnings) +
           (warnings == 1 ? " warning, " : " warnings, ") + with_thousands(notes) + " information.";
}

}  // namespace

std::string check_summary_text(const CheckResult& result) {
    std::vector<std::string> lines = read_lines(result);
    lines.push_back(counts_line(result));
    std::size_t sections = 0;
    for (const auto& found : result.found) sections += !found.empty();
    std::size_t left = RunWarnings::kSummaryLines > lines.size() + 2 * sections
                           ? RunWarnings::kSummaryLines - lines.size() - 2 * sections
                           : sections;
    for (std::size_t s = 0; s < kSeverities; ++s) {
        const RunWarnings& found = result.found[s];
        if (found.empty()) continue;
        lines.push_back(std::string(kSectionHeadings[s]) + " (" + with_thousands(found.total()) + "):");
        const std::size_t share = std::max<std::size_t>(left / sections--, 1);
        const std::vector<std::string> shown = warning_lines(found, share);
        for (const auto& line : shown) lines.push_back("  " + line);
        left -= std::min(left, shown.size());
    }
    if (!result.report.empty()) lines.push_back("Report: " + display_path(result.report));
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

std::string check_report_head(const CheckResult& result) {
    std::string text = "Marrowgate check report\n\n";
    text += "Read:\n";
    for (const auto& input : result.inputs) text += "  " + display_path(input) + "\n";
    if (!result.decal_library.empty()) text += "Decal library:\n  " + display_path(result.decal_library) + "\n";
    text += "Format: " + result.format + "\n";
    text += with_thousands(result.parts) + " parts, " + with_thousands(result.decals) + " decals\n\n";
    text += counts_line(result) + "\n";
    return text;
}

std::vector<ReportSection> check_report_sections(CheckResult& result) {
    std::vector<ReportSection> sections;
    for (std::size_t s = 0; s < kSeverities; ++s) sections.push_back({kSectionHeadings[s], &result.found[s]});
    return sections;
}

}  // namespace marrowgate
