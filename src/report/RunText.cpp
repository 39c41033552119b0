#include "report/RunText.h"

#include <algorithm>
#include <cctype>
#include <numeric>

#include "io/FileSystem.h"

namespace marrowgate {

namespace {

// "1 part", "2 parts".
std::string count_of(long long count, const std::string& noun) {
    return with_thousands(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string noun(WarningKind kind, long long count) {
    switch (kind) {
        case WarningKind::DuplicateName:
        case WarningKind::NameDiffers:
        case WarningKind::NameSameButTimestamp:
        case WarningKind::NameIdentical: return count_of(count, "block");
        case WarningKind::PassedOver: return count_of(count, "line");
        default: return count_of(count, "part");
    }
}

// Keys in order, numbers (pad counts) by their value: 8 before 14.
bool key_before(const std::string& a, const std::string& b) {
    const auto is_number = [](const std::string& key) {
        return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (is_number(a) && is_number(b) && a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

// The start of each character of UTF-8 text, and its end.
std::vector<std::size_t> characters(const std::string& text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    starts.push_back(text.size());
    return starts;
}

std::size_t width(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

// The parts placed in no file, with why, in words: "their decal is not in the
// decal library (3 decals)".
std::string why_unplaced(const RunResult& result) {
    const auto decals = [&] {
        const WarningTally& tally = result.warnings.of(WarningKind::Unplaced);
        return (tally.groups_exact ? "" : "more than ") + count_of(tally.groups, "decal");
    };
    const long long total = std::accumulate(result.unplaced.begin(), result.unplaced.end(), 0LL);
    std::vector<std::string> reasons;
    for (std::size_t r = 0; r < kUnplacedReasons; ++r) {
        const long long count = result.unplaced[r];
        if (count == 0) continue;
        const bool all = count == total;
        switch (static_cast<Unplaced>(r)) {
            case Unplaced::DecalNotInLibrary:
                reasons.push_back(all ? std::string(count == 1 ? "its" : "their") +
                                            " decal is not in the decal library (" + decals() + ")"
                                      : with_thousands(count) + " whose decal is not in the decal library");
                break;
            case Unplaced::NoDecalLibrary:
                reasons.push_back(all ? std::string("no decal library was chosen, and the pad count needs one")
                                      : with_thousands(count) + " as no decal library was chosen");
                break;
            case Unplaced::DecalWithoutPadCount:
                reasons.push_back(all ? std::string(count == 1 ? "its" : "their") +
                                            " decal's header line in the decal library holds no pad count (" +
                                            decals() + ")"
                                      : with_thousands(count) +
                                            " whose decal's header line in the decal library holds no pad count");
                break;
        }
    }
    std::string text;
    for (const auto& reason : reasons) text += (text.empty() ? "" : "; ") + reason;
    return text;
}

std::string report_place(const RunResult& result) {
    if (!result.warnings.report.empty()) return display_path(result.warnings.report);
    return {};
}

}  // namespace

// --- the pieces ------------------------------------------------------------

std::vector<std::string> run_headline(const RunResult& result, bool dry_run) {
    switch (result.outcome) {
        case RunResult::Outcome::Done: break;
        case RunResult::Outcome::Failed: return {"The run failed: " + result.error};
        default: return {result.error};
    }
    const long long unplaced = std::accumulate(result.unplaced.begin(), result.unplaced.end(), 0LL);
    const std::string verb = dry_run ? "Would write " : "Wrote ";
    const std::string into = count_of(static_cast<long long>(result.outputs.size()), "library file") + " in " +
                             display_path(result.lib_folder) + ".";
    std::vector<std::string> lines;
    if (result.parts == 0) {
        lines.push_back(std::string("The files hold no part: no library file ") + (dry_run ? "would be" : "was") +
                        " written.");
    } else if (result.parts_written == 0) {
        lines.push_back(verb + "no library file: " +
                        (result.parts == 1 ? std::string("the one part read could not be placed.")
                                           : "none of the " + count_of(result.parts, "part") + " read could be placed."));
    } else if (unplaced == 0) {
        lines.push_back(verb + count_of(result.parts, "part") + " into " + into);
    } else {
        lines.push_back(verb + with_thousands(result.parts_written) + " of " + count_of(result.parts, "part") +
                        " into " + into);
    }
    if (unplaced > 0) {
        lines.push_back(count_of(unplaced, "part") + (dry_run ? " would be" : unplaced == 1 ? " was" : " were") +
                        " placed in no file: " + why_unplaced(result) + ".");
    }
    return lines;
}

std::string_view unplaced_group_why(Unplaced why) {
    switch (why) {
        case Unplaced::DecalNotInLibrary: return ": not in the decal library";
        case Unplaced::NoDecalLibrary: return "";
        case Unplaced::DecalWithoutPadCount: return ": its header line in the decal library holds no pad count";
    }
    return "";
}

std::vector<std::string> output_table(const RunResult& result, bool dry_run) {
    struct Row {
        std::string name, count;
        std::size_t name_width, key_width;
        const OutputSummary* output;
    };
    std::vector<Row> rows;
    rows.reserve(result.outputs.size());
    std::size_t name_width = 0, key_width = 0, count_width = 0;
    for (const auto& output : result.outputs) {
        Row row{display_path(output.file.filename()), with_thousands(output.parts), 0, width(output.key) + 2, &output};
        row.name_width = width(row.name);
        name_width = std::max(name_width, row.name_width);
        key_width = std::max(key_width, row.key_width);
        count_width = std::max(count_width, row.count.size());
        rows.push_back(std::move(row));
    }
    std::vector<const Row*> order;
    for (const Row& row : rows) order.push_back(&row);
    std::stable_sort(order.begin(), order.end(),
                     [](const Row* a, const Row* b) { return key_before(a->output->key, b->output->key); });
    std::vector<std::string> lines;
    for (const Row* row : order) {
        std::string line = "  ";
        line.append(row->name).append(name_width - row->name_width + 3, ' ').append("key \"");
        line.append(row->output->key).append("\"").append(key_width - row->key_width + 3, ' ');
        line.append(count_width - row->count.size(), ' ').append(row->count);
        line.append(row->output->parts == 1 ? " part" : " parts");
        lines.push_back(std::move(line));
    }
    if (rows.empty()) lines.push_back("  (no library file)");
    if (result.earlier_files > 0)
        lines.push_back("  (" + with_thousands(result.earlier_files) + " other files in " +
                        display_path(result.lib_folder) + (dry_run ? " would not be" : " were not") +
                        " written by this run)");
    return lines;
}

namespace {

// "Decals not in the decal library (2 decals, 3 parts):".
std::string grouped(const std::string& what, WarningKind kind, const WarningTally& tally, const std::string& unit,
                    const std::string& after) {
    const std::string groups = (tally.groups_exact ? "" : "more than ") + count_of(tally.groups, unit);
    return what + " (" + groups + ", " + noun(kind, tally.count) + after + "):";
}

}  // namespace

std::string warning_kind_title(WarningKind kind, const WarningTally& tally) {
    const std::string count = with_thousands(tally.count);
    const std::string groups = (tally.groups_exact ? "" : "more than ") + with_thousands(tally.groups);
    const bool one = tally.groups == 1 && tally.groups_exact;
    switch (kind) {
        case WarningKind::NoDecalFile: return "No decal library:";
        case WarningKind::DecalLibrary: return "The decal library (" + count + "):";
        case WarningKind::UnclosedPart: return "Parts without the empty line that ends a part (" + count + "):";
        case WarningKind::Unplaced:
            return "Parts placed in no file (" + noun(kind, tally.count) + ", " + groups + (one ? " decal" : " decals") +
                   "):";
        case WarningKind::DuplicateName:
            return "Part names met more than once (" + groups + (one ? " name, " : " names, ") +
                   noun(kind, tally.count) + "):";
        case WarningKind::PassedOver:
            return "Lines outside any part block, passed over (" + noun(kind, tally.count) + " in " + groups +
                   (one ? " file" : " files") + "):";
        case WarningKind::MissingDecal: return grouped("Decals not in the decal library", kind, tally, "decal", "");
        case WarningKind::PinsFirstDecal:
            return grouped("Pin counts other than the first decal's pad count", kind, tally, "decal", "");
        case WarningKind::PinsAlternateDecal:
            return grouped("Pin counts other than an alternate decal's pad count", kind, tally, "decal", "");
        case WarningKind::NameDiffers:
            return grouped("Part names met more than once with other blocks", kind, tally, "name", " after the first");
        case WarningKind::NameSameButTimestamp:
            return grouped("Part names met more than once, the blocks the same but for TIMESTAMP", kind, tally, "name",
                           " after the first");
        case WarningKind::NameIdentical:
            return grouped("Part names met more than once with identical blocks", kind, tally, "name", " after the first");
        case WarningKind::DecalOtherPads: return "Decals defined again with another pad count (" + count + "):";
        case WarningKind::DecalSamePads: return "Decals defined again with the same pad count (" + count + "):";
        case WarningKind::DecalNoPadCount: return "Decal header lines without a pad count (" + count + "):";
        case WarningKind::DecalUnused: return "Decals no part names (" + count + "):";
        case WarningKind::HeaderCounts:
            return "Part headers whose counts disagree with their blocks (" + count + "):";
        case WarningKind::NotChecked: return "Checks left out (" + count + "):";
    }
    return {};
}

std::string group_line(WarningKind kind, const WarningGroup& group) {
    std::string line = "  " + group.title;
    if (group.examples.empty()) return line;
    line += ", " + noun(kind, group.count) + ": ";
    for (std::size_t i = 0; i < group.examples.size(); ++i) line += (i ? ", " : "") + group.examples[i];
    if (group.count > static_cast<long long>(group.examples.size())) line += ", ...";
    return line;
}

std::vector<std::string> warning_lines(const RunWarnings& warnings, std::size_t lines) {
    std::vector<std::string> out;
    std::size_t kinds = 0;
    for (std::size_t k = 0; k < kWarningKinds; ++k) kinds += warnings.of(static_cast<WarningKind>(k)).count > 0;
    // Each kind its title; the lines left are shared among the kinds in
    // turn, a kind's unused share going to those after it.
    std::size_t left = lines > kinds ? lines - kinds : 0;
    for (std::size_t k = 0; k < kWarningKinds; ++k) {
        const auto kind = static_cast<WarningKind>(k);
        const WarningTally& tally = warnings.of(kind);
        if (tally.count == 0) continue;
        out.push_back(warning_kind_title(kind, tally));
        const std::size_t share = lines == 0 ? tally.kept.size() : left / kinds--;
        const bool whole = tally.groups_exact && tally.groups == static_cast<long long>(tally.kept.size()) &&
                           tally.kept.size() <= share;
        // Without a limit every kept group is shown, then what was not kept;
        // within one, the last line says how many more.
        const std::size_t shown =
            whole || lines == 0 ? tally.kept.size() : std::min(tally.kept.size(), share > 0 ? share - 1 : 0);
        long long shown_count = 0;
        for (std::size_t g = 0; g < shown; ++g) {
            out.push_back(group_line(kind, tally.kept[g]));
            shown_count += tally.kept[g].count;
        }
        if (!whole) {
            out.push_back("  ... and " +
                          (tally.groups_exact ? with_thousands(tally.groups - static_cast<long long>(shown))
                                              : noun(kind, tally.count - shown_count)) +
                          " more");
        }
        left -= std::min(left, shown + (whole ? 0 : 1));
    }
    return out;
}

std::string shorten(const std::string& text, std::size_t columns) {
    const std::vector<std::size_t> at = characters(text);
    const std::size_t count = at.size() - 1;
    if (count <= columns || columns < 5) return text;
    const std::size_t kept = columns - 3;
    const std::size_t head = kept - kept / 3;
    return text.substr(0, at[head]) + "..." + text.substr(at[count - (kept - head)]);
}

// --- what each front end shows -----------------------------------------------

std::string run_box_text(const RunResult& result) {
    const long long count = result.warnings.total();
    if (count == 0) return {};
    std::vector<std::string> lines = run_headline(result);
    lines.push_back("");
    lines.push_back("Warnings (" + with_thousands(count) + "):");
    std::vector<std::string> closing = {""};
    if (const std::string report = report_place(result); !report.empty()) {
        closing.push_back("\"Details\" lists every file written; the report, every warning:");
        closing.push_back(report);
    } else if (!result.warnings.report_error.empty()) {
        closing.push_back("The report could not be written: " + result.warnings.report_error);
    }
    const std::size_t used = lines.size() + closing.size();
    for (auto& line : warning_lines(result.warnings, kBoxLines > used ? kBoxLines - used : 0))
        lines.push_back(std::move(line));
    lines.insert(lines.end(), closing.begin(), closing.end());
    std::string text;
    for (const auto& line : lines) {
        if (!text.empty()) text += '\n';
        text += shorten(line, kBoxWidth);
    }
    return text;
}

std::string run_details_text(const RunResult& result, const std::filesystem::path& lib_folder) {
    std::vector<std::string> lines = run_headline(result);
    lines.push_back("");
    lines.push_back("Library files written in " + display_path(lib_folder) + ":");
    for (auto& line : output_table(result)) lines.push_back(std::move(line));
    if (!result.warnings.empty()) {
        lines.push_back("");
        lines.push_back("Warnings (" + with_thousands(result.warnings.total()) + "):");
        for (auto& line : warning_lines(result.warnings)) lines.push_back(std::move(line));
    }
    if (const std::string report = report_place(result); !report.empty()) {
        lines.push_back("");
        lines.push_back("The report of the run, with every warning: " + report);
    } else if (!result.warnings.report_error.empty()) {
        lines.push_back("");
        lines.push_back("The report could not be written: " + result.warnings.report_error);
    }
    return joined(lines);
}

std::string run_summary_text(const RunResult& result, bool dry_run) {
    std::vector<std::string> lines = {"Format: " + result.format, "Key: " + result.key + " (" + result.key_title + ")"};
    std::vector<std::string> headline = run_headline(result, dry_run);
    if (dry_run) {
        headline.front()[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(headline.front()[0])));
        headline.front() = "Dry run, nothing written: " + headline.front();
    }
    lines.insert(lines.end(), headline.begin(), headline.end());
    for (auto& line : output_table(result, dry_run)) lines.push_back(std::move(line));
    if (!result.warnings.empty()) {
        lines.push_back("Warnings (" + with_thousands(result.warnings.total()) + "):");
        for (const auto& line : warning_lines(result.warnings)) lines.push_back("  " + line);
    }
    if (!dry_run) {
        if (const std::string report = report_place(result); !report.empty()) lines.push_back("Report: " + report);
        if (!result.warnings.report_error.empty())
            lines.push_back("The report could not be written: " + result.warnings.report_error);
    }
    return joined(lines);
}

std::string report_head_text(const RunResult& result) {
    std::vector<std::string> lines = {"Marrowgate run report", "", "Key: " + result.key_title + " (--sort " + result.key + ")",
                                      "Read:"};
    for (const auto& input : result.inputs) lines.push_back("  " + display_path(input));
    if (!result.decal_library.empty()) {
        lines.push_back("Decal library:");
        lines.push_back("  " + display_path(result.decal_library));
    }
    if (!result.format.empty()) lines.push_back("Format: " + result.format);
    lines.push_back("");
    for (auto& line : run_headline(result)) lines.push_back(std::move(line));
    if (result.outcome == RunResult::Outcome::Done) {
        lines.push_back("");
        lines.push_back("Library files written (" + with_thousands(static_cast<long long>(result.outputs.size())) +
                        "):");
        for (auto& line : output_table(result)) lines.push_back(std::move(line));
    }
    return joined(lines);
}

}  // namespace marrowgate
