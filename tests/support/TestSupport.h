// Helpers shared by the tests: a fresh temporary folder per test, whole-file
// reads and writes as bytes, the folder of real libraries, and a status display
// that records what a run showed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "library/StatusDisplay.h"

namespace marrowgate::test {

// A new empty folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void write_file(const std::filesystem::path& path, const std::string& bytes);
std::string read_file(const std::filesystem::path& path);
// Lines joined with CR LF, each line followed by CR LF.
std::string crlf(const std::vector<std::string>& lines);

// The folder of real PADS libraries (never copied into the project); empty
// when it is not there, and the caller skips with a clear message.
std::filesystem::path corpus_dir();
std::filesystem::path samples_dir();

class RecordingStatus final : public StatusDisplay {
public:
    void set_hourglass(bool busy) override { hourglass = busy; hourglass_changes.push_back(busy); }
    void set_caption(const std::string& caption) override { captions.push_back(caption); }
    void set_visible(bool shown) override { visible = shown; }
    void pump_events() override { ++pumps; }

    bool hourglass = false;
    bool visible = false;
    int pumps = 0;
    std::vector<bool> hourglass_changes;
    std::vector<std::string> captions;
};

}  // namespace marrowgate::test
