// Names met more than once, among files read side by side: whichever files
// and however often they come, every such name and no other must be found,
// wherever its hash falls in the order of all hashes, and however little it
// differs from another.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keys/Hash.h"
#include "run/DuplicateNames.h"

namespace marrowgate {
namespace {

// The first name after `from` whose hash begins with 17 zero bits, or with
// 17 one bits: at the very start or end of the order of all hashes.
std::string name_at_end(bool last, int& from) {
    for (;; ++from) {
        std::string name = "END" + std::to_string(from);
        const std::uint64_t top = hash_name(name) >> 47;
        if (top == (last ? 0x1FFFFu : 0u)) {
            ++from;
            return name;
        }
    }
}

TEST(DuplicateNames, FindsEveryNameMetTwiceAndNoOther) {
    constexpr int kFiles = 3, kNames = 60000;
    std::vector<std::vector<std::string>> files(kFiles);
    std::vector<std::string> twice, once;
    for (int i = 0; i < kNames; ++i) {
        const std::string name = "P" + std::to_string(i);
        files[i % kFiles].push_back(name);
        if (i % 7 == 0) files[(i + 1) % kFiles].push_back(name);  // again, in another file
        if (i % 11 == 0) files[i % kFiles].push_back(name);       // again, in the same file
        (i % 7 == 0 || i % 11 == 0 ? twice : once).push_back(name);
    }
    // Names alike but for one byte, at every place of names of every length
    // up to 24: each met once.
    for (std::size_t length = 1; length <= 24; ++length) {
        for (std::size_t at = 0; at <= length; ++at) {
            std::string name(length, 'A');
            if (at < length) name[at] = 'B';
            files[1].push_back(name);
            once.push_back(name);
        }
    }
    int from = 0;
    for (const bool last : {false, true}) {
        const std::string end_twice = name_at_end(last, from), end_once = name_at_end(last, from);
        files[0].push_back(end_twice);
        files[2].push_back(end_twice);
        files[1].push_back(end_once);
        twice.push_back(end_twice);
        once.push_back(end_once);
    }

    std::vector<std::size_t> parts;
    for (const auto& file : files) parts.push_back(file.size());
    DuplicateNames names(parts);
    for (std::size_t f = 0; f < files.size(); ++f)
        for (const auto& name : files[f]) names.add_name(f, name);
    names.find();
    for (const auto& name : twice) {
        const DuplicateNames::Name* found = names.candidate(name);
        ASSERT_NE(found, nullptr) << name;
        EXPECT_EQ(found->hash, hash_name(name));
    }
    for (const auto& name : once) EXPECT_EQ(names.candidate(name), nullptr) << name;
}

}  // namespace
}  // namespace marrowgate
