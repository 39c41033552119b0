// Helpers shared by the tests: a fresh temporary folder per test, whole-file
// reads and writes as bytes, libraries written from lines and the bytes their
// outputs must hold, the folder of real libraries, and a status display that
// records what a run showed.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "run/StatusDisplay.h"
#include "state/Module1.h"

namespace marrowgate::test {

// A new empty folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void write_file(const std::filesystem::path& path, const std::string& bytes);
std::string read_file(const std::filesystem::path& path);
// Lines joined with CR LF, each line followed by CR LF.
std::string crlf(const std::vector<std::string>& lines);
// The names in a folder, sorted; every file below a folder, by its path
// relative to it ('/' between names), with its bytes (the report of the
// last run aside). The lock files runs leave in the folders they write are
// left out of both.
std::vector<std::string> file_names(const std::filesystem::path& folder);
std::map<std::string, std::string> folder_files(const std::filesystem::path& root);

using Lines = std::vector<std::string>;
// A part block: its header, two body lines and the empty line that ends it.
Lines part(const std::string& header);
// A part-type library: the marker line, an empty line, the blocks, "*END*".
std::string library_bytes(const std::vector<Lines>& blocks, const std::string& marker = kPartTypeMarkerV4);
// What an output library file holds after a run: the marker, the line of one
// carriage return, the blocks in input order, "*END*".
std::string output_bytes(const std::vector<Lines>& blocks, const std::string& marker = kPartTypeMarkerV4);

// The folder of real PADS libraries (never copied into the project); empty
// when it is not there, and the caller skips with a clear message.
std::filesystem::path corpus_dir();
std::filesystem::path samples_dir();

// A case of a table-driven test, shown by its name in the test's name and
// where gtest prints its parameter.
struct NamedCase {
    std::string name;
};
inline std::ostream& operator<<(std::ostream& out, const NamedCase& c) { return out << c.name; }
inline constexpr auto case_name = [](const auto& info) { return info.param.name; };

class RecordingStatus final : public StatusDisplay {
public:
    void set_hourglass(bool busy) override { hourglass = busy; hourglass_changes.push_back(busy); }
    void set_caption(const std::string& caption) override {
        captions.push_back(caption);
        if (on_caption) on_caption(caption);
    }
    void set_visible(bool shown) override { visible = shown; }
    void pump_events() override { ++pumps; }
    // Asks the run to stop from the pump numbered stop_at on.
    bool stop_requested() override { return stop_at >= 0 && pumps >= stop_at; }

    bool hourglass = false;
    bool visible = false;
    int pumps = 0;
    int stop_at = -1;
    std::function<void(const std::string&)> on_caption;
    std::vector<bool> hourglass_changes;
    std::vector<std::string> captions;
};

}  // namespace marrowgate::test
