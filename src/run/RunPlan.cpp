#include "run/RunPlan.h"

#include <algorithm>

#include "state/Module1.h"

namespace marrowgate {

std::vector<std::filesystem::path> RunPlan::read_files() const {
    std::vector<std::filesystem::path> files = inputs;
    if (!decal_file.empty()) files.push_back(decal_file);
    return files;
}

RunPlan plan_run(const Module1& state, KeyRule* rule) {
    RunPlan plan;
    for (int i = 1; i <= state.File_Count; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        plan.inputs.push_back(listed_file_path(state, i));
        plan.input_parts.push_back(static_cast<std::size_t>(std::max(0, state.File_Parts[slot])));
        plan.input_markers.push_back(state.File_Marker[slot]);
    }
    plan.decal_file = decal_file_path(state);
    plan.folders = run_folders(state.Application_Folder);
    plan.rule = rule;
    return plan;
}

}  // namespace marrowgate
