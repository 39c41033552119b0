// The check on generated libraries with a fault of every kind planted in
// them: each planted fault is found, in its group, and nothing else is. The
// libraries come clean from the benchmark's generator (pins as many as
// pads, one decal a part, no name twice); the test then plants the faults by
// editing lines and keeps what it planted as the truth to hold the check to.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "check/CheckRun.h"
#include "check/DuplicateBlocks.h"
#include "generator/LibraryGenerator.h"
#include "keys/Hash.h"
#include "report/RunText.h"
#include "support/LibraryModel.h"
#include "support/TestSupport.h"

namespace marrowgate::test {
namespace {

namespace fs = std::filesystem;
using Text = std::vector<std::string>;

Text lines_of(const fs::path& path) {
    const std::string bytes = read_file(path);
    Text lines;
    for (const auto line : model_lines(bytes)) lines.emplace_back(line);
    return lines;
}

std::vector<std::size_t> headers_of(const Text& lines) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!model_is_header(lines[i])) continue;
        at.push_back(i);
        while (i < lines.size() && !lines[i].empty()) ++i;
    }
    return at;
}

// The header's word 2, the decals, and where it lies.
std::pair<std::size_t, std::size_t> decal_span(const std::string& header) {
    const std::size_t from = header.find(' ') + 1;
    return {from, header.find(' ', from) - from};
}
std::string decals_of(const std::string& header) {
    const auto [from, size] = decal_span(header);
    return header.substr(from, size);
}
void set_decals(std::string& header, const std::string& decals) {
    const auto [from, size] = decal_span(header);
    header.replace(from, size, decals);
}
std::string name_of(const std::string& header) { return header.substr(0, header.find(' ')); }
// The block starting at `header`, through its empty line.
Text block_at(const Text& lines, std::size_t header) {
    Text block;
    for (std::size_t i = header; i < lines.size(); ++i) {
        block.push_back(lines[i]);
        if (lines[i].empty()) break;
    }
    return block;
}
std::size_t line_starting(const Text& lines, std::size_t from, const std::string& start) {
    while (!lines[from].starts_with(start)) ++from;
    return from;
}

// What was planted: per kind, how many findings and (grouped kinds) the group titles.
struct Truth {
    std::map<WarningKind, long long> count;
    std::map<WarningKind, std::set<std::string>> groups;
    void add(WarningKind kind, const std::string& group = {}) {
        ++count[kind];
        if (!group.empty()) groups[kind].insert(group);
    }
};

class PlantedFaults : public ::testing::TestWithParam<std::string> {};

