// The words of a finished run, for every place that shows them: the window's
// box and "Details" (both windows), the command line's summary and the
// report. Each is put together from the same pieces: the headline, the table
// of the files written, and the warnings grouped by kind.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "report/RunResult.h"

namespace marrowgate {

// The box may hold this many lines of at most this many characters: it then
// fits a screen 768 pixels high at 150 %.
inline constexpr std::size_t kBoxLines = 16;
inline constexpr std::size_t kBoxWidth = 110;

// How the run ended, in one or two lines: how many parts were written into
// how many library files, and how many were placed in no file and why; or
// why the run failed or stopped. A dry run says what would be written.
std::vector<std::string> run_headline(const RunResult& result, bool dry_run = false);

// Every library file written with its key and its number of parts, in key
// order (numbers by value: 8 before 14), in columns for a fixed-pitch font,
// each line indented by two spaces; then how many other files lib holds.
std::vector<std::string> output_table(const RunResult& result, bool dry_run = false);

// The warnings grouped by kind: each kind's title, then its first groups,
// about `lines` lines in all, each kind closed with "... and N more" where
// groups are left out. With lines = 0, every kept group.
std::vector<std::string> warning_lines(const RunWarnings& warnings, std::size_t lines = RunWarnings::kSummaryLines);
// The title of a kind, with its counts: "Parts placed in no file (...):".
std::string warning_kind_title(WarningKind kind, const WarningTally& tally);
// One group, indented by two spaces: its title, count and first examples.
std::string group_line(WarningKind kind, const WarningGroup& group);

// What a group of parts placed nowhere says after its decal's name:
// ": not in the decal library"; nothing where no decal library was chosen.
std::string_view unplaced_group_why(Unplaced why);

// `text` cut to `columns` characters, its middle put as "...".
std::string shorten(const std::string& text, std::size_t columns);

// The box a finished run leaves in the window: the headline, the first
// groups of warnings and where the report is, in at most kBoxLines lines of
// at most kBoxWidth characters whatever the run met. Empty when the run left
// nothing to warn of.
std::string run_box_text(const RunResult& result);

// "Details" in the window: the headline, every library file written in
// `lib_folder` with its key and number of parts, the warnings grouped, and
// where the report is.
std::string run_details_text(const RunResult& result, const std::filesystem::path& lib_folder);

// The command line's summary: "Format: ...", the key, the headline, the file
// table, "Warnings (N):" with the groups, and "Report: ..." (not for a dry
// run).
std::string run_summary_text(const RunResult& result, bool dry_run);

// The report's opening: the key, the files read, the format, the headline and
// the file table. (RunReportFile.h adds every group and every warning.)
std::string report_head_text(const RunResult& result);

}  // namespace marrowgate
