// All or nothing: a run writes its files under names no reader uses, in a
// staging folder of the application folder, and puts each in the place of its
// file (in lib, in tmp, in the application folder) only when every one of them
// is complete. A run that fails, is stopped or is killed before that leaves
// every file as it was; while the files are put in place, each is either old
// or new, never cut short, and a failure there puts the old ones back.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "library/FileSystem.h"

namespace marrowgate {

class Staging {
public:
    static constexpr const char* kFolderName = ".marrowgate-staging";

    // Removes what a run that was stopped left behind. Call it only while the
    // run holds the application folder's lock.
    Staging(FileSystem& files, std::filesystem::path application_folder);
    // Removes the staged files and the old files kept, whatever happened.
    ~Staging();
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    // The name under which the new file for `target` is written. Throws
    // RunError when `target` is a link or no file, or its folder no folder:
    // nothing is ever written through a link.
    std::filesystem::path add(const std::filesystem::path& target);
    // The target whose new file is `staged`; `staged` itself when none is.
    std::filesystem::path target_of(const std::filesystem::path& staged) const;

    // The staging folder of the application folder, made when not yet there:
    // for the run's own scratch files, which go with it.
    const std::filesystem::path& own_folder() { return root_for(application_folder_ / kFolderName); }

    // Puts every staged file in the place of its target, in the order added,
    // asking `go_on` before each (it throws to stop). When it throws, or a
    // move fails, the targets already replaced get their old files back and
    // the failure is thrown on.
    void commit(const std::function<void()>& go_on);

private:
    struct Item {
        std::filesystem::path target;
        std::filesystem::path staged;
        std::filesystem::path kept;  // the old file's second name while moving (where one existed)
        bool existed;                // a file was there when the run began
    };
    // The staging folder for `target`: the application folder's, unless the
    // target's folder is on another file system (a linked lib folder), where
    // a move could not be done in one step; then one inside that folder.
    // Throws RunError when the target's folder is no folder.
    const std::filesystem::path& root_for(const std::filesystem::path& target);
    void clear(const std::filesystem::path& root) noexcept;

    FileSystem& files_;
    std::filesystem::path application_folder_;
    std::filesystem::path main_root_;
    std::map<std::filesystem::path, std::filesystem::path> roots_;  // folder -> its staging folder
    std::vector<std::filesystem::path> made_;                        // staging folders in use
    std::vector<Item> items_;
};

}  // namespace marrowgate
