// The collection pass: the distinct keys of the listed files, in the order
// first met, into the run's key table.
#pragma once

namespace marrowgate {

struct Module1;
class FileSystem;
class KeyRule;
class KeyTable;
class Progress;
class DuplicateNames;

// Reads the listed files, adding the key of every part to `table` and its
// name to `names`. With a
// `progress`, every part is a progress step and a chance to stop. Where the
// machine has a processor to spare, several files are read side by side;
// the table, and the first failure met, are what reading them one after
// another gives.
void collection_pass(const Module1& state, const KeyRule& rule, FileSystem& files, KeyTable& table,
                     DuplicateNames& names, Progress* progress);

}  // namespace marrowgate
