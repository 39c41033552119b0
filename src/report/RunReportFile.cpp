#include "report/RunReportFile.h"

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "report/RunText.h"
#include "report/SpilledGroups.h"
#include "workspace/Folders.h"
#include "workspace/Staging.h"

namespace marrowgate {

namespace {

// The report, written a piece at a time.
class ReportOut {
public:
    explicit ReportOut(std::unique_ptr<OutputFile> out) : out_(std::move(out)) {}
    void text(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= kPiece) flush();
    }
    void line(std::string_view line) {
        text(line);
        text("\n");
    }
    void close() {
        flush();
        out_->close();
    }

private:
    static constexpr std::size_t kPiece = std::size_t{64} << 10;
    void flush() {
        out_->write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    std::unique_ptr<OutputFile> out_;
    std::string buffer_;
};

// Every group of every kind: those kept in memory, then those worked out
// from the warnings on disk; then every warning of the kinds that group
// them, one a line (a warning of any other kind is listed as its group).
void write_warnings(const std::string& heading, const RunWarnings& found, WarningFiles& warnings,
                    std::array<std::optional<SpilledGroups>, kWarningKinds>& spilled, ReportOut& out) {
    out.line("");
    out.line(heading + " (" + with_thousands(found.total()) + "):");
    for (std::size_t k = 0; k < kWarningKinds; ++k) {
        const auto kind = static_cast<WarningKind>(k);
        const WarningTally& tally = found.of(kind);
        if (tally.count == 0) continue;
        out.line(warning_kind_title(kind, tally));
        for (const auto& group : tally.kept) out.line(group_line(kind, group));
        if (spilled[k]) {
            spilled[k]->each([&](const WarningGroup& group) { out.line(group_line(kind, group)); });
        } else if (!warnings_grouped(kind) && tally.count > static_cast<long long>(tally.kept.size())) {
            std::size_t met = 0;
            warnings.replay(kind, [&](std::string_view, std::string_view, std::string_view line) {
                if (met++ >= tally.kept.size()) out.line("  " + std::string(line));
            });
        }
    }
    bool headed = false;
    for (std::size_t k = 0; k < kWarningKinds; ++k) {
        const auto kind = static_cast<WarningKind>(k);
        const WarningTally& tally = found.of(kind);
        if (tally.count == 0 || !warnings_grouped(kind)) continue;
        if (!headed) {
            out.line("");
            out.line(heading == "Warnings" ? std::string("Every warning of those groups, in the order met:")
                                           : "Every one of those groups, in the order met:");
            headed = true;
        }
        out.line("");
        out.line(warning_kind_title(kind, tally));
        warnings.replay(kind, [&](std::string_view, std::string_view, std::string_view line) { out.line(line); });
    }
}

// The groups memory did not keep, worked out from the warnings on disk, so
// that every count the report and the summaries give is exact.
void work_out_spilled(RunWarnings& found, WarningFiles& warnings,
                      std::array<std::optional<SpilledGroups>, kWarningKinds>& spilled) {
    for (std::size_t k = 0; k < kWarningKinds; ++k) {
        const auto kind = static_cast<WarningKind>(k);
        const WarningTally& tally = found.of(kind);
        if (tally.groups_exact) continue;
        spilled[k].emplace(found, warnings, kind);
        found.set_groups(kind, static_cast<long long>(tally.kept.size()) + spilled[k]->count());
    }
}

}  // namespace

void write_sections_report(FileSystem& files, const std::filesystem::path& target, const std::string& head,
                           const std::vector<ReportSection>& sections, WarningFiles& warnings) {
    std::array<std::optional<SpilledGroups>, kWarningKinds> spilled;
    for (const auto& section : sections) work_out_spilled(*section.found, warnings, spilled);
    ReportOut out(files.open_write(target, WriteMode::Truncate));
    out.text(head);
    for (const auto& section : sections)
        if (!section.found->empty()) write_warnings(section.heading, *section.found, warnings, spilled, out);
    out.close();
}

void write_report(const RunFolders& folders, RunResult& result, FileSystem& files, WarningFiles* warnings,
                  Staging* staging) {
    const auto target = run_report_path(folders.application);
    // Never opened where it stands (it may be another file's second name):
    // written in the run's folder of new files and moved into its place.
    if (!staging) {
        result.warnings.report_error = display_path(target) +
                                       ": the run ended before it had a folder of its own to write the report in";
        return;
    }
    try {
        // The groups memory did not keep come first, so that every count
        // the report and the summaries give is exact.
        std::array<std::optional<SpilledGroups>, kWarningKinds> spilled;
        if (warnings) work_out_spilled(result.warnings, *warnings, spilled);
        staging->abandon();  // the run's own files are in place, or never will be
        ReportOut out(files.open_write(staging->add(target), WriteMode::Truncate));
        out.text(report_head_text(result));
        if (warnings && !result.warnings.empty()) {
            write_warnings("Warnings", result.warnings, *warnings, spilled, out);
        } else if (!result.warnings.empty()) {
            out.line("");
            out.line("Warnings (" + with_thousands(result.warnings.total()) + "):");
            for (const auto& line : warning_lines(result.warnings, 0)) out.line(line);
        }
        out.close();
        staging->commit([] {});
        result.warnings.report = target;
    } catch (const std::exception& error) {
        result.warnings.report_error = staging->describe(error);
    }
}

long long earlier_files(const RunFolders& folders, FileSystem& files, const std::vector<OutputSummary>& outputs) {
    const std::filesystem::path& lib = folders.lib;
    // Where the folder ignores case, LIB_a.p was written over a file LIB_A.p.
    const bool ignore_case = lib_folder_ignores_case(folders, files);
    const auto fold = [ignore_case](const std::filesystem::path& name) {
        const std::string text = display_path(name);
        return ignore_case ? ascii_lower(text) : text;
    };
    std::vector<std::string> written;
    for (const auto& output : outputs) written.push_back(fold(output.file.filename()));
    std::sort(written.begin(), written.end());
    long long count = 0;
    for (const auto& name : files.names_in(lib).value_or(std::vector<std::filesystem::path>())) {
        if (std::binary_search(written.begin(), written.end(), fold(name))) continue;
        if (name == run_lock_path(lib).filename()) continue;  // held by every run
        const auto kind = files.status(lib / name, false).kind;
        count += kind == FileEntry::Kind::File || kind == FileEntry::Kind::Link;
    }
    return count;
}

std::filesystem::path run_report_path(const std::filesystem::path& application_folder) {
    return application_folder / "marrowgate-report.txt";
}

}  // namespace marrowgate
