// The words of a finished run, for every place that shows them: the window's
// box and "Details" (both windows), the command line's summary and the
// report.
#pragma once

#include <filesystem>
#include <string>

#include "library/RunFrame.h"

namespace marrowgate {

// The box a finished run leaves in the window: short enough to fit a small
// screen whatever the run met, the rest left to "Details" and the report.
// Empty when the run left nothing to warn of.
std::string run_box_text(const RunResult& result);

// What a finished run wrote where: every library file with its key and its
// number of parts, in key order, in columns for a fixed-pitch font, and the
// warnings grouped.
std::string run_details_text(const RunResult& result, const std::filesystem::path& lib_folder);

}  // namespace marrowgate
