// All or nothing: a run writes its files under names no reader uses, in a
// folder of its own made for it inside the folder of each file (lib, tmp,
// the application folder), and puts each in the place of its file only when
// every one of them is complete and on the disk (where nothing is put on the
// disk, each as soon as it is complete). A move out of a folder
// inside the target folder stays on one file system wherever that folder
// is (a linked lib, a bind mount). A run that fails, is stopped or is
// killed before that leaves every file as it was; while the files are put
// in place, each is either old or new, never cut short, and a failure there
// puts the old ones back. A file that replaces another takes its
// permissions.
#pragma once

#include <cstddef>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "io/FileSystem.h"
#include "workspace/ExistingNames.h"

namespace marrowgate {

class Staging {
public:
    // The name of every folder of new files begins with this; each run's has
    // characters of its own after it, so that no two runs share one.
    static constexpr const char* kFolderName = kStagingPrefix;

    // Makes nothing yet: each folder of new files is made when first needed.
    Staging(FileSystem& files, std::filesystem::path application_folder);
    // Removes the run's folders of new files, with the staged files and the
    // old files kept, whatever happened.
    ~Staging();
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    // The name under which the new file for `target` is written. Throws
    // RunError when `target` is a link or no file, or its folder no folder:
    // nothing is ever written through a link.
    std::filesystem::path add(const std::filesystem::path& target);
    // The target whose new file is `staged`; `staged` itself when none is.
    std::filesystem::path target_of(const std::filesystem::path& staged) const;

    // The application folder's folder of new files, made when not yet there:
    // for the run's own scratch files, which go with it.
    const std::filesystem::path& own_folder() { return root_for(application_folder_).path; }

    // Puts every file added since the last commit in the place of its
    // target, in the order added: first each takes the permissions of the
    // file it replaces and all are put on the disk, then each is moved,
    // asking `go_on` before each (it throws to stop), then the folders that
    // changed are put on the disk. When it throws, or a step fails, the
    // targets already replaced get their old files back and the failure is
    // thrown on. `ready`, where given, returns once the k-th file added
    // since the last commit is complete, or throws: it is asked for every
    // file before any is put on the disk, or where the file system puts
    // nothing on the disk, for each file just before it is moved, so that
    // the moves go on while the last files are still being written.
    void commit(const std::function<void()>& go_on, const std::function<void(std::size_t)>& ready = {});

    // Leaves the files added since the last commit where they are, to go
    // with the folder: a run that ended without putting them in place
    // commits only what it adds after this (its report).
    void abandon() { committed_ = items_.size(); }

    // The message of a failure, naming the file it is about: a staged file
    // by the file it was to become.
    std::string describe(const std::exception& error) const;

    // Removes what runs that were stopped left in `folders` (the application
    // folder, lib and tmp). Call it only while the run holds the locks of
    // those folders, so that no live run works there, and once the inputs
    // are known to be none of it (check_inputs_are_not_own_files).
    void remove_leftovers(const std::vector<std::filesystem::path>& folders);
    // What stopped runs left in `folder`: everything named as a folder of
    // new files is.
    static std::vector<std::filesystem::path> leftovers(FileSystem& files, const std::filesystem::path& folder);

private:
    struct Item {
        std::filesystem::path target;
        std::filesystem::path staged;
        std::filesystem::path kept;  // the old file's second name while moving (where one existed)
        bool existed;                // a file was there when the run began
    };
    // A folder of new files: they go into folders of kPerPart inside it.
    static constexpr std::size_t kPerPart = 64;
    struct Root {
        std::filesystem::path path;
        std::size_t files = 0;       // staged in it so far
        std::filesystem::path part;  // the folder inside it the next file goes into
    };

    // The folder of new files in `folder`, made the first time. Throws
    // RunError when `folder` is no folder, FileError when none can be made.
    Root& root_for(const std::filesystem::path& folder);

    FileSystem& files_;
    std::filesystem::path application_folder_;
    std::map<std::filesystem::path, Root> roots_;  // folder -> its folder of new files
    ExistingNames existing_;  // the names in the targets' folders, read once
    std::vector<Item> items_;
    std::size_t committed_ = 0;  // items put in place already
};

// The file whose lock a run holds in each folder it writes (the application
// folder, lib, tmp).
std::filesystem::path run_lock_path(const std::filesystem::path& folder);

}  // namespace marrowgate
