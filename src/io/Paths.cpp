#include "io/Paths.h"

namespace marrowgate {

// On POSIX systems a path is a string of bytes and is kept as it is (a name that
// is not valid UTF-8 still names its file); on Windows the text is UTF-8.
std::filesystem::path path_from_utf8(const std::string& text) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
#else
    return std::filesystem::path(text);
#endif
}

std::string utf8_from_path(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
#else
    return path.native();
#endif
}

}  // namespace marrowgate
