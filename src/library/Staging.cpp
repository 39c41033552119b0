#include "library/Staging.h"

#include <exception>

#include "library/RunFrame.h"

namespace marrowgate {

namespace {
bool same_device(FileSystem& files, const std::filesystem::path& a, const std::filesystem::path& b) {
    const auto first = files.identity(a);
    const auto second = files.identity(b);
    return !first || !second || first->device == second->device;
}
}  // namespace

Staging::Staging(FileSystem& files, std::filesystem::path application_folder)
    : files_(files), application_folder_(std::move(application_folder)),
      main_root_(application_folder_ / kFolderName) {
    // A killed run's leftovers: in the application folder, and in lib and tmp
    // where those are linked to another file system.
    for (const char* folder : {"", "lib", "tmp"}) {
        const auto root = (*folder ? application_folder_ / folder : application_folder_) / kFolderName;
        if (files_.look(root, false).kind != FileEntry::Kind::None) files_.remove(root);
    }
}

Staging::~Staging() {
    for (const auto& root : made_) clear(root);
}

void Staging::clear(const std::filesystem::path& root) noexcept {
    try {
        files_.remove(root);
    } catch (const std::exception&) {
        // Removed by the next run.
    }
}

const std::filesystem::path& Staging::root_for(const std::filesystem::path& target) {
    const auto folder = target.parent_path();
    auto [it, added] = roots_.try_emplace(folder);
    if (!added) return it->second;
    switch (files_.look(folder, true).kind) {
        case FileEntry::Kind::Folder: break;
        case FileEntry::Kind::None: files_.make_folder(folder); break;  // removed since the program started
        default:
            roots_.erase(it);
            throw RunError(display_path(target) + ": cannot be created: " + display_path(folder) +
                           " is not a folder. Nothing was written.");
    }
    it->second = folder == application_folder_ || same_device(files_, folder, application_folder_) ? main_root_
                                                                                            : folder / kFolderName;
    bool made = false;
    for (const auto& root : made_) made = made || root == it->second;
    if (!made) {
        files_.make_folder(it->second);
        // Made by this run a moment ago: a link there now was planted.
        const FileEntry::Kind kind = files_.look(it->second, false).kind;
        if (kind != FileEntry::Kind::Folder && kind != FileEntry::Kind::None)  // none: a dry run
            throw RunError(display_path(it->second) + " is not a folder of this run's own. Nothing was written.");
        made_.push_back(it->second);
    }
    return it->second;
}

std::filesystem::path Staging::add(const std::filesystem::path& target) {
    const auto& root = root_for(target);
    const FileEntry::Kind kind = files_.look(target, false).kind;
    switch (kind) {
        case FileEntry::Kind::None:
        case FileEntry::Kind::File: break;
        case FileEntry::Kind::Link:
            throw RunError(display_path(target) +
                           " is a link: a run never writes through a link. Remove it, or put the file itself "
                           "there. Nothing was written.");
        default:
            throw RunError(display_path(target) + ": cannot be created: something other than a file has its name. "
                                                  "Nothing was written.");
    }
    const std::string number = std::to_string(items_.size());
    const bool existed = kind == FileEntry::Kind::File;
    // The second name is needed only for an old file to keep.
    items_.push_back(Item{target, root / (number + ".new"), existed ? root / (number + ".old") : std::filesystem::path(),
                          existed});
    return items_.back().staged;
}

std::filesystem::path Staging::target_of(const std::filesystem::path& staged) const {
    // Asked once, for the message of a failed run: a search, not an index
    // built for every file of every run.
    for (const Item& item : items_)
        if (item.staged == staged) return item.target;
    return staged;
}

void Staging::commit(const std::function<void()>& go_on) {
    struct Moved {
        const Item* item;
        bool existed;
        bool kept;
    };
    std::vector<Moved> moved;
    moved.reserve(items_.size());
    try {
        for (const Item& item : items_) {
            go_on();
            // As the run found it before writing; it holds the folder meanwhile.
            const bool existed = item.existed;
            const bool kept = existed && files_.add_name(item.target, item.kept);
            files_.replace(item.staged, item.target);
            moved.push_back(Moved{&item, existed, kept});
        }
    } catch (const std::exception& failure) {
        // The old files back in their places, the newest first.
        std::size_t left_new = 0;
        for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
            try {
                if (it->kept) files_.replace(it->item->kept, it->item->target);
                else if (!it->existed) files_.remove(it->item->target);
                else ++left_new;
            } catch (const std::exception&) {
                ++left_new;
            }
        }
        if (left_new == 0) throw;
        throw RunError(std::string(failure.what()) + " " + std::to_string(left_new) + " of the " +
                       std::to_string(items_.size()) +
                       " files of this run could not be given back their old bytes and hold their new ones; "
                       "every other file is as it was.");
    }
}

}  // namespace marrowgate
