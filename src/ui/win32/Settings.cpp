#include "ui/win32/Settings.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "ui/win32/Text.h"

namespace marrowgate::win32 {

namespace {

constexpr const wchar_t* kSection = L"Marrowgate";
// Returned for a key that is not in the file; no value holds it.
constexpr const wchar_t* kAbsent = L"\x1F";

}  // namespace

IniSettings::IniSettings(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path IniSettings::default_file() {
    PWSTR folder = nullptr;
    std::filesystem::path file;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &folder)))
        file = std::filesystem::path(folder) / L"Vorlane" / L"Marrowgate.ini";
    CoTaskMemFree(folder);
    return file;
}

std::optional<std::string> IniSettings::recall(const std::string& key) const {
    if (file_.empty()) return std::nullopt;
    std::vector<wchar_t> value(32768, L'\0');
    GetPrivateProfileStringW(kSection, wide(key).c_str(), kAbsent, value.data(), static_cast<DWORD>(value.size()),
                             file_.c_str());
    const std::wstring text(value.data());
    if (text == kAbsent) return std::nullopt;
    return utf8(text);
}

bool IniSettings::remember(const std::string& key, const std::string& value) {
    if (file_.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    // A new file begins with the UTF-16 byte order mark: the profile functions
    // then keep it in UTF-16, where they would write a new one in the ANSI
    // code page and lose every character outside it.
    const HANDLE file =
        CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const unsigned char mark[] = {0xFF, 0xFE};
        DWORD written = 0;
        WriteFile(file, mark, sizeof mark, &written, nullptr);
        CloseHandle(file);
    }
    return WritePrivateProfileStringW(kSection, wide(key).c_str(), wide(value).c_str(), file_.c_str()) != FALSE;
}

}  // namespace marrowgate::win32
