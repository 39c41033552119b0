// The summary of a run as one JSON object, for scripts.
#pragma once

#include <filesystem>
#include <string>

#include "check/CheckRun.h"
#include "report/RunResult.h"

namespace marrowgate::cli {

// The text as valid UTF-8: well-formed sequences as they are, every other
// byte as the character of the same number (the byte read as Latin-1).
std::string valid_utf8(const std::string& text);

// The text as a terminal may show it without taking orders from it: every
// control character but the line feed (C0, DEL, and C1 whether well-formed
// UTF-8 or a stray byte) as \x followed by two hex digits of each of its
// bytes ("\x1b" for ESC), as the JSON summary escapes them; everything else
// as it is.
std::string terminal_text(const std::string& text);

// {"ok", "dry_run", "format", "key", "lib_folder", "parts", "parts_written",
// "parts_unplaced", "unplaced_by_reason": {"decal_not_in_library",
// "no_decal_library", "decal_without_pad_count"}, "outputs": [{"file",
// "key", "parts"}], "earlier_files", "warnings": [{"kind", "count", "groups",
// "groups_exact", "first_groups": [{"title", "count", "examples"}]}], "report",
// "error"}
std::string json_summary(const RunResult& result, const std::string& key, const std::filesystem::path& lib,
                         bool dry_run);

// The findings of a check as one JSON object: {"ok", "exit_code", "strict",
// "format", "files", "decal_library", "parts", "decals", "counts": {"error",
// "warning", "information"}, "findings": [{"kind", "severity", "count",
// "groups", "groups_exact", "first_groups": [{"title", "count",
// "examples"}]}], "report"}; a kind's entry is the one the sort's
// "warnings" give, with its severity.
std::string check_json_summary(const CheckResult& result, bool strict, int exit_code);

}  // namespace marrowgate::cli
