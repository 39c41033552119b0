// The four sort runs written as plain passes, one line at a time, the way the
// runs are described step by step: every output library file is opened for
// appending and closed again for every part block, and for every part (in the
// collection pass and again in the copy pass) the decal library is read from
// its first line to its last. It shares no code with the engine's runs: the
// key of a header line and the lines of a decal library are read as the tests'
// library model reads them (tests/support/LibraryModel.h). The benchmark
// times it as the cost the engine avoids, and checks that both write the same
// files.
//
// It follows the same sorting rules as the engine where the plain passes would
// lose or misplace data; each rule is stated where it applies in LiteralSort.cpp.
#pragma once

#include <stdexcept>

#include "sort/Sorts.h"

namespace marrowgate {
struct Module1;
}

namespace marrowgate::bench {

// A key table that would grow beyond its capacity.
class LiteralKeyTableFull : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Sorts the listed files of `state` (and, for the pad count, its decal file)
// into lib/, and empties the list files, under state.Application_Folder. The
// outputs begin with the marker line of the first listed file (V4 when none
// is recorded). Throws std::runtime_error naming the file that cannot be
// opened or written, and LiteralKeyTableFull.
void literal_sort(const Module1& state, SortKey key);

}  // namespace marrowgate::bench
