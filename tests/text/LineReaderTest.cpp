// The line reader and the part block reader over inputs that hand out their
// bytes in pieces, so that line ends fall across reads. The sort runs take a
// part block's body as runs of bytes and look for header lines in one pass
// over the bytes, rather than line by line: whatever the bytes and wherever
// the reads cut them, the runs must equal the block's lines read one by one,
// each followed by CR LF, the header lines found must be the lines that pass
// the header test, and the reader must stand on the same line afterwards.
#include "text/LineReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "support/LibraryModel.h"
#include "text/PartHeader.h"

namespace marrowgate {
namespace {

// Hands out its bytes in pieces of 1 to `largest` bytes, their sizes following a seed.
class PiecewiseInput final : public InputFile {
public:
    PiecewiseInput(std::string bytes, unsigned seed, std::size_t largest)
        : bytes_(std::move(bytes)), state_(seed), largest_(largest) {}
    std::size_t read(char* buffer, std::size_t size) override {
        state_ = state_ * 1103515245u + 12345u;
        const std::size_t piece = 1 + (state_ >> 8) % largest_;
        const std::size_t n = std::min({size, piece, bytes_.size() - at_});
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::string bytes_;
    unsigned state_;
    std::size_t largest_;
    std::size_t at_ = 0;
};

std::vector<std::string> lines_of(const std::string& bytes, std::size_t largest, unsigned seed = 3) {
    LineReader reader(std::make_unique<PiecewiseInput>(bytes, seed, largest));
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line)) lines.emplace_back(line);
    return lines;
}

// The rest of a block read line by line, each line followed by CR LF, as the
// block copy must give it, counting them into `read`; false when the file
// ends first.
bool body_lines(LineReader& lines, std::string& body, long long& read) {
    std::string_view line;
    while (lines.next(line)) {
        ++read;
        body.append(line).append("\r\n");
        if (line.empty()) return true;
    }
    return false;
}

// Alternates: one line read alone, with its number, then a block body, until
// the end; returns what each way gave, as text, for both readers to be
// compared. Read as runs, the reader numbers the line; read one by one, they
// are counted.
std::string walk(const std::string& bytes, bool as_runs, unsigned seed, std::size_t largest) {
    LineReader lines(std::make_unique<PiecewiseInput>(bytes, seed, largest));
    if (as_runs) lines.number_lines();
    PartBlockReader blocks(lines);
    std::string seen;
    long long read = 0;
    for (;;) {
        std::string_view line;
        if (!lines.next(line)) return seen;
        ++read;
        seen += "[line " + std::to_string(as_runs ? lines.line_number() : read) + " " + std::string(line) + "]";
        std::string body;
        const bool closed = as_runs ? blocks.copy_body([&](std::string_view bytes) { body.append(bytes); })
                                    : body_lines(lines, body, read);
        seen += "[body " + body + (closed ? "]" : " unclosed]");
    }
}

// Every header line with its line number, found both ways; in one pass
// counted from the lines passed over and numbered by the reader.
std::string header_lines(const std::string& bytes, bool in_one_pass, unsigned seed, std::size_t largest) {
    LineReader lines(std::make_unique<PiecewiseInput>(bytes, seed, largest));
    std::string seen;
    std::string_view line;
    std::size_t number = 0;
    if (in_one_pass) {
        lines.number_lines();
        std::size_t passed = 0;
        while (lines.next_header_line(line, &passed)) {
            number += passed + 1;
            passed = 0;
            if (lines.line_number() != static_cast<long long>(number)) seen += "(numbered otherwise)";
            seen += std::to_string(number) + "[" + std::string(line) + "]";
        }
    } else {
        while (lines.next(line)) {
            ++number;
            if (test::model_is_header(line)) seen += std::to_string(number) + "[" + std::string(line) + "]";
        }
    }
    return seen;
}

// Texts read line by line, as block bodies and for header lines, give what the
// model and the lines read one by one give: 400 random texts, in pieces of 1
// to 7 bytes (odd seeds) or up to 4096 (even seeds) so that the scans meet both
// cut-up and long stretches; and texts in pieces up to more than the buffer.
TEST(LineReader, EveryWayOfReadingGivesTheLinesWhereverTheReadsCutThem) {
    std::vector<std::tuple<std::string, unsigned, std::size_t>> texts;  // bytes, seed, largest piece
    const std::vector<std::string> alphabet = {"\r\n", "\r\n", "\n", "\r", "a", "M", "I", " ", " ", " I ", " M ",
                                               "  ", "\r\n\r\n", "\n\n", "\n\r\n"};
    unsigned state = 7;
    for (unsigned seed = 1; seed <= 400; ++seed) {
        std::string bytes;
        for (unsigned i = 0; i < seed % 200; ++i) {
            state = state * 1103515245u + 12345u;
            bytes += alphabet[(state >> 8) % alphabet.size()];
        }
        texts.emplace_back(bytes, seed, seed % 2 ? std::size_t{7} : std::size_t{4096});
    }
    for (const std::size_t largest : {1u, 2u, 3u, 1000u})
        texts.emplace_back("a\r\nb\nc\rd\r\nends\r\r\n\r\n\n\rx\nlast", 3, largest);
    for (const std::string bytes : {"", "\r\n", "only\r"}) texts.emplace_back(bytes, 3, 1);
    // Long stretches without a header line, across refills of the buffer.
    std::string bytes;
    for (int line = 0; line < 200000; ++line)
        bytes += line % 997 == 0 ? "DIP14 M 0 0 0 2 3 0 14 1 0\r\n" : "T0 -0.04 0 -0.04 1 MI IM\r\n";
    texts.emplace_back(bytes + "last I line", 9, 3 * LineReader::kChunk);
    // Lines passed over that are all line ends.
    for (const std::string end : {"\n", "\r\n"}) {
        bytes.clear();
        for (int line = 0; line < 100000; ++line) bytes += end;
        texts.emplace_back(bytes + "DIP14 M 0 0 0 2 3 0 14 1 0", 5, 3 * LineReader::kChunk);
    }
    // An unfinished line is put before the next chunk when it is short, and
    // joined in a buffer of its own when it is long: lengths on both sides of
    // that room (64 KB) and up to the longest line held whole, some with a
    // header mark at their end, an empty line between blocks, a last line
    // without line end.
    bytes.clear();
    int count = 0;
    for (const std::size_t length : std::initializer_list<std::size_t>{10, 65535, 65536, 0, 65537, 12, 200000, 3,
                                                                        LineReader::kLongestHeld, 1,
                                                                        LineReader::kLongestHeld - 1}) {
        std::string line(length, static_cast<char>('a' + count++));
        if (length > 3 && count % 3 == 0) line.replace(length - 3, 3, " M ");
        bytes += line + (length % 2 ? "\n" : "\r\n");
    }
    bytes.pop_back();
    for (const std::size_t largest : {4096u, 60000u, 3 * 65536u}) texts.emplace_back(bytes, 3, largest);
    // Blocks of a few hundred lines, most ended by CR LF, some by a lone LF,
    // some holding a stray CR; the file ends inside a block, without a line end.
    bytes.clear();
    for (int block = 0; block < 400; ++block) {
        bytes += "HEADER " + std::to_string(block) + " I X\r\n";
        for (int line = 0; line < 300; ++line) {
            bytes += "pin " + std::to_string(line) + (line % 97 == 0 ? "\r" : "");
            bytes += line % 61 == 0 ? "\n" : "\r\n";
        }
        bytes += block % 5 == 0 ? "\n" : "\r\n";
    }
    bytes += "last HEADER I\r\nunfinished";
    for (const std::size_t largest : {std::size_t{4099}, 2 * LineReader::kChunk}) texts.emplace_back(bytes, 1, largest);

    for (const auto& [text, seed, largest] : texts) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", pieces up to " + std::to_string(largest) + ", " +
                     std::to_string(text.size()) + " bytes");
        const auto model = test::model_lines(text);
        ASSERT_EQ(lines_of(text, largest, seed), std::vector<std::string>(model.begin(), model.end()));
        ASSERT_EQ(walk(text, true, seed, largest), walk(text, false, seed, largest));
        ASSERT_EQ(header_lines(text, true, seed, largest), header_lines(text, false, seed, largest));
    }
}

