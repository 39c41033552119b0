// The summary of a run as one JSON object, for scripts.
#pragma once

#include <filesystem>
#include <string>

#include "library/RunFrame.h"

namespace marrowgate::cli {

// The text as valid UTF-8: well-formed sequences as they are, every other
// byte as the character of the same number (the byte read as Latin-1).
std::string valid_utf8(const std::string& text);

// {"ok", "dry_run", "format", "key", "lib_folder", "parts", "parts_written",
// "parts_unplaced", "unplaced_by_reason": {"decal_not_in_library",
// "no_decal_library", "decal_without_pad_count"}, "outputs": [{"file",
// "key", "parts"}], "earlier_files", "warnings": [{"kind", "count", "groups",
// "groups_exact", "first_groups": [{"title", "count", "examples"}]}], "report",
// "error"}
std::string json_summary(const RunResult& result, const std::string& key, const std::filesystem::path& lib,
                         bool dry_run);

}  // namespace marrowgate::cli
