// The frame every sort run follows: status start, a collection pass that
// gathers the distinct keys, a creation pass that starts one output library
// file per key, a copy pass that appends every part block to the file of its
// key, a closing pass that ends every file with "*END*", and status end.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "library/FileSystem.h"
#include "library/Progress.h"
#include "library/RunWarnings.h"
#include "library/StatusDisplay.h"

namespace marrowgate {

struct Module1;

// A run that cannot go on for a reason other than a file operation.
class RunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An input the run would remove, replace or write: the run writes nothing.
class InputRefused : public RunError {
public:
    using RunError::RunError;
};

// The user asked the run to stop.
class RunStopped : public std::runtime_error {
public:
    RunStopped() : std::runtime_error("The run was stopped. Nothing was changed.") {}
};

struct OutputSummary {
    std::string key;
    std::filesystem::path file;
    long long blocks = 0;
};

// Why a part was placed in no file.
enum class Unplaced {
    DecalNotInLibrary,     // its first decal is not in the decal library
    NoDecalLibrary,        // the key needs a decal library and none was chosen
    DecalWithoutPadCount,  // the decal's header line in the decal library holds no pad count
};
inline constexpr std::size_t kUnplacedReasons = 3;

struct RunResult {
    enum class Outcome {
        Done,
        Failed,   // a file could not be read or written, or the input is wrong
        Busy,     // another run works in the application folder, or in its lib or tmp
        Refused,  // an input is one of the files the run removes, replaces or writes
        Stopped,  // the user asked the run to stop
    };
    bool ok = true;
    Outcome outcome = Outcome::Done;
    std::string error;            // why the run stopped, naming the file
    std::string key;              // the key's name on the command line ("pad-count")
    std::string key_title;        // and in the window ("PCB Decal Pads Number")
    std::vector<std::filesystem::path> inputs;  // the part-type files, in order
    std::filesystem::path decal_library;        // the one chosen, if any
    std::filesystem::path lib_folder;
    std::string format;           // marker line of the outputs
    std::vector<OutputSummary> outputs;
    RunWarnings warnings;         // also in the report, which every run writes
    long long parts = 0;          // part blocks met in the copy pass
    long long parts_written = 0;  // of them, written into a library file
    std::array<long long, kUnplacedReasons> unplaced{};  // of them, placed in no file, by why
    long long earlier_files = 0;  // files of lib this run did not write
};

// How one sort run finds the key of a part.
class KeyRule {
public:
    virtual ~KeyRule() = default;
    // The key's name on the command line and in the window.
    virtual std::string name() const = 0;
    virtual std::string title() const = 0;
    virtual std::size_t capacity() const = 0;
    // The list files, relative to the application folder.
    virtual std::filesystem::path first_list_file() const = 0;
    virtual std::filesystem::path second_list_file() const = 0;
    // Whether the collection pass shows "First pass..." with its percentage.
    virtual bool shows_first_pass() const { return false; }
    // Work done once before the collection pass (reading the decal library).
    // `check_stop` is called as it reads (it throws RunStopped where the user
    // asked the run to stop).
    virtual void prepare(FileSystem&, RunResult&, const std::function<void()>& /*check_stop*/) {}
    // The key of a part header line, made safe for a file name; nothing when
    // the part can be placed in no file (then `looked_up` says what was sought).
    // Where the collection pass shows no progress, its files are read side by
    // side: key_of is then called from two threads at once.
    virtual std::optional<std::string> key_of(std::string_view header, std::string& looked_up) const = 0;
    // Why a part that key_of placed nowhere, having looked up `looked_up`,
    // was placed nowhere.
    virtual Unplaced why_unplaced(std::string_view) const { return Unplaced::DecalNotInLibrary; }
    // The bytes of a header line that its key is made from, where equal bytes
    // always give the same key (or none): the run then works a key out once
    // for each distinct value instead of once for every part. Nothing where
    // the rule has no such bytes.
    virtual std::optional<std::string_view> key_source(std::string_view) const { return std::nullopt; }
};

// Runs the frame. Failures are returned in the result, never thrown; the
// hourglass is released whatever happens. The run holds the locks of the
// application folder, lib and tmp throughout (links followed: two
// application folders that share a lib exclude each other), writes its
// files in folders of its own and puts them in place only when all are
// complete and on the disk: a run that does not finish changes no file.
RunResult run_frame(Module1& state, KeyRule& rule, StatusDisplay& status, FileSystem& files);


// The marker line of a run's outputs: the one marker of the listed files (V4
// where none was found). Throws RunError naming each file and its marker when
// they differ: one library file cannot hold two formats.
std::string run_format(const Module1& state);

// The report every run leaves in the application folder: what it read, how
// it ended, and every warning.
std::filesystem::path run_report_path(const std::filesystem::path& application_folder);

// The file whose lock a run holds in each folder it writes (the application
// folder, lib, tmp).
std::filesystem::path run_lock_path(const std::filesystem::path& folder);

}  // namespace marrowgate
