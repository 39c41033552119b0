// The downloaded news file: its last line is the news.
#pragma once

#include <filesystem>
#include <string>

#include "io/FileSystem.h"

namespace marrowgate {

// The last line of the file, read line by line; empty for a file without lines
// and for a file that ends with an empty line. Throws FileError.
std::string last_news_line(FileSystem& files, const std::filesystem::path& path);

// "News: " followed by the last line of the news file.
std::string news_caption(const std::string& last_line);

}  // namespace marrowgate
