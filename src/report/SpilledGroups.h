// The groups of warnings that memory did not keep (past the first thousand
// of a kind), worked out for the report from the warnings the run kept on
// disk, in memory bounded by a share of them: the warnings of the groups not
// kept are spread over scratch files by a hash of their group, each file is
// grouped on its own, and the groups of all files are merged in the order
// their first warning was met.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "report/RunWarnings.h"

namespace marrowgate {

class SpilledGroups {
public:
    // About this many bytes of warnings to a scratch file; at most this many files.
    static constexpr std::uint64_t kPartitionBytes = std::uint64_t{4} << 20;
    static constexpr std::size_t kMostPartitions = 64;

    // Groups the warnings of `kind` whose group is not kept in `warnings`;
    // nothing where every group is kept. Throws FileError.
    SpilledGroups(const RunWarnings& warnings, WarningFiles& files, WarningKind kind);

    // The groups not kept.
    long long count() const { return count_; }
    // Hands each of them to `out`, in the order their first warning was met,
    // with its title, its count and its first examples. Throws FileError.
    void each(const std::function<void(const WarningGroup&)>& out);

private:
    std::filesystem::path partition(std::size_t p, const char* stage) const;
    const RunWarnings& warnings_;
    WarningFiles& files_;
    WarningKind kind_;
    std::size_t partitions_ = 0;
    long long count_ = 0;
};

}  // namespace marrowgate
