// Paths as text: the UTF-8 text the window, the state and the messages keep,
// and the path it names.
#pragma once

#include <filesystem>
#include <string>

namespace marrowgate {

// Conversion between UTF-8 text and a filesystem path.
std::filesystem::path path_from_utf8(const std::string& text);
std::string utf8_from_path(const std::filesystem::path& path);

}  // namespace marrowgate
