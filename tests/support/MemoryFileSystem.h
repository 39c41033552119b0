// A file layer held in memory, for tests and the fuzz target that make
// thousands of runs: folders, files and links in a map keyed by path, no disk
// at all. It behaves as the real one does where a run can tell: an open file
// keeps reading the bytes it opened when another file is moved over its name,
// a second name shares the bytes of the first, a write through a link is
// refused, a folder is removed with all it holds, and a file's time of change
// (a counter here) moves on with every write, a file keeps its permission
// bits (0644 when new), and a unique folder's name ends in a number counted
// up. A link is followed where it is the last name of a path. Nothing needs
// to reach a disk: a sync only checks that what it names is there. Every operation holds one lock, as the engine's
// writer thread works beside the run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "io/FileSystem.h"

namespace marrowgate::test {

class MemoryFileSystem final : public FileSystem {
public:
    MemoryFileSystem() = default;
    MemoryFileSystem(const MemoryFileSystem&) = delete;
    MemoryFileSystem& operator=(const MemoryFileSystem&) = delete;

    // A file with these bytes, its missing folders made first.
    void put(const std::filesystem::path& path, std::string_view bytes);
    // A link at `path` naming `target`, which need not exist.
    void put_link(const std::filesystem::path& path, const std::filesystem::path& target);
    // Every name below `folder`, by its path relative to it ('/' between
    // names): a file's bytes, "<folder>" or "<link to TARGET>". With
    // `except`, that name and all below it are left out.
    std::map<std::string, std::string> tree(const std::filesystem::path& folder,
                                            const std::filesystem::path& except = {}) const;

    std::unique_ptr<InputFile> open_read(const std::filesystem::path& path) override;
    std::unique_ptr<OutputFile> open_write(const std::filesystem::path& path, WriteMode mode) override;
    FileEntry status(const std::filesystem::path& path, bool follow) override;
    std::optional<FileIdentity> identity(const std::filesystem::path& path) override;
    void make_folder(const std::filesystem::path& path) override;
    std::filesystem::path make_unique_folder(const std::filesystem::path& folder, const std::string& prefix) override;
    void remove_empty_folder(const std::filesystem::path& path) override;
    std::optional<std::uint32_t> permissions(const std::filesystem::path& path) override;
    void set_permissions(const std::filesystem::path& path, std::uint32_t bits) override;
    void sync(const std::vector<std::filesystem::path>& paths) override;
    void replace(const std::filesystem::path& from, const std::filesystem::path& to) override;
    bool add_name(const std::filesystem::path& existing, const std::filesystem::path& name) override;
    void remove(const std::filesystem::path& path) override;
    std::unique_ptr<FolderLock> lock(const std::filesystem::path& path, bool create) override;
    std::optional<std::vector<std::filesystem::path>> names_in(const std::filesystem::path& folder) override;

private:
    class Input;
    class Output;
    class Lock;
    using Key = std::filesystem::path::string_type;
    using KeyView = std::basic_string_view<std::filesystem::path::value_type>;
    // What a file's names share: its bytes, its time of change, its number,
    // its permissions.
    struct Node {
        std::string bytes;
        std::int64_t modified = 0;
        std::uint64_t number = 0;
        std::uint32_t permissions = 0644;
    };
    struct Entry {
        FileEntry::Kind kind = FileEntry::Kind::File;
        std::shared_ptr<Node> node;    // a file's or a folder's
        std::filesystem::path target;  // a link's
    };
    // The order of the keys: the strings' own, compared in a loop of our own
    // rather than through memcmp, which libFuzzer intercepts and records on
    // every call (most of a lookup's cost in the fuzz target).
    struct KeyOrder {
        using is_transparent = void;
        bool operator()(KeyView a, KeyView b) const {
            using Unit = std::make_unsigned_t<std::filesystem::path::value_type>;
            const std::size_t common = a.size() < b.size() ? a.size() : b.size();
            for (std::size_t i = 0; i < common; ++i)
                if (a[i] != b[i]) return static_cast<Unit>(a[i]) < static_cast<Unit>(b[i]);
            return a.size() < b.size();
        }
    };

    // The key of a path: its text where that is normal already, as the
    // engine's paths mostly are (no copy then), else its normal form, kept
    // in `normal`.
    static KeyView key_of(const std::filesystem::path& path, Key& normal);
    static KeyView parent_of(KeyView key);
    std::shared_ptr<Node> new_node();
    // The entry a key names, a link at its end followed when `follow`;
    // nullptr when there is none. `found_at`: the key it was found at.
    const Entry* find(KeyView key, bool follow, Key* found_at = nullptr) const;
    // Throws unless the folder of `key` is a folder.
    void need_parent(KeyView key, const std::filesystem::path& path, const char* doing) const;

#ifdef MARROWGATE_SINGLE_THREAD
    // The fuzz build's engine has no thread beside the run: nothing to lock.
    struct NoMutex {
        void lock() {}
        void unlock() {}
    };
    mutable NoMutex mutex_;
#else
    mutable std::mutex mutex_;
#endif
    std::map<Key, Entry, KeyOrder> entries_;
    std::set<std::uint64_t> locked_;  // the numbers of the files locked
    std::int64_t clock_ = 0;
    std::uint64_t numbers_ = 0;
    std::uint64_t unique_folders_ = 0;
};

}  // namespace marrowgate::test
