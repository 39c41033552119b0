#include "check/DuplicateBlocks.h"

#include <algorithm>
#include <functional>
#include <queue>
#include <utility>

#include "keys/Hash.h"

namespace marrowgate {

void DuplicateBlocks::add(std::string_view name, std::uint64_t block) {
    if (chunks_.empty() || chunks_.back().size() == kChunk) {
        chunks_.emplace_back();
        chunks_.back().reserve(kChunk);
    }
    chunks_.back().push_back(Record{hash_name(name), block});
}

// Sorts a chunk by name hash, then block hash: two passes of a byte each
// put it in order of the names' top sixteen bits, which leaves about one
// record a run; the runs of more are sorted as they are.
void DuplicateBlocks::sort_chunk(std::vector<Record>& chunk, std::vector<Record>& scratch) {
    scratch.resize(chunk.size());
    for (const int shift : {48, 56}) {
        std::size_t counts[257] = {};
        for (const auto& record : chunk) ++counts[((record.name >> shift) & 0xFF) + 1];
        for (int d = 0; d < 256; ++d) counts[d + 1] += counts[d];
        for (const auto& record : chunk) scratch[counts[(record.name >> shift) & 0xFF]++] = record;
        chunk.swap(scratch);
    }
    const auto before = [](const Record& a, const Record& b) {
        return a.name != b.name ? a.name < b.name : a.block < b.block;
    };
    for (auto run = chunk.begin(); run != chunk.end();) {
        auto end = run + 1;
        while (end != chunk.end() && end->name >> 48 == run->name >> 48) ++end;
        if (end - run > 1) std::sort(run, end, before);
        run = end;
    }
}

std::size_t DuplicateBlocks::record_bytes() const {
    std::size_t bytes = 0;
    for (const auto& chunk : chunks_) bytes += chunk.capacity() * sizeof(Record);
    return bytes;
}

bool DuplicateBlocks::find() {
    const auto before = [](const Record& a, const Record& b) {
        return a.name != b.name ? a.name < b.name : a.block < b.block;
    };
    {
        std::vector<Record> scratch;
        for (auto& chunk : chunks_) sort_chunk(chunk, scratch);
    }
    // The chunks merged in order of name hash: (record, chunk, position).
    using Head = std::pair<Record, std::pair<std::size_t, std::size_t>>;
    const auto later = [&](const Head& a, const Head& b) { return before(b.first, a.first); };
    std::priority_queue<Head, std::vector<Head>, decltype(later)> heads(later);
    for (std::size_t c = 0; c < chunks_.size(); ++c)
        if (!chunks_[c].empty()) heads.push({chunks_[c][0], {c, 0}});
    bool any = false;
    Record last{};
    while (!heads.empty()) {
        const auto [record, at] = heads.top();
        heads.pop();
        if (at.second + 1 < chunks_[at.first].size())
            heads.push({chunks_[at.first][at.second + 1], {at.first, at.second + 1}});
        if (any && record.name == last.name) {
            if (involved_.empty() || involved_.back().name != record.name) involved_.push_back({record.name, false});
            if (record.block != last.block) involved_.back().differ = true;
        }
        any = true;
        last = record;
    }
    chunks_ = {};
    for (const Involved& name : involved_) filter_.add(name.name);
    return !involved_.empty();
}

const DuplicateBlocks::Involved* DuplicateBlocks::lookup(std::string_view name) const {
    if (involved_.empty()) return nullptr;
    const std::uint64_t hash = hash_name(name);
    if (!filter_.may_hold(hash)) return nullptr;
    const auto at = std::lower_bound(involved_.begin(), involved_.end(), hash,
                                     [](const Involved& known, std::uint64_t h) { return known.name < h; });
    return at != involved_.end() && at->name == hash ? &*at : nullptr;
}

bool DuplicateBlocks::involved(std::string_view name) const { return lookup(name) != nullptr; }

bool DuplicateBlocks::blocks_differ(std::string_view name) const {
    const Involved* found = lookup(name);
    return found && found->differ;
}

}  // namespace marrowgate
