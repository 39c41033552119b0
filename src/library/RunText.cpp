#include "library/RunText.h"

#include <algorithm>
#include <vector>

namespace marrowgate {

namespace {

std::string report_line(const RunResult& result) {
    if (!result.warnings.report.empty()) return "\n\nThe report of the run: " + display_path(result.warnings.report);
    if (!result.warnings.report_error.empty())
        return "\n\nThe report could not be written: " + result.warnings.report_error;
    return {};
}

std::string summary_text(const RunResult& result) {
    std::string text;
    for (const auto& line : result.warnings.summary()) text += "\n" + line;
    return text;
}

// Keys in order, numbers (pad counts) by their value: 8 before 14.
bool key_before(const std::string& a, const std::string& b) {
    const auto is_number = [](const std::string& key) {
        return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (is_number(a) && is_number(b) && a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

// Characters of UTF-8 text, for columns that line up.
std::size_t width(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string left(const std::string& text, std::size_t columns) {
    return text + std::string(columns > width(text) ? columns - width(text) : 0, ' ');
}

std::string right(const std::string& text, std::size_t columns) {
    return std::string(columns > width(text) ? columns - width(text) : 0, ' ') + text;
}

}  // namespace

std::string run_box_text(const RunResult& result) {
    const long long count = result.warnings.total();
    if (count == 0) return {};
    std::string text = count == 1 ? "The run finished with a warning:\n"
                                  : "The run finished with " + with_thousands(count) + " warnings:\n";
    return text + summary_text(result) + report_line(result);
}

std::string run_details_text(const RunResult& result, const std::filesystem::path& lib_folder) {
    const std::string lib = display_path(lib_folder);
    std::string text = with_thousands(result.parts) + " part(s) read; library files written in " + lib + ":\n\n";
    std::vector<const OutputSummary*> outputs;
    for (const auto& output : result.outputs) outputs.push_back(&output);
    std::stable_sort(outputs.begin(), outputs.end(),
                     [](const OutputSummary* a, const OutputSummary* b) { return key_before(a->key, b->key); });
    std::size_t name_width = 0, key_width = 0, count_width = 0;
    for (const OutputSummary* output : outputs) {
        name_width = std::max(name_width, width(display_path(output->file.filename())));
        key_width = std::max(key_width, width(output->key) + 2);
        count_width = std::max(count_width, with_thousands(output->blocks).size());
    }
    for (const OutputSummary* output : outputs) {
        text += "  " + left(display_path(output->file.filename()), name_width) + "   key " +
                left("\"" + output->key + "\"", key_width) + "   " +
                right(with_thousands(output->blocks), count_width) + " part(s)\n";
    }
    if (result.outputs.empty()) text += "  (none)\n";
    if (result.earlier_files > 0)
        text += "  (" + with_thousands(result.earlier_files) + " other files in " + lib +
                " were not written by this run)\n";
    if (!result.warnings.empty()) {
        text += "\nWarnings (" + with_thousands(result.warnings.total()) + "):";
        text += summary_text(result) + "\n";
    }
    const std::string report = report_line(result);
    text += report.empty() ? report : report.substr(1);
    return text;
}

}  // namespace marrowgate
