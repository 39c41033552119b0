#include "support/MemoryFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "io/Paths.h"
#include "state/Module1.h"

namespace marrowgate::test {

namespace fs = std::filesystem;
using Kind = FileEntry::Kind;

class MemoryFileSystem::Input final : public InputFile {
public:
    Input(const MemoryFileSystem& owner, std::shared_ptr<Node> node) : owner_(owner), node_(std::move(node)) {}

    std::size_t read(char* buffer, std::size_t size) override {
        std::lock_guard lock(owner_.mutex_);
        const std::string& bytes = node_->bytes;
        const std::size_t got = offset_ < bytes.size() ? std::min(size, bytes.size() - offset_) : 0;
        if (got > 0) std::memcpy(buffer, bytes.data() + offset_, got);
        offset_ += got;
        return got;
    }

private:
    const MemoryFileSystem& owner_;
    std::shared_ptr<Node> node_;  // the bytes opened, whatever takes their name later
    std::size_t offset_ = 0;
};

class MemoryFileSystem::Output final : public OutputFile {
public:
    Output(MemoryFileSystem& owner, std::shared_ptr<Node> node) : owner_(owner), node_(std::move(node)) {}

    void write(const char* data, std::size_t size) override {
        std::lock_guard lock(owner_.mutex_);
        node_->bytes.append(data, size);
        node_->modified = ++owner_.clock_;
    }
    void close() override {}

private:
    MemoryFileSystem& owner_;
    std::shared_ptr<Node> node_;
};

// Held on a file, not on its name, as the system's locks are.
class MemoryFileSystem::Lock final : public FolderLock {
public:
    Lock(MemoryFileSystem* owner, std::uint64_t file) : owner_(owner), file_(file) {}
    ~Lock() override {
        if (!owner_) return;
        std::lock_guard lock(owner_->mutex_);
        owner_->locked_.erase(file_);
    }

private:
    MemoryFileSystem* owner_;  // none for the lock of a missing file
    std::uint64_t file_;
};

MemoryFileSystem::KeyView MemoryFileSystem::key_of(const fs::path& path, Key& normal) {
    if constexpr (fs::path::preferred_separator == '/') {
        const KeyView text = path.native();
        bool is_normal = !text.empty() && (text.back() != '/' || text.size() == 1);
        for (std::size_t from = 0; is_normal && from < text.size();) {
            const std::size_t end = std::min(text.find('/', from), text.size());
            const KeyView name = text.substr(from, end - from);
            const bool dots = name.find_first_not_of('.') == KeyView::npos && name.size() <= 2;  // "." or ".."
            is_normal = (!name.empty() || from == 0) && (name.empty() || !dots);
            from = end + 1;
        }
        if (is_normal) return text;
    }
    fs::path normal_path = path.lexically_normal();
    if (!normal_path.has_filename() && normal_path.has_relative_path())
        normal_path = normal_path.parent_path();  // "a/b/"
    normal = normal_path.native();
    return normal;
}

MemoryFileSystem::KeyView MemoryFileSystem::parent_of(KeyView key) {
    const std::size_t at = key.rfind(fs::path::preferred_separator);
    if (at == KeyView::npos) return {};
    return key.substr(0, at == 0 ? 1 : at);  // the parent of "/a" is "/"
}

namespace {
// A name below a folder as tree() gives it: UTF-8, '/' between names.
[[maybe_unused]] std::string relative_name(std::string_view key) { return std::string(key); }
[[maybe_unused]] std::string relative_name(std::wstring_view key) {
    std::string name = utf8_from_path(fs::path(key));
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

// A root (or the current folder) is always there.
bool is_root(std::basic_string_view<fs::path::value_type> key) {
    if constexpr (fs::path::preferred_separator == '/') return key.empty() || (key.size() == 1 && key[0] == '/');
    else return key.empty() || !fs::path(key).has_relative_path();
}
}  // namespace

std::shared_ptr<MemoryFileSystem::Node> MemoryFileSystem::new_node() {
    auto node = std::make_shared<Node>();
    node->modified = ++clock_;
    node->number = ++numbers_;
    return node;
}

const MemoryFileSystem::Entry* MemoryFileSystem::find(KeyView key, bool follow, Key* found_at) const {
    Key at;
    for (int links = 0; links < 40; ++links) {  // as many as a system follows
        const auto it = entries_.find(key);
        if (it == entries_.end()) return nullptr;
        if (it->second.kind != Kind::Link || !follow) {
            if (found_at) *found_at = Key(key);
            return &it->second;
        }
        const fs::path& target = it->second.target;
        Key normal;
        at = Key(key_of(target.is_absolute() ? target : fs::path(parent_of(key)) / target, normal));
        key = at;
    }
    return nullptr;
}

void MemoryFileSystem::need_parent(KeyView key, const fs::path& path, const char* doing) const {
    const KeyView parent = parent_of(key);
    if (is_root(parent)) return;
    const Entry* folder = find(parent, false);
    if (!folder) throw FileError(path, std::string(doing) + system_reason(ENOENT));
    if (folder->kind != Kind::Folder) throw FileError(path, std::string(doing) + system_reason(ENOTDIR));
}

void MemoryFileSystem::put(const fs::path& path, std::string_view bytes) {
    Key normal;
    const Key key(key_of(path, normal));
    std::vector<fs::path> folders;
    for (KeyView folder = parent_of(key); !is_root(folder); folder = parent_of(folder)) folders.emplace_back(folder);
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) make_folder(*it);
    std::lock_guard lock(mutex_);
    auto node = new_node();
    node->bytes.assign(bytes);
    entries_[key] = Entry{Kind::File, std::move(node), {}};
}

void MemoryFileSystem::put_link(const fs::path& path, const fs::path& target) {
    std::lock_guard lock(mutex_);
    Key normal;
    entries_[Key(key_of(path, normal))] = Entry{Kind::Link, nullptr, target};
}

std::map<std::string, std::string> MemoryFileSystem::tree(const fs::path& folder, const fs::path& except) const {
    std::lock_guard lock(mutex_);
    Key normal;
    Key prefix(key_of(folder, normal));
    if (prefix.empty() || prefix.back() != fs::path::preferred_separator) prefix += fs::path::preferred_separator;
    Key skipped;
    if (!except.empty()) skipped = Key(key_of(except, normal));
    const auto left_out = [&](KeyView key) {
        return !skipped.empty() && key.starts_with(skipped) &&
               (key.size() == skipped.size() || key[skipped.size()] == fs::path::preferred_separator);
    };
    std::map<std::string, std::string> names;
    for (auto it = entries_.lower_bound(prefix); it != entries_.end() && it->first.starts_with(prefix); ++it) {
        if (left_out(it->first)) continue;
        const std::string name = relative_name(KeyView(it->first).substr(prefix.size()));
        switch (it->second.kind) {
            case Kind::File: names[name] = it->second.node->bytes; break;
            case Kind::Folder: names[name] = "<folder>"; break;
            case Kind::Link: names[name] = "<link to " + display_path(it->second.target) + ">"; break;
            default: names[name] = "<other>"; break;
        }
    }
    return names;
}

std::optional<std::vector<fs::path>> MemoryFileSystem::names_in(const fs::path& folder) {
    std::lock_guard lock(mutex_);
    Key normal;
    Key prefix;
    const KeyView key = key_of(folder, normal);
    if (!is_root(key)) {
        const Entry* entry = find(key, true, &prefix);
        if (!entry || entry->kind != Kind::Folder) return std::nullopt;
    } else {
        prefix = Key(key);
    }
    if (prefix.empty() || prefix.back() != fs::path::preferred_separator) prefix += fs::path::preferred_separator;
    std::vector<fs::path> names;
    for (auto it = entries_.lower_bound(prefix); it != entries_.end() && it->first.starts_with(prefix); ++it) {
        const KeyView name = KeyView(it->first).substr(prefix.size());
        if (name.find(fs::path::preferred_separator) == KeyView::npos) names.emplace_back(Key(name));
    }
    return names;
}

std::unique_ptr<InputFile> MemoryFileSystem::open_read(const fs::path& path) {
    std::lock_guard lock(mutex_);
    Key normal;
    const Entry* entry = find(key_of(path, normal), true);
    if (!entry) throw FileError(path, "cannot be opened: " + system_reason(ENOENT));
    if (entry->kind == Kind::Folder) throw FileError(path, "cannot be opened: it is a folder");
    return std::make_unique<Input>(*this, entry->node);
}

std::unique_ptr<OutputFile> MemoryFileSystem::open_write(const fs::path& path, WriteMode mode) {
    std::lock_guard lock(mutex_);
    Key normal;
    const KeyView key = key_of(path, normal);
    const auto it = entries_.find(key);
    if (it == entries_.end()) {
        need_parent(key, path, "cannot be created: ");
        auto node = new_node();
        entries_.emplace(Key(key), Entry{Kind::File, node, {}});
        return std::make_unique<Output>(*this, std::move(node));
    }
    if (it->second.kind == Kind::Link)
        throw FileError(path, "cannot be created: it is a link, and no file is written through a link");
    if (it->second.kind == Kind::Folder) throw FileError(path, "cannot be created: " + system_reason(EISDIR));
    Node& node = *it->second.node;
    if (mode == WriteMode::Truncate) {
        node.bytes.clear();  // every name of the file sees it emptied
        node.modified = ++clock_;
    }
    return std::make_unique<Output>(*this, it->second.node);
}

FileEntry MemoryFileSystem::status(const fs::path& path, bool follow) {
    std::lock_guard lock(mutex_);
    FileEntry result;
    Key normal;
    const Entry* entry = find(key_of(path, normal), follow);
    if (!entry) return result;
    result.kind = entry->kind;
    if (entry->kind == Kind::File) {
        result.size = entry->node->bytes.size();
        result.modified = entry->node->modified;
    }
    return result;
}

std::optional<FileIdentity> MemoryFileSystem::identity(const fs::path& path) {
    std::lock_guard lock(mutex_);
    Key normal;
    const Entry* entry = find(key_of(path, normal), true);
    if (!entry || !entry->node) return std::nullopt;
    return FileIdentity{1, entry->node->number};
}

void MemoryFileSystem::make_folder(const fs::path& path) {
    std::lock_guard lock(mutex_);
    Key normal;
    const KeyView key = key_of(path, normal);
    if (const Entry* there = find(key, true)) {
        if (there->kind == Kind::Folder) return;
        throw FileError(path, "cannot be created as a folder: a file of that name is in the way");
    }
    need_parent(key, path, "cannot be created as a folder: ");
    entries_.emplace(Key(key), Entry{Kind::Folder, new_node(), {}});
}

fs::path MemoryFileSystem::make_unique_folder(const fs::path& folder, const std::string& prefix) {
    std::lock_guard lock(mutex_);
    Key normal;
    const KeyView key = key_of(folder, normal);
    const Entry* there = is_root(key) ? nullptr : find(key, false);
    if (!is_root(key) && (!there || there->kind != Kind::Folder))
        throw FileError(folder, "a folder for the run's new files cannot be made in it: " +
                                    system_reason(there ? ENOTDIR : ENOENT));
    for (;;) {
        const std::string number = std::to_string(++unique_folders_);
        const fs::path made = folder / (prefix + std::string(6 - std::min<std::size_t>(6, number.size()), '0') + number);
        Key made_normal;
        const Key made_key(key_of(made, made_normal));
        if (entries_.count(made_key) > 0) continue;
        entries_.emplace(made_key, Entry{Kind::Folder, new_node(), {}});
        return made;
    }
}

void MemoryFileSystem::remove_empty_folder(const fs::path& path) {
    std::lock_guard lock(mutex_);
    Key normal;
    const auto it = entries_.find(key_of(path, normal));
    if (it == entries_.end() || it->second.kind != Kind::Folder) return;
    const Key prefix = it->first + fs::path::preferred_separator;
    const auto below = entries_.lower_bound(prefix);
    if (below != entries_.end() && below->first.starts_with(prefix)) return;
    entries_.erase(it);
}

std::optional<std::uint32_t> MemoryFileSystem::permissions(const fs::path& path) {
    std::lock_guard lock(mutex_);
    Key normal;
    const Entry* entry = find(key_of(path, normal), true);
    if (!entry || entry->kind != Kind::File) return std::nullopt;
    return entry->node->permissions;
}

void MemoryFileSystem::set_permissions(const fs::path& path, std::uint32_t bits) {
    std::lock_guard lock(mutex_);
    Key normal;
    const Entry* entry = find(key_of(path, normal), true);
    if (!entry || entry->kind != Kind::File)
        throw FileError(path, "cannot be given the permissions of the file it replaces: " + system_reason(ENOENT));
    entry->node->permissions = bits & 0777;
}

void MemoryFileSystem::sync(const std::vector<fs::path>& paths) {
    std::lock_guard lock(mutex_);
    for (const auto& path : paths) {
        Key normal;
        if (!find(key_of(path, normal), true))
            throw FileError(path, "cannot be stored on the disk: " + system_reason(ENOENT));
    }
}

void MemoryFileSystem::replace(const fs::path& from, const fs::path& to) {
    std::lock_guard lock(mutex_);
    Key normal_from;
    Key normal_to;
    const KeyView source = key_of(from, normal_from);
    const KeyView target = key_of(to, normal_to);
    const auto it = entries_.find(source);
    if (it == entries_.end()) throw FileError(to, "cannot be replaced: " + system_reason(ENOENT));
    if (it->second.kind == Kind::Folder) throw FileError(to, "cannot be replaced: " + system_reason(EISDIR));
    need_parent(target, to, "cannot be replaced: ");
    const auto there = entries_.find(target);
    if (there != entries_.end() && there->second.kind == Kind::Folder)
        throw FileError(to, "cannot be replaced: " + system_reason(EISDIR));
    if (source == target) return;
    Entry moved = std::move(it->second);
    entries_.erase(it);
    if (there != entries_.end()) there->second = std::move(moved);
    else entries_.emplace(Key(target), std::move(moved));
}

bool MemoryFileSystem::add_name(const fs::path& existing, const fs::path& name) {
    std::lock_guard lock(mutex_);
    Key normal_existing;
    Key normal_name;
    const auto it = entries_.find(key_of(existing, normal_existing));
    if (it == entries_.end()) throw FileError(existing, "cannot be kept: " + system_reason(ENOENT));
    if (it->second.kind == Kind::Folder) throw FileError(existing, "cannot be kept: " + system_reason(EPERM));
    const KeyView key = key_of(name, normal_name);
    need_parent(key, existing, "cannot be kept: ");
    if (entries_.find(key) != entries_.end()) throw FileError(existing, "cannot be kept: " + system_reason(EEXIST));
    entries_.emplace(Key(key), it->second);  // the same bytes under a second name
    return true;
}

void MemoryFileSystem::remove(const fs::path& path) {
    std::lock_guard lock(mutex_);
    Key normal;
    const auto it = entries_.find(key_of(path, normal));
    if (it == entries_.end()) return;
    if (it->second.kind == Kind::Folder) {
        const Key prefix = it->first + fs::path::preferred_separator;
        auto below = std::next(it);
        while (below != entries_.end() && below->first.starts_with(prefix)) below = entries_.erase(below);
    }
    entries_.erase(it);
}

std::unique_ptr<FolderLock> MemoryFileSystem::lock(const fs::path& path, bool create) {
    std::lock_guard lock(mutex_);
    Key normal;
    const Key key(key_of(path, normal));
    auto it = entries_.find(key);
    if (it == entries_.end()) {
        if (!create) return std::make_unique<Lock>(nullptr, 0);
        need_parent(key, path, "cannot be opened: ");
        it = entries_.emplace(key, Entry{Kind::File, new_node(), {}}).first;
    } else if (it->second.kind == Kind::Link) {
        throw FileError(path, "cannot be opened: it is a link");
    } else if (it->second.kind == Kind::Folder) {
        throw FileError(path, "cannot be opened: " + system_reason(EISDIR));
    }
    const std::uint64_t file = it->second.node->number;
    if (!locked_.insert(file).second) return nullptr;
    return std::make_unique<Lock>(this, file);
}

}  // namespace marrowgate::test
