#include "workspace/Folders.h"

#include <array>
#include <cstdlib>
#include <exception>
#include <system_error>
#include <vector>

#include "io/Paths.h"
#include "state/Module1.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace marrowgate {

std::filesystem::path executable_folder() {
#ifdef _WIN32
    std::vector<wchar_t> buffer(32768);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::filesystem::current_path();
    return std::filesystem::path(std::wstring(buffer.data(), length)).parent_path();
#else
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path();
    return self.parent_path();
#endif
}

namespace {
constexpr const char* kMessageFileName = "marrowgate_msg.dat";

std::optional<std::string> system_getenv(const char* name) {
#ifdef _WIN32
    std::wstring wide_name(name, name + std::char_traits<char>::length(name));
    const wchar_t* value = _wgetenv(wide_name.c_str());
    if (!value || !*value) return std::nullopt;
    return utf8_from_path(std::filesystem::path(value));
#else
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
#endif
}

// The folder of an installed copy where no home folder is known: one of the
// user's own in the temporary folder, readable by nobody else.
std::filesystem::path private_temporary_folder(std::string& refusal) {
    std::error_code ec;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(ec);
#ifdef _WIN32
    (void)refusal;
    return temporary / "Marrowgate";  // the temporary folder is the user's own
#else
    const auto folder = temporary / ("marrowgate-" + std::to_string(::getuid()));
    ::mkdir(folder.c_str(), 0700);
    struct stat status {};
    const bool mine = ::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
                      status.st_uid == ::getuid() && (status.st_mode & 077) == 0;
    if (!mine)
        refusal = "no home folder is known, and " + utf8_from_path(folder) +
                  " is not a folder private to you (another user may have made it, or it is a link); "
                  "give the application folder with --app-folder DIR";
    return folder;
#endif
}
}  // namespace

FolderChoice choose_folders(const std::filesystem::path& program_folder,
                            const std::optional<std::filesystem::path>& given_folder,
                            const std::function<std::optional<std::string>(const char*)>& getenv) {
    std::error_code ec;
    FolderChoice choice;
    const auto beside_program = program_folder / kMessageFileName;
    choice.installed = !std::filesystem::exists(beside_program, ec);
    if (!choice.installed) {
        choice.application_folder = program_folder;
        choice.message_file = beside_program;
    } else {
        choice.message_file = (program_folder.parent_path() / "share" / "marrowgate" / kMessageFileName).lexically_normal();
#ifdef _WIN32
        if (auto local = getenv("LOCALAPPDATA")) choice.application_folder = path_from_utf8(*local) / "Marrowgate";
#else
        if (auto data = getenv("XDG_DATA_HOME"); data && path_from_utf8(*data).is_absolute())
            choice.application_folder = path_from_utf8(*data) / "marrowgate";
        else if (auto home = getenv("HOME"))
            choice.application_folder = path_from_utf8(*home) / ".local" / "share" / "marrowgate";
#endif
    }
    if (given_folder) choice.application_folder = *given_folder;
    else if (choice.application_folder.empty()) choice.application_folder = private_temporary_folder(choice.refusal);
    const auto own = choice.application_folder / kMessageFileName;
    if (std::filesystem::exists(own, ec)) choice.message_file = own;
    return choice;
}

FolderChoice choose_folders(const std::optional<std::filesystem::path>& given_folder) {
    return choose_folders(executable_folder(), given_folder, &system_getenv);
}

std::filesystem::path absolute_argument(const std::string& text) {
    std::error_code ec;
    auto path = std::filesystem::absolute(path_from_utf8(text), ec);
    return ec ? path_from_utf8(text) : path.lexically_normal();
}

bool make_application_folder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::is_directory(folder, ec);
}

bool make_working_folders(const Module1& state, FileSystem& files) {
    try {
        std::vector<std::filesystem::path> missing;
        for (auto path = state.Application_Folder;
             !path.empty() && files.status(path, true).kind == FileEntry::Kind::None; path = path.parent_path()) {
            missing.push_back(path);
            if (path == path.parent_path()) break;
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) files.make_folder(*it);
        return tmp_makedir(state, files);
    } catch (const std::exception&) {
        return false;
    }
}

RunFolders run_folders(const std::filesystem::path& application_folder) {
    return {application_folder, application_folder / "lib", application_folder / "tmp"};
}

std::filesystem::path lib_folder(const Module1& state) { return run_folders(state.Application_Folder).lib; }
std::filesystem::path tmp_folder(const Module1& state) { return run_folders(state.Application_Folder).tmp; }

bool tmp_makedir(const Module1& state, FileSystem& files) {
    try {
        files.make_folder(lib_folder(state));  // one that exists is no failure; a file of that name is
        files.make_folder(tmp_folder(state));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::filesystem::path output_library_path(const Module1& state, std::string_view key) {
    return lib_folder(state) / output_file_name(key);
}

bool lib_folder_ignores_case(const RunFolders& folders, FileSystem& files) {
    const auto upper = files.identity(folders.application / "LIB");
    return upper && files.identity(folders.lib) == upper;
}

bool lib_folder_ignores_case(const Module1& state, FileSystem& files) {
    return lib_folder_ignores_case(run_folders(state.Application_Folder), files);
}

}  // namespace marrowgate
