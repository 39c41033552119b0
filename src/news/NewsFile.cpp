#include "news/NewsFile.h"

#include "text/LineReader.h"

namespace marrowgate {

std::string last_news_line(FileSystem& files, const std::filesystem::path& path) {
    LineReader lines(files, path);
    std::string held;
    std::string_view line;
    while (lines.next(line)) held.assign(line);
    return held;
}

std::string news_caption(const std::string& last_line) { return "News: " + last_line; }

}  // namespace marrowgate
