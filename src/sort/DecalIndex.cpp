#include "sort/DecalIndex.h"

#include <cstdint>

#include "io/RunError.h"
#include "text/LineReader.h"
#include "text/PartHeader.h"

namespace marrowgate {

void DecalIndex::load(FileSystem& files, const std::filesystem::path& path, RunWarnings& warnings,
                      const std::function<void()>& check, const DecalEvents* events) {
    LineReader lines(files, path);
    if (check) lines.check_between_chunks(check);
    std::string_view line;
    long long line_number = 0;
    std::size_t passed = 0;  // lines that are no decal header lines
    while (lines.next_header_line(line, &passed)) {
        line_number += static_cast<long long>(passed) + 1;
        passed = 0;
        // Its runs of spaces count as one.
        Words<11> words{};
        const std::size_t cuts = split_words_collapsed<11>(line, words);
        if (lines.held() != LineReader::Held::Whole && cuts < 10) {
            throw RunError(display_path(path) + ", line " + with_thousands(line_number) +
                           ": the decal header line is longer than " +
                           with_thousands(static_cast<long long>(LineReader::kLongestHeld)) +
                           " bytes and its pad count (word 9) does not end within them. Nothing was written.");
        }
        if (cuts < 10 && events) {
            if (!words[1].empty()) passed_.insert(words[1]);
            events->without_pad_count(words[1], line_number);
            continue;
        }
        if (cuts < 10) {
            const std::string whose = words[1].empty() ? "" : " of " + std::string(words[1]);
            warnings.add(WarningKind::DecalLibrary, display_path(path) + ", line " + std::to_string(line_number) +
                               ": the decal header line" + whose + " has too few fields to hold a pad count; passed over.");
            if (!words[1].empty()) passed_.insert(words[1]);
            continue;
        }
        const auto [position, added] = names_.insert(words[1]);
        if (added) {
            pads_.emplace_back(words[9]);
            continue;
        }
        const std::string& first_pads = pads_[position];
        if (events) {
            events->defined_again(words[1], first_pads, words[9], line_number);
        } else if (first_pads != words[9]) {
            warnings.add(WarningKind::DecalLibrary, display_path(path) + ", line " + std::to_string(line_number) + ": the decal " +
                               std::string(words[1]) + " is defined again (pad count " + std::string(words[9]) +
                               "); its first definition (pad count " + first_pads + ") is used.");
        } else {
            warnings.add(WarningKind::DecalLibrary, display_path(path) + ", line " + std::to_string(line_number) + ": the decal " +
                               std::string(words[1]) + " is defined again; its first definition is used.");
        }
    }
}

std::optional<std::string_view> DecalIndex::pad_count(std::string_view decal_name) const {
    const std::uint32_t position = names_.find(decal_name);
    if (position == StringIndex::kNone) return std::nullopt;
    return std::string_view(pads_[position]);
}

}  // namespace marrowgate
