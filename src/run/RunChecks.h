// What a run checks before it writes and before it puts its files in place:
// names that fit, inputs that are none of the files it removes, replaces or
// writes, inputs that did not change between the passes.
#pragma once

#include <filesystem>
#include <vector>

#include "io/FileSystem.h"
#include "run/RunPlan.h"

namespace marrowgate {

// A key too long for a file name stops the run before anything is written.
void check_names_fit(const std::vector<std::filesystem::path>& targets);

// A run never overwrites or empties one of its own inputs: no output may be
// the file of an input, by its own name or through a link. Throws
// InputRefused.
void check_inputs_survive(const RunPlan& plan, const std::vector<std::filesystem::path>& targets, FileSystem& files);

// Nor is an input any other file a run of the plan's rule removes, replaces or writes:
// the lock files of the application folder, lib and tmp, the report, the
// list files, or anything in a folder of new files a stopped run left there.
// Files compare by identity: a link to one of them, or a path through a
// linked folder, is refused too. Throws InputRefused naming both, before the
// run writes anything or removes what stopped runs left.
void check_inputs_are_not_own_files(const RunPlan& plan, FileSystem& files);

// What the run's inputs were when it began: an input whose size or time of
// change differs later was changed while it was being sorted.
class InputStamps {
public:
    InputStamps(FileSystem& files, const RunPlan& plan);
    // Checks input i (0 for the first listed file), or all of them; throws
    // RunError naming a changed one.
    void check(std::size_t i) const;
    void check_all() const;

private:
    FileSystem& files_;
    std::vector<std::filesystem::path> inputs_;
    std::vector<FileEntry> stamps_;
};

}  // namespace marrowgate
