// What the window keeps between sessions, per user: an INI file, by default
// %APPDATA%\Vorlane\Marrowgate.ini, section [Marrowgate]. The file is kept in
// UTF-16 so that a folder such as C:\Users\Zoë\Bibliothèque comes back whole.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace marrowgate::win32 {

class IniSettings {
public:
    explicit IniSettings(std::filesystem::path file);
    // %APPDATA%\Vorlane\Marrowgate.ini; empty when the system names no such folder.
    static std::filesystem::path default_file();

    std::optional<std::string> recall(const std::string& key) const;
    // False when it could not be stored.
    bool remember(const std::string& key, const std::string& value);

private:
    std::filesystem::path file_;
};

}  // namespace marrowgate::win32
