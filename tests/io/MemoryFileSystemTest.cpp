// The layer held in memory, on which the fuzz target judges the engine, does
// what the disk does: the same operations on both give the same answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "io/Paths.h"
#include "support/MemoryFileSystem.h"
#include "support/TestSupport.h"

namespace marrowgate::test {
namespace {

namespace fs = std::filesystem;
using Kind = FileEntry::Kind;

// Carries out one sequence of operations in the folder d of `root` and tells
// what each one answered, in words that do not depend on the layer.
std::string answers(FileSystem& files, const fs::path& root, bool links) {
    std::string said;
    const auto note = [&](const std::string& what) { said += what + "\n"; };
    const auto attempt = [&](const std::string& what, auto&& operation) {
        try {
            operation();
            note(what + ": done");
        } catch (const FileError& error) {
            note(what + ": " + error.reason().substr(0, error.reason().find(':')));
        }
    };
    const auto write = [&](const fs::path& path, const std::string& bytes, WriteMode mode) {
        auto out = files.open_write(path, mode);
        out->write(bytes.data(), bytes.size());
        out->close();
    };
    const auto read_all = [&](InputFile& in) {
        std::string bytes;
        char buffer[3];
        while (const std::size_t got = in.read(buffer, sizeof buffer)) bytes.append(buffer, got);
        return bytes;
    };
    const auto read = [&](const fs::path& path) { return read_all(*files.open_read(path)); };
    const auto kind = [&](const fs::path& path, bool follow) {
        return std::to_string(static_cast<int>(files.status(path, follow).kind));
    };
    const fs::path d = root / "d";

    attempt("folder in a missing folder", [&] { files.make_folder(d / "x" / "y"); });
    files.make_folder(d);  // there already
    attempt("write in a missing folder", [&] { write(d / "x" / "f", "x", WriteMode::Truncate); });
    write(d / "a", "old", WriteMode::Truncate);
    const FileEntry first = files.status(d / "a", true);
    write(d / "a", "er", WriteMode::Append);
    note("size " + std::to_string(files.status(d / "a", true).size) + ", changed " +
         std::to_string(files.status(d / "a", true) != first));
    std::unique_ptr<InputFile> opened;
#ifndef _WIN32
    opened = files.open_read(d / "a");  // Windows refuses to move a file over an open one
#endif
    note("second name " + std::to_string(files.add_name(d / "a", d / "k")));
    note("same file " + std::to_string(files.identity(d / "a") == files.identity(d / "k")));
    write(d / "n", "new", WriteMode::Truncate);
    files.replace(d / "n", d / "a");
    if (opened) note("opened before the move: " + read_all(*opened));
    note("a " + read(d / "a") + ", k " + read(d / "k") + ", n " + kind(d / "n", false));
    files.add_name(d / "a", d / "m");
    write(d / "m", "!", WriteMode::Append);
    note("a after a write to its second name: " + read(d / "a"));
    attempt("read a folder", [&] { files.open_read(d); });
    attempt("read a missing file", [&] { files.open_read(d / "none"); });
    attempt("move a missing file", [&] { files.replace(d / "none", d / "a"); });
    if (links) {
        note("link " + kind(d / "l", false) + " to " + kind(d / "l", true) + ", same file " +
             std::to_string(files.identity(d / "l") == files.identity(d / "a")));
        attempt("write through a link", [&] { write(d / "l", "x", WriteMode::Truncate); });
        write(d / "n", "over the link", WriteMode::Truncate);
        files.replace(d / "n", d / "l");
        note("the link replaced: " + kind(d / "l", false) + " " + read(d / "l") + ", a " + read(d / "a"));
    }
    const auto listing = [&](const fs::path& folder) {
        const auto names = files.names_in(folder);
        if (!names) return std::string("none");
        std::vector<std::string> sorted;
        for (const auto& name : *names) sorted.push_back(utf8_from_path(name));
        std::sort(sorted.begin(), sorted.end());
        std::string text;
        for (const auto& name : sorted) text += name + " ";
        return text;
    };
    note("names in d: " + listing(d) + "in a missing folder: " + listing(d / "x") + ", in a file: " + listing(d / "a"));
    {
        const auto held = files.lock(d / "lock", true);
        const bool again = files.lock(d / "lock", true) != nullptr;
        note("lock " + std::to_string(held != nullptr) + ", again " + std::to_string(again));
    }
    note("after it is let go " + std::to_string(files.lock(d / "lock", true) != nullptr));
#ifndef _WIN32
    {
        // A lock file removed while it is held: the next one made is free.
        // (Windows removes an open file only when its last handle closes.)
        const auto held = files.lock(d / "lock", true);
        files.remove(d / "lock");
        note("a lock file made again after it was removed: " + std::to_string(files.lock(d / "lock", true) != nullptr));
    }
#endif
    // Folders of new files: each new, with the name asked for and six
    // characters more; only an empty folder goes.
    const fs::path one = files.make_unique_folder(d, "u-");
    const fs::path two = files.make_unique_folder(d, "u-");
    note("unique folders " + kind(one, false) + kind(two, false) + ", differ " + std::to_string(one != two) +
         ", named " + std::to_string(one.filename().string().size()) + " " + one.filename().string().substr(0, 2));
    attempt("unique folder in a missing folder", [&] { files.make_unique_folder(d / "x", "u-"); });
    write(one / "f", "x", WriteMode::Truncate);
    files.remove_empty_folder(one);
    files.remove_empty_folder(two);
    files.remove_empty_folder(d / "a");
    note("after removing empty folders: " + kind(one, false) + kind(two, false) + kind(d / "a", false));
    files.sync(std::vector<fs::path>{one / "f", d});
    attempt("sync a missing file", [&] { files.sync(std::vector<fs::path>{d / "none"}); });
#ifndef _WIN32
    files.set_permissions(d / "a", 0600);
    note("permissions " + std::to_string(files.permissions(d / "a").value_or(0)) + ", of a folder " +
         std::to_string(files.permissions(d).has_value()));
    attempt("permissions of a missing file", [&] { files.set_permissions(d / "none", 0600); });
#endif
    opened.reset();
    files.remove(d);
    files.remove(d);
    note("removed: " + kind(d, false) + kind(d / "a", false));
    return said;
}

TEST(MemoryFileSystem, AnswersAsTheDiskDoes) {
    // A folder d holding a link l to d/a, which is not there yet.
    TempDir dir;
    fs::create_directory(dir / "d");
    std::error_code ec;
    fs::create_symlink(dir / "d" / "a", dir / "d" / "l", ec);  // where the system allows links
    const bool links = !ec;
    MemoryFileSystem memory;
    const fs::path root = fs::path("/") / "t";
    memory.make_folder(root);
    memory.make_folder(root / "d");
    if (links) memory.put_link(root / "d" / "l", root / "d" / "a");
    EXPECT_EQ(answers(memory, root, links), answers(real_file_system(), dir.path(), links));
}

#ifdef __linux__
// Putting files on the disk opens each of them (or one for each file system,
// where they are many) and lets every descriptor go again: the window makes
// run after run in one process.
TEST(RealFileSystem, SyncLetsGoOfEveryDescriptor) {
    TempDir dir;
    std::vector<fs::path> few = {dir.path()}, many;
    for (int i = 0; i < 12; ++i) {
        write_file(dir / std::to_string(i), "x");
        (i < 2 ? few : many).push_back(dir / std::to_string(i));
    }
    const auto open_now = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); };
    const auto before = open_now();
    real_file_system().sync(few);   // a folder, then files one by one
    real_file_system().sync(many);  // once for their file system
    EXPECT_EQ(open_now(), before);
}
#endif

}  // namespace
}  // namespace marrowgate::test
