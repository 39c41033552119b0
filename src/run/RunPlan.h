// What one run works on, resolved once from the state before it begins: the
// passes, the checks and the report take the plan, never the state, so that
// the files a run reads are the files it checked.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "workspace/Folders.h"

namespace marrowgate {

struct Module1;
class KeyRule;

struct RunPlan {
    std::vector<std::filesystem::path> inputs;  // the part-type files, in order
    std::vector<std::size_t> input_parts;       // the parts each held when it was listed
    std::vector<std::string> input_markers;     // the marker line of each ("" where none was kept)
    std::filesystem::path decal_file;           // empty where none was chosen
    RunFolders folders;
    KeyRule* rule = nullptr;  // the key; none for a plan that is only checked

    // The part-type files and the decal file: what the run reads and must
    // never write.
    std::vector<std::filesystem::path> read_files() const;
};

RunPlan plan_run(const Module1& state, KeyRule* rule = nullptr);

}  // namespace marrowgate
