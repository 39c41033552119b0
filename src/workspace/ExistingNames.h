// The names in the folders of a run's outputs, each folder listed once, so
// that only the outputs that exist already need looking at: a run into an
// empty lib asks the file system about none of its thousand files. Names
// compare with ASCII letters folded (a superset where the folder tells case
// apart); a folder that cannot be listed, or holds a name of other
// characters, which a file system may fold as well, may hold any name.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "io/FileSystem.h"

namespace marrowgate {

class ExistingNames {
public:
    explicit ExistingNames(FileSystem& files) : files_(files) {}

    // False only where the folder of `target` holds no name like its name.
    bool may_hold(const std::filesystem::path& target);

private:
    struct Folder {
        bool complete = false;
        std::set<std::filesystem::path::string_type> names;
    };

    void list(const std::filesystem::path& path, Folder& folder);

    FileSystem& files_;
    std::map<std::filesystem::path, Folder> folders_;
};

}  // namespace marrowgate
