#include "keys/KeyNames.h"

#include <array>
#include <cstddef>

#ifdef _WIN32
#include <windows.h>
#endif

namespace marrowgate {

namespace {
// The bytes a file name cannot hold, one entry per byte value: the sort runs
// make every key of every part safe, so this is a table, not a test per byte.
constexpr std::array<bool, 256> kRefusedInFileName = [] {
    std::array<bool, 256> refused{};
    for (int byte = 0; byte < 32; ++byte) refused[static_cast<std::size_t>(byte)] = true;
    refused[127] = true;
    for (const char c : std::string_view("\\/:*?\"<>|")) refused[static_cast<unsigned char>(c)] = true;
    return refused;
}();
}  // namespace

void make_file_name_safe(std::string& key) {
    for (char& c : key)
        if (kRefusedInFileName[static_cast<unsigned char>(c)]) c = '_';
}

#ifdef _WIN32
namespace {
// Text of the ANSI code page as UTF-16.
std::wstring from_ansi(std::string_view text) {
    std::wstring wide;
    if (!text.empty()) {
        const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        wide.resize(static_cast<std::size_t>(size));
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    }
    return wide;
}
}  // namespace
#endif

std::filesystem::path output_file_name(std::string_view key) {
    std::string name = "LIB_";
    name.append(key);
    name += ".p";
#ifdef _WIN32
    return std::filesystem::path(from_ansi(name));
#else
    return std::filesystem::path(name);
#endif
}

std::string case_folded_key(std::string_view key) {
#ifdef _WIN32
    // Without LCMAP_LINGUISTIC_CASING the mapping follows the file system's
    // rules, whatever the user's locale.
    const std::wstring wide = from_ansi(key);
    std::wstring upper(wide.size(), L'\0');
    if (!wide.empty())
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()), upper.data(),
                      static_cast<int>(upper.size()), nullptr, nullptr, 0);
    return std::string(reinterpret_cast<const char*>(upper.data()), upper.size() * sizeof(wchar_t));
#else
    return ascii_lower(std::string(key));
#endif
}

}  // namespace marrowgate
