// What a run did: how it ended, what it read and wrote, and its warnings.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "report/RunWarnings.h"

namespace marrowgate {

struct OutputSummary {
    std::string key;
    std::filesystem::path file;
    long long parts = 0;  // part blocks written into the file
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

}  // namespace marrowgate
