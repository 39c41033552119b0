// The report every run that held the application folder leaves there: what
// it read, how it ended, every group of warnings, then every warning.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "io/FileSystem.h"
#include "report/RunResult.h"
#include "workspace/Folders.h"

namespace marrowgate {

class Staging;

// Writes the report of `result` in the run's folder of new files and puts it
// in place in one step; without such a folder it writes none. A failure is
// kept in the result's report_error; the run stays as it ended.
void write_report(const RunFolders& folders, RunResult& result, FileSystem& files, WarningFiles* warnings,
                  Staging* staging);

// A report of findings in sections ("Errors", "Warnings", ...): `head`, then
// each section's groups and every one of its findings, as write_report
// writes a run's warnings, straight into `target`. The groups memory did not
// keep are worked out from `warnings` first. Throws FileError.
struct ReportSection {
    std::string heading;
    RunWarnings* found;
};
void write_sections_report(FileSystem& files, const std::filesystem::path& target, const std::string& head,
                           const std::vector<ReportSection>& sections, WarningFiles& warnings);

// The files of lib that the run writing `outputs` did not write.
long long earlier_files(const RunFolders& folders, FileSystem& files, const std::vector<OutputSummary>& outputs);

// The report every run leaves in the application folder: what it read, how
// it ended, and every warning.
std::filesystem::path run_report_path(const std::filesystem::path& application_folder);

}  // namespace marrowgate
