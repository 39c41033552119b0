// The frame every sort run follows: status start, a collection pass that
// gathers the distinct keys, a creation pass that starts one output library
// file per key, a copy pass that appends every part block to the file of its
// key, a closing pass that ends every file with "*END*", and status end.
#pragma once

#include <filesystem>
#include <string>

#include "io/FileSystem.h"
#include "report/RunResult.h"
#include "run/KeyRule.h"
#include "run/RunPlan.h"
#include "run/StatusDisplay.h"

namespace marrowgate {

struct Module1;

// Runs the frame. Failures are returned in the result, never thrown; the
// hourglass is released whatever happens. The run holds the locks of the
// application folder, lib and tmp throughout (links followed: two
// application folders that share a lib exclude each other), writes its
// files in folders of its own and puts them in place only when all are
// complete and on the disk: a run that does not finish changes no file.
RunResult run_frame(Module1& state, KeyRule& rule, StatusDisplay& status, FileSystem& files);

// The marker line of a run's outputs: the one marker of the listed files (V4
// where none was found). Throws RunError naming each file and its marker when
// they differ: one library file cannot hold two formats.
std::string run_format(const RunPlan& plan);
std::string run_format(const Module1& state);

}  // namespace marrowgate