TEST_P(PlantedFaults, EveryPlantedFaultIsFoundAndNothingElse) {
    const std::string version = GetParam();
    const bool fields = version == "V9";
    TempDir dir;
    bench::LibraryShape shape;
    shape.seed = 7;
    shape.files = 2;
    shape.parts_per_file = 200;
    shape.decal_names = 30;
    shape.decals = 50;
    shape.max_pads = 48;  // the generator writes at most 48 pins a gate
    shape.irregular = {};
    shape.irregular.header_marks_in_body = 0;
    const auto generated = bench::generate_libraries(shape, dir.path());
    const fs::path& decal_file = generated.decal_file;
    const auto pads = model_decals(read_file(decal_file));

    Text a = lines_of(generated.part_files[0]), b = lines_of(generated.part_files[1]);
    Truth truth;
    for (Text* file : {&a, &b}) {
        (*file)[0] = "*PADS-LIBRARY-PART-TYPES-" + version + "*";
        for (const std::size_t h : headers_of(*file)) {  // one decal a part
            const std::string decals = decals_of((*file)[h]);
            set_decals((*file)[h], decals.substr(0, decals.find(':')));
        }
    }
    const std::vector<std::size_t> ha = headers_of(a);
    const auto pins_of = [&](std::size_t header) {
        return std::stoi(model_field(a[line_starting(a, header, "GATE ")], 3).data());
    };
    const auto pads_of = [&](std::size_t header) { return pads.at(decals_of(a[header])); };
    // Blocks copied into the second file before any fault is planted in them.
    Text same = block_at(a, ha[6]), stamped = block_at(a, ha[7]), edited = block_at(a, ha[8]);
    stamped[1] = "TIMESTAMP 2030.01.01.00.00.00";
    stamped.insert(stamped.end() - 1, "TIMESTAMP 2031.01.01.00.00.00");  // one not after the header
    edited[line_starting(edited, 0, "\"Cost\"")] = "\"Cost\" 9.99";
    truth.add(WarningKind::NameIdentical, "part " + name_of(same[0]));
    truth.add(WarningKind::NameSameButTimestamp, "part " + name_of(stamped[0]));
    truth.add(WarningKind::NameDiffers, "part " + name_of(edited[0]));
    b.insert(b.begin() + 2, edited.begin(), edited.end());
    b.insert(b.begin() + 2, stamped.begin(), stamped.end());
    b.insert(b.begin() + 2, same.begin(), same.end());

    // From the last line up, so that the line numbers above stay.
    a.insert(a.begin() + static_cast<std::ptrdiff_t>(ha[9]), "*REMARK* a line between two blocks");
    truth.add(WarningKind::PassedOver, display_path(generated.part_files[0]));
    a.erase(a.begin() + static_cast<std::ptrdiff_t>(line_starting(a, ha[5], "\"Supplier\"")));  // 11 attributes of 12
    if (fields) truth.add(WarningKind::HeaderCounts);
    std::string alternate;  // a decal whose pad count is not the part's pin count
    for (const auto& [name, count] : pads)
        if (count != pads_of(ha[4])) alternate = name;
    set_decals(a[ha[4]], decals_of(a[ha[4]]) + ":" + alternate);
    if (fields) truth.add(WarningKind::PinsAlternateDecal, "decal " + alternate + " (" + pads.at(alternate) + " pads)");
    const std::size_t gate = line_starting(a, ha[3], "GATE ");
    const int pins = pins_of(ha[3]);
    a[gate] = "GATE 1 " + std::to_string(pins + 1) + " 0";
    a.insert(a.begin() + static_cast<std::ptrdiff_t>(gate) + 2 + pins, "99 0 U EXTRA");
    if (fields) truth.add(WarningKind::PinsFirstDecal, "decal " + decals_of(a[ha[3]]) + " (" + pads_of(ha[3]) + " pads)");
    set_decals(a[ha[2]], decals_of(a[ha[2]]) + ":GHOST_ALT");
    truth.add(WarningKind::MissingDecal, "decal GHOST_ALT");
    set_decals(a[ha[1]], "NOPE_DECAL");
    truth.add(WarningKind::MissingDecal, "decal NOPE_DECAL");
    b.erase(b.end() - 2, b.end());  // the last block's empty line and "*END*"
    truth.add(WarningKind::UnclosedPart);
    if (!fields) truth.add(WarningKind::NotChecked);

    Text decals = lines_of(decal_file);
    const auto& [twice, twice_pads] = *pads.begin();
    const auto& [again, again_pads] = *pads.rbegin();
    decals.insert(decals.end() - 1, {twice + " M 0 0 0 2 1 0 " + twice_pads + "1 1 0",
                                     again + " M 0 0 0 2 1 0 " + again_pads + " 1 0", "SHORTY M 0 0 0 2 1"});
    truth.add(WarningKind::DecalOtherPads);
    truth.add(WarningKind::DecalSamePads);
    truth.add(WarningKind::DecalNoPadCount);
    std::set<std::string> unused;
    for (const auto& entry : pads) unused.insert(entry.first);
    for (const Text* file : {&a, &b})
        for (const std::size_t h : headers_of(*file)) {
            const std::string names = decals_of((*file)[h]);
            for (std::size_t from = 0; from <= names.size();) {
                const std::size_t colon = std::min(names.find(':', from), names.size());
                unused.erase(names.substr(from, colon - from));
                from = colon + 1;
            }
        }
    truth.count[WarningKind::DecalUnused] = static_cast<long long>(unused.size());
    write_file(generated.part_files[0], crlf(a));
    write_file(generated.part_files[1], crlf(b));
    write_file(decal_file, crlf(decals));

    CheckResult result;
    run_check({generated.part_files, decal_file, a[0]}, real_file_system(), result, nullptr);
    EXPECT_EQ(result.parts, 2 * shape.parts_per_file + 3);
    for (std::size_t k = 0; k < kWarningKinds; ++k) {
        const auto kind = static_cast<WarningKind>(k);
        const WarningTally& tally = result.of(severity_of(kind)).of(kind);
        SCOPED_TRACE(warning_kind_title(kind, tally));
        EXPECT_EQ(tally.count, truth.count[kind]);
        if (!warnings_grouped(kind)) continue;
        std::set<std::string> titles;
        for (const auto& group : tally.kept) titles.insert(group.title);
        EXPECT_EQ(titles, truth.groups[kind]);
    }
    // The first differing line is named: the edited attribute.
    const auto& differs = result.of(Severity::Warning).of(WarningKind::NameDiffers).kept;
    ASSERT_EQ(differs.size(), 1u);
    EXPECT_NE(differs[0].examples[0].find("\"Cost\" 9.99"), std::string::npos) << differs[0].examples[0];
}

