#include "cli/JsonSummary.h"

#include <nlohmann/json.hpp>

#include "io/FileSystem.h"

namespace marrowgate::cli {

namespace {

// Length of the well-formed UTF-8 sequence at text[i] (no overlong form, no
// surrogate, nothing beyond U+10FFFF), or 0.
std::size_t utf8_length(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong below U+0800
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong below U+10000
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    }
    if (length == 0 || i + length > text.size() || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((byte(k) & 0xC0) != 0x80) return 0;
    return length;
}

}  // namespace

std::string valid_utf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out += static_cast<char>(byte);
        } else if (const std::size_t length = utf8_length(text, i)) {
            out.append(text, i, length);
            i += length - 1;
        } else {
            // A stray byte: the character of the same number (Latin-1).
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

std::string terminal_text(const std::string& text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    const auto escape = [&](unsigned char byte) {
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if ((byte < 0x20 && byte != '\n') || byte == 0x7F) escape(byte);
            else out += static_cast<char>(byte);
        } else if (const std::size_t length = utf8_length(text, i)) {
            // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
            const bool control = byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
            for (std::size_t k = 0; k < length; ++k) {
                if (control) escape(static_cast<unsigned char>(text[i + k]));
                else out += text[i + k];
            }
            i += length - 1;
        } else if (byte <= 0x9F) {
            escape(byte);  // a stray byte that an 8-bit terminal reads as C1
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

namespace {

const char* const kKindNames[kWarningKinds] = {
    "no_decal_file",          "decal_library",           "unclosed_part",
    "unplaced",               "duplicate_name",          "passed_over",
    "missing_decal",          "pins_first_decal",        "pins_alternate_decal",
    "name_differs",           "name_same_but_timestamp", "name_identical",
    "decal_other_pad_count",  "decal_same_pad_count",    "decal_without_pad_count",
    "decal_unused",           "header_counts",           "not_checked"};

// Each kind met, with its count, its groups and their first examples.
nlohmann::ordered_json warning_kinds_json(const RunWarnings& found, const char* severity = nullptr) {
    using nlohmann::ordered_json;
    ordered_json kinds = ordered_json::array();
    for (std::size_t k = 0; k < kWarningKinds; ++k) {
        const WarningTally& tally = found.of(static_cast<WarningKind>(k));
        if (tally.count == 0) continue;
        ordered_json groups = ordered_json::array();
        for (const auto& group : tally.kept) {
            ordered_json examples = ordered_json::array();
            for (const auto& example : group.examples) examples.push_back(valid_utf8(example));
            groups.push_back(
                {{"title", valid_utf8(group.title)}, {"count", group.count}, {"examples", std::move(examples)}});
        }
        ordered_json kind = {{"kind", kKindNames[k]}};
        if (severity) kind["severity"] = severity;
        kind["count"] = tally.count;
        kind["groups"] = tally.groups;
        kind["groups_exact"] = tally.groups_exact;
        kind["first_groups"] = std::move(groups);
        kinds.push_back(std::move(kind));
    }
    return kinds;
}

}  // namespace

std::string json_summary(const RunResult& result, const std::string& key, const std::filesystem::path& lib,
                         bool dry_run) {
    using nlohmann::ordered_json;
    const auto text = [](const std::string& value) { return valid_utf8(value); };
    ordered_json out = {{"ok", result.ok},
                        {"dry_run", dry_run},
                        {"format", text(result.format)},
                        {"key", text(key)},
                        {"lib_folder", text(display_path(lib))},
                        {"parts", result.parts},
                        {"parts_written", result.parts_written}};
    // The parts placed in no file, by why.
    long long unplaced = 0;
    for (const long long count : result.unplaced) unplaced += count;
    out["parts_unplaced"] = unplaced;
    out["unplaced_by_reason"] = {
        {"decal_not_in_library", result.unplaced[static_cast<std::size_t>(Unplaced::DecalNotInLibrary)]},
        {"no_decal_library", result.unplaced[static_cast<std::size_t>(Unplaced::NoDecalLibrary)]},
        {"decal_without_pad_count", result.unplaced[static_cast<std::size_t>(Unplaced::DecalWithoutPadCount)]}};
    ordered_json& outputs = out["outputs"] = ordered_json::array();
    for (const auto& output : result.outputs)
        outputs.push_back({{"file", text(display_path(output.file))}, {"key", text(output.key)}, {"parts", output.parts}});
    out["earlier_files"] = result.earlier_files;
    // The warnings by kind, each kind's groups with their counts and first
    // examples; the report file holds every one.
    out["warnings"] = warning_kinds_json(result.warnings);
    out["report"] = result.warnings.report.empty() || dry_run ? ordered_json() : ordered_json(text(display_path(result.warnings.report)));
    if (!result.ok) out["error"] = text(result.error);
    return out.dump() + "\n";
}

std::string check_json_summary(const CheckResult& result, bool strict, int exit_code) {
    using nlohmann::ordered_json;
    ordered_json files = ordered_json::array();
    for (const auto& input : result.inputs) files.push_back(valid_utf8(display_path(input)));
    ordered_json out = {{"ok", exit_code == 0},
                        {"exit_code", exit_code},
                        {"strict", strict},
                        {"format", valid_utf8(result.format)},
                        {"files", std::move(files)},
                        {"decal_library", result.decal_library.empty()
                                              ? ordered_json()
                                              : ordered_json(valid_utf8(display_path(result.decal_library)))},
                        {"parts", result.parts},
                        {"decals", result.decals}};
    ordered_json& counts = out["counts"] = ordered_json::object();
    ordered_json& findings = out["findings"] = ordered_json::array();
    for (std::size_t s = 0; s < kSeverities; ++s) {
        const auto severity = static_cast<Severity>(s);
        counts[severity_name(severity)] = result.count(severity);
        for (auto& kind : warning_kinds_json(result.found[s], severity_name(severity))) findings.push_back(std::move(kind));
    }
    out["report"] = result.report.empty() ? ordered_json() : ordered_json(valid_utf8(display_path(result.report)));
    return out.dump() + "\n";
}

}  // namespace marrowgate::cli
