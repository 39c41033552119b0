#include "check/DuplicateBlocks.h"

#include <algorithm>
#include <functional>
#include <queue>
#include <utility>

#include "keys/Hash.h"

namespace marrowgate {

namespace {

// The name's hash; an empty view may point nowhere, which the hash's
// copy of its last bytes must not be given.
std::uint64_t name_hash(std::string_view name) { return name.empty() ? hash_name("") : hash_name(name); }

}  // namespace

void DuplicateBlocks::add(std::string_view name, std::uint64_t block) {
    if (chunks_.empty() || chunks_.back().size() == kChunk) {
        chunks_.emplace_back();
        chunks_.back().reserve(kChunk);
    }
    chunks_.back().push_back(Record{name_hash(name), block});
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
    for (auto& chunk : chunks_) std::sort(chunk.begin(), chunk.end(), before);
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
    return !involved_.empty();
}

const DuplicateBlocks::Involved* DuplicateBlocks::lookup(std::string_view name) const {
    if (involved_.empty()) return nullptr;
    const std::uint64_t hash = name_hash(name);
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