// Lines longer than is held: next() hands out their first kLongestHeld
// bytes; next_header_line() hands out a header line's start where its mark
// lies within it, else nothing, and the copy of the block gives the rest of
// the header line before the body, so that the start and the copy together
// are the block's bytes. The lines after are found and numbered as if the
// long line had been held, and memory holds none of it whole.
TEST(LineReader, LinesLongerThanIsHeldAreHandedOutAsTheirStart) {
    const std::size_t held = LineReader::kLongestHeld;
    const std::string x(held, 'x');
    const std::string nul(3 * held, '\0');
    struct Row {
        std::string name, bytes, seen;
    };
    const Row rows[] = {
        {"header start, then a short one", "m\r\n\r\r\nN D I F " + x + "\r\nbody\r\n\r\nstray\r\nH D M F\nb\n\n",
         "3 start, stray 6, 7 whole, "},
        {"header ending with CR CR LF", "m\n\nN D I F " + x + "\r\r\nbody\r\n\r\n", "3 start, "},
        {"mark only after the start", "m\n\n" + x + "y I z\r\nbody\r\n\r\nH D I F\r\n\r\n", "3 none, 6 whole, "},
        {"long line between blocks", "m\n\n" + x + x + "\r\n\r\n*END*\r\nH D I F\r\n\r\n", "stray 3, 6 whole, "},
        {"no line end at all", "m\n\n" + nul, "stray 3, "},
        {"long marker line", x + x + "\n\nH D I F\r\n", "3 whole unclosed, "},
        {"long header without line end", "m\n\nN D I F " + x, "3 start unclosed, "},
    };
    for (const Row& row : rows) {
        for (const std::size_t largest : {std::size_t{4096}, 3 * LineReader::kChunk}) {
            SCOPED_TRACE(row.name + ", pieces up to " + std::to_string(largest));
            std::vector<std::string> cut;
            for (const auto line : test::model_lines(row.bytes)) cut.emplace_back(line.substr(0, held));
            EXPECT_EQ(lines_of(row.bytes, largest), cut);

            LineReader lines(std::make_unique<PiecewiseInput>(row.bytes, 5, largest));
            std::string seen;
            lines.report_stray_lines([&](long long line) { seen += "stray " + std::to_string(line) + ", "; });
            const auto blocks = test::model_blocks(row.bytes);
            std::size_t block = 0;
            std::string_view header;
            while (lines.next_header_line(header)) {
                const LineReader::Held how = lines.held();
                seen += std::to_string(lines.line_number()) +
                        (how == LineReader::Held::Whole ? " whole" : how == LineReader::Held::Start ? " start" : " none");
                std::string copied(header);
                if (how == LineReader::Held::Whole) copied += "\r\n";
                if (!lines.through_empty_line([&](std::string_view bytes) { copied += bytes; })) {
                    seen += " unclosed";
                    copied += "\r\n";  // as the copy pass closes it
                }
                seen += ", ";
                ASSERT_LT(block, blocks.size());
                if (how != LineReader::Held::None) {
                    EXPECT_TRUE(copied == blocks[block].bytes) << lines.line_number();
                }
                ++block;
            }
            EXPECT_EQ(seen, row.seen);
        }
    }
}

}  // namespace
}  // namespace marrowgate
