#include "state/Module1.h"

#include "io/Paths.h"

namespace marrowgate {

std::filesystem::path listed_file_path(const Module1& state, int i) {
    const auto slot = static_cast<std::size_t>(i);
    return path_from_utf8(state.File_Folder.at(slot) + state.File_Name.at(slot));
}

std::filesystem::path decal_file_path(const Module1& state) {
    if (state.Decal_Count < 1) return {};
    return path_from_utf8(state.Decal_Folder[1] + state.Decal_Name[1]);
}

}  // namespace marrowgate
