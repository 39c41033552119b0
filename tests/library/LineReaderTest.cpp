#include "library/LineReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace marrowgate {
namespace {

// Hands out its bytes a few at a time, so that line ends fall across reads.
// Steps of 1 to 3 bytes vary from read to read; larger steps stay fixed.
class TrickleInput final : public InputFile {
public:
    TrickleInput(std::string bytes, std::size_t step) : bytes_(std::move(bytes)), step_(step) {}
    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min({size, step_, bytes_.size() - at_});
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        if (step_ <= 3) step_ = step_ % 3 + 1;  // small steps vary: 1, 2, 3, 1, ...
        return n;
    }

private:
    std::string bytes_;
    std::size_t step_;
    std::size_t at_ = 0;
};

std::vector<std::string> lines_of(const std::string& bytes, std::size_t step) {
    LineReader reader(std::make_unique<TrickleInput>(bytes, step));
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line)) lines.emplace_back(line);
    return lines;
}

TEST(LineReader, LineEndsAreCrLfOrLfAndALoneCrBelongsToItsLine) {
    const std::string bytes = "a\r\nb\nc\rd\r\nends\r\r\n\r\n\n\rx\nlast";
    const std::vector<std::string> expected{"a", "b", "c\rd", "ends\r", "", "", "\rx", "last"};
    for (std::size_t step : {1u, 2u, 3u, 1000u}) EXPECT_EQ(lines_of(bytes, step), expected) << step;
    EXPECT_EQ(lines_of("", 1), std::vector<std::string>{});
    EXPECT_EQ(lines_of("\r\n", 1), std::vector<std::string>{""});
    EXPECT_EQ(lines_of("only\r", 1), std::vector<std::string>{"only\r"});
}

TEST(LineReader, LinesLongerThanItsBuffer) {
    const std::string big(LineReader::kChunk + 7, 'x');
    const auto lines = lines_of(big + "\r\nnext\r\n" + big, 1000);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], big);
    EXPECT_EQ(lines[1], "next");
    EXPECT_EQ(lines[2], big);
}

TEST(PartBlockReader, LinesOfABlockAreNeverTakenForHeaders) {
    LineReader lines(std::make_unique<TrickleInput>(
        "*MARKER*\r\nA1 X I TTL\r\n\"Note\" y M z\r\n\r\nfree text\r\nB1 X I TTL\r\nbody", 2));
    PartBlockReader blocks(lines);
    std::string_view header;
    std::vector<std::string> body;
    ASSERT_TRUE(blocks.next_header(header));
    EXPECT_EQ(header, "A1 X I TTL");
    EXPECT_TRUE(blocks.body([&](std::string_view line) { body.emplace_back(line); }));
    EXPECT_EQ(body, (std::vector<std::string>{"\"Note\" y M z", ""}));
    ASSERT_TRUE(blocks.next_header(header));
    EXPECT_EQ(header, "B1 X I TTL");
    EXPECT_FALSE(blocks.skip_body());  // the file ends inside the block
    EXPECT_FALSE(blocks.next_header(header));
}

}  // namespace
}  // namespace marrowgate
