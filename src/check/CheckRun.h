// The check of part-type libraries against each other and against their
// decal library: decals they name that the library lacks, pin counts against
// pad counts, names met more than once, the decal library's own faults and
// the structure of the blocks. It writes nothing but its report; its
// findings are kept and shown as a run's warnings are (RunWarnings), in three
// sections by severity.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "io/FileSystem.h"
#include "report/RunReportFile.h"
#include "report/RunWarnings.h"

namespace marrowgate {

enum class Severity { Error = 0, Warning = 1, Information = 2 };
inline constexpr std::size_t kSeverities = 3;

Severity severity_of(WarningKind kind);
// "error", "warning", "information".
const char* severity_name(Severity severity);

struct CheckInputs {
    std::vector<std::filesystem::path> part_files;
    std::filesystem::path decal_file;  // empty where none was given
    std::string format;                // the marker line the part-type files carry
};

struct CheckResult {
    std::vector<std::filesystem::path> inputs;
    std::filesystem::path decal_library;
    std::string format;
    long long parts = 0;
    long long decals = 0;  // distinct decal names with a pad count
    std::array<RunWarnings, kSeverities> found;
    std::filesystem::path report;  // once written

    RunWarnings& of(Severity severity) { return found[static_cast<std::size_t>(severity)]; }
    const RunWarnings& of(Severity severity) const { return found[static_cast<std::size_t>(severity)]; }
    long long count(Severity severity) const { return of(severity).total(); }
    void add(WarningKind kind, std::string_view text) { of(severity_of(kind)).add(kind, text); }
    void add(WarningKind kind, std::string_view group, std::string_view example, std::string_view line) {
        of(severity_of(kind)).add(kind, group, example, line);
    }
};

// Reads the decal library once, then each part-type file once; where names
// are met more than once, the blocks of those names once more. With
// `spill`, every finding is kept there too, for the report. `check_stop` is
// called between chunks (it may throw). Throws FileError where a file cannot
// be read and RunError where a decal header line cannot be held.
void run_check(const CheckInputs& inputs, FileSystem& files, CheckResult& result, WarningFiles* spill,
               const std::function<void()>& check_stop = {});

// About RunWarnings::kSummaryLines lines: what was read, then the findings
// of each severity, grouped.
std::string check_summary_text(const CheckResult& result);
// The report: what was read and the counts; write_sections_report adds
// every group and every finding.
std::string check_report_head(const CheckResult& result);
std::vector<ReportSection> check_report_sections(CheckResult& result);

}  // namespace marrowgate
