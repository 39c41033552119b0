// Every form of each byte scan this processor runs finds what the plain form
// finds, on the same bytes, from every start.
#include "text/ByteScan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

namespace marrowgate::scan {
namespace {

TEST(ByteScan, EveryWidthFindsWhatThePlainScanFinds) {
    std::minstd_rand random(7);
    const std::string alphabet = "\r\n\n M I x";
    std::vector<std::string> texts;
    for (int i = 0; i < 400; ++i) {
        std::string text;
        for (std::size_t n = random() % 300; n > 0; --n) text += alphabet[random() % alphabet.size()];
        texts.push_back(text);
    }
    texts.push_back(std::string(10000, '\n'));  // more LFs than a byte counter holds
    std::string lines;  // LFs that are no events, more than a byte counter holds
    for (int i = 0; i < 6000; ++i) lines += "ab\r\n";
    texts.push_back(lines + "\n");
    texts.push_back(std::string(5000, 'x') + " I " + std::string(70, '\r') + "\n");
    const std::vector<Width> widths = available_widths();
    ASSERT_EQ(widths.front(), Width::Plain);
    for (const Width width : widths) {
        SCOPED_TRACE(static_cast<int>(width));
        for (const std::string& text : texts) {
            const char* base = text.data();
            const std::size_t to = text.size();
            for (std::size_t from = 0; from <= to; from += 1 + from / 8) {
                const std::size_t floor = from - std::min<std::size_t>(from, random() % 4);
                const std::size_t event = line_event(Width::Plain, base, floor, from, to);
                ASSERT_EQ(line_event(width, base, floor, from, to), event) << text << " from " << from << " floor " << floor;
                // Counting as it scans: the LFs before the event.
                std::size_t feeds = 1;
                ASSERT_EQ(line_event(width, base, floor, from, to, &feeds), event);
                ASSERT_EQ(feeds, 1 + line_feeds(Width::Plain, base + from, event - from)) << text << " from " << from;
                ASSERT_EQ(header_mark(width, base, from, to), header_mark(Width::Plain, base, from, to)) << text;
                ASSERT_EQ(line_feeds(width, base + from, to - from), line_feeds(Width::Plain, base + from, to - from));
                const std::size_t last = std::string_view(base + from, to - from).rfind('\n');
                ASSERT_EQ(last_line_feed(width, base + from, to - from), last == std::string_view::npos ? to - from : last)
                    << text << " from " << from;
            }
        }
    }
}

}  // namespace
}  // namespace marrowgate::scan
