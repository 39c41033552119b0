#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace marrowgate::test {

namespace {
constexpr const char* kLockName = ".marrowgate.lock";
}  // namespace

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    // A name that is taken already is passed over; a folder that cannot be made throws.
    do path_ = std::filesystem::temp_directory_path() /
               ("marrowgate-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    while (!std::filesystem::create_directory(path_));
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

std::vector<std::string> file_names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().filename() != kLockName) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::string> folder_files(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, ec))
        if (entry.is_regular_file() && entry.path().filename() != "marrowgate-report.txt" &&  // every run leaves it
            entry.path().filename() != kLockName)
            files[std::filesystem::relative(entry.path(), root).generic_string()] = read_file(entry.path());
    return files;
}

Lines part(const std::string& header) {
    return {header, "TIMESTAMP 2024.01.01.00.00.00", "\"Value\" " + header.substr(0, header.find(' ')), ""};
}

std::string library_bytes(const std::vector<Lines>& blocks, const std::string& marker) {
    Lines lines{marker, ""};
    for (const auto& block : blocks) lines.insert(lines.end(), block.begin(), block.end());
    lines.push_back("*END*");
    return crlf(lines);
}

std::string output_bytes(const std::vector<Lines>& blocks, const std::string& marker) {
    std::string text = marker + "\r\n\r\r\n";
    for (const auto& block : blocks) text += crlf(block);
    return text + "*END*\r\n";
}

std::filesystem::path corpus_dir() {
    if (const char* env = std::getenv("MARROWGATE_CORPUS_DIR"); env && *env) return env;
    const std::filesystem::path dir = MARROWGATE_CORPUS_DIR;
    std::error_code ec;
    return std::filesystem::is_directory(dir, ec) ? dir : std::filesystem::path();
}

std::filesystem::path samples_dir() { return MARROWGATE_SAMPLES_DIR; }

}  // namespace marrowgate::test
