#include "workspace/Staging.h"

#include <algorithm>

#include "io/RunError.h"

namespace marrowgate {

Staging::Staging(FileSystem& files, std::filesystem::path application_folder)
    : files_(files), application_folder_(std::move(application_folder)), existing_(files) {}

void Staging::remove_leftovers(const std::vector<std::filesystem::path>& folders) {
    for (const auto& folder : folders)
        for (const auto& leftover : leftovers(files_, folder)) files_.remove(leftover);
}

Staging::~Staging() {
    for (const auto& [folder, root] : roots_) {
        try {
            files_.remove(root.path);
        } catch (const std::exception&) {
            // Removed by the next run.
        }
    }
}

std::vector<std::filesystem::path> Staging::leftovers(FileSystem& files, const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    const auto prefix = std::filesystem::path(kFolderName).native();
    for (const auto& name : files.names_in(folder).value_or(std::vector<std::filesystem::path>()))
        if (name.native().rfind(prefix, 0) == 0) found.push_back(folder / name);
    return found;
}

Staging::Root& Staging::root_for(const std::filesystem::path& folder) {
    if (const auto it = roots_.find(folder); it != roots_.end()) return it->second;
    switch (files_.status(folder, true).kind) {
        case FileEntry::Kind::Folder: break;
        case FileEntry::Kind::None: files_.make_folder(folder); break;  // removed since the run began
        default:
            throw RunError(display_path(folder) +
                           " is not a folder, and the run's files go into it. Nothing was written.");
    }
    Root root{files_.make_unique_folder(folder, std::string(kFolderName) + "-"), 0, {}};
    return roots_.emplace(folder, std::move(root)).first->second;
}

std::filesystem::path Staging::add(const std::filesystem::path& target) {
    Root& root = root_for(target.parent_path());
    // A run into an empty lib asks about none of its files.
    const FileEntry::Kind kind = existing_.may_hold(target) ? files_.status(target, false).kind : FileEntry::Kind::None;
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
    // The new files go into folders of kPerPart each inside the run's
    // folder. Where a file system searches a folder name by name (ext4
    // without its directory index), making a file costs a search of every
    // name already there: a thousand files made in one folder cost as much
    // again as making them in the target folder.
    if (root.files % kPerPart == 0) {
        root.part = root.path / std::to_string(root.files / kPerPart);
        files_.make_folder(root.part);
    }
    ++root.files;
    const std::string number = std::to_string(items_.size());
    const bool existed = kind == FileEntry::Kind::File;
    // The second name is needed only for an old file to keep.
    items_.push_back(Item{target, root.part / (number + kStagedExtension),
                          existed ? root.part / (number + ".old") : std::filesystem::path(), existed});
    return items_.back().staged;
}

std::filesystem::path Staging::target_of(const std::filesystem::path& staged) const {
    // Asked once, for the message of a failed run: a search, not an index
    // built for every file of every run.
    for (const Item& item : items_)
        if (item.staged == staged) return item.target;
    return staged;
}

std::string Staging::describe(const std::exception& error) const {
    const auto* file_error = dynamic_cast<const FileError*>(&error);
    if (!file_error) return error.what();
    const std::filesystem::path target = target_of(file_error->file());
    if (target == file_error->file()) return error.what();
    return display_path(target) + ": " + file_error->reason() + ". Nothing was changed.";
}

void Staging::commit(const std::function<void()>& go_on, const std::function<void(std::size_t)>& ready) {
    const auto first = items_.begin() + static_cast<std::ptrdiff_t>(committed_);
    committed_ = items_.size();
    // A file is complete before it takes the old one's permissions.
    const bool synced = files_.syncs();
    const auto prepare = [&](const Item& item) {
        if (ready) ready(static_cast<std::size_t>(&item - &*first));
        if (item.existed)
            if (const auto bits = files_.permissions(item.target)) files_.set_permissions(item.staged, *bits);
    };
    // Nothing has moved yet: a failure here leaves every target as it was.
    std::vector<std::filesystem::path> staged;
    std::vector<std::filesystem::path> folders;
    for (auto item = first; item != items_.end(); ++item) {
        if (synced) prepare(*item);
        staged.push_back(item->staged);
        const auto folder = item->target.parent_path();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    files_.sync(staged);

    struct Moved {
        const Item* item;
        bool kept;
    };
    std::vector<Moved> moved;
    moved.reserve(staged.size());
    try {
        for (auto item = first; item != items_.end(); ++item) {
            go_on();
            if (!synced) prepare(*item);
            // As the run found it before writing; it holds the folder meanwhile.
            const bool kept = item->existed && files_.add_name(item->target, item->kept);
            files_.replace(item->staged, item->target);
            moved.push_back(Moved{&*item, kept});
        }
        files_.sync(folders);  // the moves themselves
    } catch (const std::exception& failure) {
        // The old files back in their places, the newest first.
        std::size_t left_new = 0;
        for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
            try {
                if (it->kept) files_.replace(it->item->kept, it->item->target);
                else if (!it->item->existed) files_.remove(it->item->target);
                else ++left_new;
            } catch (const std::exception&) {
                ++left_new;
            }
        }
        if (left_new == 0) throw;
        throw RunError(std::string(failure.what()) + " " + std::to_string(left_new) + " of the " +
                       std::to_string(staged.size()) +
                       " files of this run could not be given back their old bytes and hold their new ones; "
                       "every other file is as it was.");
    }
}

std::filesystem::path run_lock_path(const std::filesystem::path& folder) {
    return folder / ".marrowgate.lock";
}

}  // namespace marrowgate
