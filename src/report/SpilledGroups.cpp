#include "report/SpilledGroups.h"

#include <algorithm>
#include <memory>
#include <queue>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "io/FileSystem.h"
#include "report/WarningRecords.h"

namespace marrowgate {

namespace {

constexpr std::size_t kPiece = std::size_t{16} << 10;

// A scratch file written a piece at a time.
class Scratch {
public:
    Scratch(FileSystem& files, const std::filesystem::path& path) : out_(files.open_write(path, WriteMode::Truncate)) {}
    std::string& buffer() { return buffer_; }
    void flush_if_full() {
        if (buffer_.size() >= kPiece) flush();
    }
    void close() {
        flush();
        out_->close();
    }

private:
    void flush() {
        out_->write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    std::unique_ptr<OutputFile> out_;
    std::string buffer_;
};

// A partition of a group's name: the high bits of a multiplied hash, so that
// the names of one partition still spread over the buckets of its table.
std::size_t partition_of(std::string_view group, std::size_t partitions) {
    const std::uint64_t mixed = static_cast<std::uint64_t>(std::hash<std::string_view>{}(group)) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>((mixed >> 32) % partitions);
}

struct Grouped {
    std::uint64_t first = 0;  // the number of its first warning among the kind's
    long long count = 0;
    std::string examples;  // the first ones, each a record of one field
    std::size_t kept = 0;
};

}  // namespace

std::filesystem::path SpilledGroups::partition(std::size_t p, const char* stage) const {
    return files_.folder() / (std::string(stage) + "-" + std::to_string(static_cast<int>(kind_)) + "-" +
                              std::to_string(p) + ".records");
}

SpilledGroups::SpilledGroups(const RunWarnings& warnings, WarningFiles& files, WarningKind kind)
    : warnings_(warnings), files_(files), kind_(kind) {
    if (warnings.of(kind).groups_exact) return;
    FileSystem& disk = files.files();
    partitions_ = static_cast<std::size_t>(
        std::min<std::uint64_t>(files.size(kind) / kPartitionBytes + 1, kMostPartitions));

    // The warnings of the groups not kept, spread by group.
    std::vector<Scratch> spread;
    for (std::size_t p = 0; p < partitions_; ++p) spread.emplace_back(disk, partition(p, "spread"));
    std::uint64_t number = 0;
    files.replay(kind, [&](std::string_view group, std::string_view example, std::string_view) {
        const std::uint64_t at = number++;
        if (warnings.kept(kind, group)) return;
        Scratch& to = spread[partition_of(group, partitions_)];
        put_record(to.buffer(), {at}, {group, example});
        to.flush_if_full();
    });
    for (auto& scratch : spread) scratch.close();

    // Each partition grouped on its own, its groups written in the order met.
    for (std::size_t p = 0; p < partitions_; ++p) {
        std::unordered_map<std::string, Grouped> groups;
        {
            RecordReader records(disk.open_read(partition(p, "spread")), partition(p, "spread"));
            std::uint64_t at = 0;
            std::string_view fields[2];
            while (records.next({&at, 1}, fields)) {
                auto [it, added] = groups.try_emplace(std::string(fields[0]));
                Grouped& group = it->second;
                if (added) group.first = at;
                ++group.count;
                if (group.kept < RunWarnings::kExamplesKept) {
                    put_record(group.examples, {}, {fields[1]});
                    ++group.kept;
                }
            }
        }
        disk.remove(partition(p, "spread"));
        std::vector<std::pair<const std::string*, const Grouped*>> order;
        order.reserve(groups.size());
        for (const auto& [name, group] : groups) order.emplace_back(&name, &group);
        std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.second->first < b.second->first; });
        Scratch grouped(disk, partition(p, "grouped"));
        for (const auto& [name, group] : order) {
            put_record(grouped.buffer(), {group->first, static_cast<std::uint64_t>(group->count)},
                       {*name, group->examples});
            grouped.flush_if_full();
        }
        grouped.close();
        count_ += static_cast<long long>(groups.size());
    }
}

void SpilledGroups::each(const std::function<void(const WarningGroup&)>& out) {
    // The next group of each partition; the one first met goes out first.
    struct Head {
        std::uint64_t numbers[2] = {};  // first warning, count
        std::string_view fields[2];     // name, examples
    };
    FileSystem& disk = files_.files();
    std::vector<std::unique_ptr<RecordReader>> readers;
    std::vector<Head> heads(partitions_);
    using Entry = std::pair<std::uint64_t, std::size_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> next;
    for (std::size_t p = 0; p < partitions_; ++p) {
        readers.push_back(std::make_unique<RecordReader>(disk.open_read(partition(p, "grouped")), partition(p, "grouped")));
        if (readers[p]->next(heads[p].numbers, heads[p].fields)) next.emplace(heads[p].numbers[0], p);
    }
    WarningGroup group;
    while (!next.empty()) {
        const std::size_t p = next.top().second;
        next.pop();
        const Head& head = heads[p];
        group.title = warnings_.title_of(kind_, head.fields[0]);
        group.count = static_cast<long long>(head.numbers[1]);
        group.examples.clear();
        RecordReader examples(head.fields[1]);
        std::string_view example[1];
        while (examples.next({}, example)) group.examples.emplace_back(example[0]);
        out(group);
        if (readers[p]->next(heads[p].numbers, heads[p].fields)) next.emplace(heads[p].numbers[0], p);
    }
}

}  // namespace marrowgate