INSTANTIATE_TEST_SUITE_P(Versions, PlantedFaults, ::testing::Values("V9", "V4"));

// The first pass hashes a block in the pieces the reader hands out: every
// cut gives the hash of the whole, and a byte changed anywhere changes it.
TEST(StreamHash, SameHoweverCutAndEveryByteCounts) {
    std::string bytes;
    for (int i = 0; i < 100; ++i) bytes += static_cast<char>('!' + i % 90);
    StreamHash whole;
    whole.add(bytes);
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        StreamHash pieces;
        for (std::size_t at = 0; at < bytes.size(); at += cut + 1) pieces.add(std::string_view(bytes).substr(at, cut + 1));
        ASSERT_EQ(pieces.value(), whole.value()) << cut;
        if (cut == bytes.size()) break;
        std::string changed = bytes;
        changed[cut] ^= 0x40;
        StreamHash other;
        other.add(changed);
        EXPECT_NE(other.value(), whole.value()) << cut;
    }
}

// A name met twice is found wherever its records fall, in one chunk of
// records or in chunks far apart, with the same block or another; no other
// name is.
TEST(DuplicateBlocks, FindsNamesMetTwiceInOneChunkOrFarApart) {
    EXPECT_FALSE(DuplicateBlocks().find());
    constexpr std::size_t kChunk = DuplicateBlocks::kChunk;
    const std::size_t parts = 2 * kChunk + 4000;
    const std::size_t apart[] = {1, kChunk + 3, 2 * kChunk - 5};
    DuplicateBlocks blocks;
    std::map<std::size_t, bool> twice;  // the part met again: whether its blocks differ
    for (std::size_t i = 0; i < parts; ++i) {
        blocks.add("N" + std::to_string(i), i);
        const std::size_t d = apart[i / 1009 % 3];
        if (i % 1009 != 0 || i < d) continue;
        const bool differ = i / 1009 % 2 == 1;
        ASSERT_TRUE(twice.emplace(i - d, differ).second) << i;
        blocks.add("N" + std::to_string(i - d), differ ? i + parts : i - d);
    }
    ASSERT_TRUE(blocks.find());
    EXPECT_EQ(blocks.names_met_twice(), twice.size());
    for (std::size_t i = 0; i < parts; ++i) {
        const auto it = twice.find(i);
        ASSERT_EQ(blocks.involved("N" + std::to_string(i)), it != twice.end()) << i;
        ASSERT_EQ(blocks.blocks_differ("N" + std::to_string(i)), it != twice.end() && it->second) << i;
    }
}

}  // namespace
}  // namespace marrowgate::test
