// The collection pass: the distinct keys of the listed files, in the order
// first met, into the run's key table.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "run/BlockMap.h"
#include "text/LineReader.h"

namespace marrowgate {

struct RunPlan;
class FileSystem;
class KeyRule;
class KeyTable;
class Progress;
class DuplicateNames;

// Reads the plan's inputs, adding the key of every part to `table` and its
// name to `names`, and keeping each file's blocks in `maps` (one a file). Every part, and every chunk of a long line or block, is a
// chance to stop; with `shown`, every part is a step of `progress` too.
// Where the machine has a processor to spare, several files are read side
// by side (a stop asked for is then seen within 20 ms); the table, and the
// first failure met, are what reading them one after another gives.
void collection_pass(const RunPlan& plan, FileSystem& files, KeyTable& table, DuplicateNames& names,
                     std::vector<BlockMap>& maps, Progress& progress, bool shown);

// A part header line held only in part (LineReader::Held): its key, made of
// words 1 to 4, must end within what is held. Throws RunError naming the
// file and the line (`line`, or where it is 0 the line of part number
// `part`, found by reading the file again) where it does not.
void check_header_held(LineReader::Held held, std::string_view header, FileSystem& files,
                       const std::filesystem::path& file, long long line, long long part);

}  // namespace marrowgate
