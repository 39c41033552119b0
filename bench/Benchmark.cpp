// marrowgate_bench: times every sort key on large generated libraries, shaped
// as real ones, against its floor, measured in the same run: the part-type
// files read twice and their bytes written into as many new files as the
// key's run writes, each created once, streamed through one buffer of 1 MB
// (for the pad count the decal library read once more). A key more than 1.5
// times its floor fails the benchmark. Each key runs with its threads and in
// line (MARROWGATE_THREADS=1), in the output folder and in a RAM disk
// (/dev/shm), so that the gain of the threads shows on both.
// Also timed: the literal passes (bench/LiteralSort.h: output files reopened
// for every block, the decal library re-read for every part), whose files
// must be the engine's, and the cost of the sync before the moves.
// Each measurement runs in a child process of its own, so that its peak
// memory (the kernel's count, as /usr/bin/time -v shows it) is its own, in
// rounds that take every measurement in turn, so that ratios come from runs
// made side by side; the runs are repeated on K times as many parts to show
// that memory does not grow with the part files.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "LiteralSort.h"
#include "cli/CommandLine.h"
#include "generator/LibraryGenerator.h"
#include "io/Paths.h"
#include "sort/Sorts.h"
#include "state/Module1.h"
#include "text/LineReader.h"
#include "workspace/FileList.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
namespace mg = marrowgate;
using mg::SortKey;
using mg::bench::LibraryShape;

constexpr SortKey kKeys[] = {SortKey::Alphanumeric, SortKey::LogicFamily, SortKey::DecalName, SortKey::PadCount};
constexpr const char* kUsage =
    "marrowgate_bench [--data DIR] [--out DIR] [--ram-out DIR] [--parts N] [--scale K] [--repeat R]\n"
    "                 [--literal-fraction F] [--pad-literal-fraction F]\n"
    "marrowgate_bench --long-line [--data DIR] [--out DIR] [--repeat R]\n"
    "Generates four part-type libraries of N parts each (default 25000: names over 36\n"
    "initials, 0.5 % of them repeated, 40 logic families, 1,000 decal names) and a decal\n"
    "library of 10000 decals lacking one in fifty of those the parts name, in DIR\n"
    "(default: marrowgate-bench in the temporary folder; kept for the next run). Then times\n"
    "every sort key against its floor (the part files read twice and written into as\n"
    "many files as the key writes, through one buffer of 1 MB), with its threads and in\n"
    "line (MARROWGATE_THREADS=1), below --out (default: DIR) and below --ram-out\n"
    "(default: /dev/shm/marrowgate-bench-runs where /dev/shm is there), at N and at K\n"
    "times N parts per file (default K = 4). R rounds (default 11) take every measurement\n"
    "side by side, each in a child process of two runs whose peak memory is shown; the\n"
    "best run of each counts, and the gain of the threads is that of the medians. The\n"
    "runs use --no-sync, as the floor does not sync; a table of its own shows each key\n"
    "with the sync and without. The literal passes run on 1/F of the parts and are\n"
    "scaled up: F = 1 (all parts) for the three word keys and 1000 for the pad count, by\n"
    "default. Exit status 3 when a key is over 1.5 times its floor, the pad count slower\n"
    "than the decal name, peak memory 64 MB or more or growing over 8 MB from 1x to Kx,\n"
    "or the literal passes write other files.\n"
    "With --long-line it sorts (alphanumeric) a library of 400 parts one of which holds\n"
    "a body line of 16 MB, then of 64 MB, then the same with a header line that long, and\n"
    "shows the seconds and peak memory of each: the processor time must grow with the\n"
    "line's length (64 MB under 5 times 16 MB), the memory not (under 8 MB more); and a\n"
    "file of 64 MB without a line end, listed and sorted in under 64 MB of memory.\n";

struct Options {
    fs::path data = fs::temp_directory_path() / "marrowgate-bench";
    fs::path out;  // where the runs write; empty: the data folder
    fs::path ram_out = fs::exists("/dev/shm") ? fs::path("/dev/shm/marrowgate-bench-runs") : fs::path();
    int parts = 25000;
    int scale = 4;
    // Rounds: by default 11 for the keys, where a shared machine's slower
    // moments made one row in three runs of 5 cross its target, and 5 for
    // the long lines.
    int repeat = 0;
    int literal_fraction = 1;
    int pad_literal_fraction = 1000;
    bool long_line = false;
};

// ---- data ----

std::vector<fs::path> part_files(const fs::path& set) {
    std::vector<fs::path> paths;
    for (int f = 1; f <= LibraryShape{}.files; ++f) paths.push_back(set / ("parts_" + std::to_string(f) + ".p"));
    return paths;
}

std::uintmax_t bytes_of(const std::vector<fs::path>& paths) {
    std::uintmax_t total = 0;
    for (const auto& path : paths) total += fs::file_size(path);
    return total;
}

double megabytes(std::uintmax_t bytes) { return static_cast<double>(bytes) / 1e6; }

// Generates a data set of `parts` parts per file unless the folder holds one
// made from the same shape already.
// The shape of the libraries timed: as real ones, 36 initials, 40 logic
// families, 1,000 decal names among the parts, and 0.5 % of the names
// repeated. The decal library of 10,000 decals the runs use lacks 2 % of
// them (see ensure_missing_decals).
LibraryShape real_shape(int parts) {
    LibraryShape shape;
    shape.parts_per_file = parts;
    shape.initials = 36;
    shape.families = 40;
    shape.decal_names = 1000;
    shape.decals = 10000;
    shape.irregular.repeated_name = 0.005;
    return shape;
}

void ensure_missing_decals(const fs::path& set);

void ensure_data(const fs::path& set, int parts) {
    const LibraryShape shape = real_shape(parts);
    const fs::path stamp = set / "shape.txt";
    const std::string wanted = mg::bench::describe(shape);
    std::ifstream in(stamp, std::ios::binary);
    if (std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()) != wanted) {
        fs::create_directories(set);
        std::cerr << "generating " << shape.files << " x " << parts << " parts in " << set.string() << " ..." << std::endl;
        mg::bench::generate_libraries(shape, set);
        std::ofstream(stamp, std::ios::binary) << wanted;
    }
    ensure_missing_decals(set);
}

// The decal libraries of a set with some of its decals renamed away (by a
// hash of the name, so as many of those the parts use): the one the runs use
// lacks one in fifty; with a quarter gone, the pad count leaves a quarter of
// the parts unplaced, with a warning each. Written once.
constexpr const char* kRunDecals = "decals-run.d";
constexpr const char* kMissingDecals = "decals-missing.d";
void ensure_missing_decals(const fs::path& set, const char* name, std::size_t one_in) {
    const fs::path path = set / name;
    if (fs::exists(path) && fs::last_write_time(path) >= fs::last_write_time(set / "decals.d")) return;
    std::ifstream in(set / "decals.d", std::ios::binary);
    std::ofstream out(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        const std::size_t end = line.find(' ');
        const std::size_t mark = line.find_first_not_of(' ', end == std::string::npos ? line.size() : end);
        const bool header = mark != std::string::npos && (line.compare(mark, 4, "M 0 ") == 0 || line.compare(mark, 4, "I 0 ") == 0);
        if (header && std::hash<std::string>{}(line.substr(0, end)) % one_in == 0) line.insert(end, "-GONE");
        out << line << '\n';
    }
}

void ensure_missing_decals(const fs::path& set) {
    ensure_missing_decals(set, kRunDecals, 50);
    ensure_missing_decals(set, kMissingDecals, 4);
}

// The state the window holds after listing the files and choosing the decal
// library.
mg::Module1 listed_state(const fs::path& set, const fs::path& app, int parts_per_file) {
    mg::Module1 state;
    state.Application_Folder = app;
    const std::string folder = mg::utf8_from_path(set) + std::string(1, fs::path::preferred_separator);
    for (const auto& path : part_files(set)) {
        state.File_Count = static_cast<std::int16_t>(state.File_Count + 1);
        const auto slot = static_cast<std::size_t>(state.File_Count);
        state.File_Folder[slot] = folder;
        state.File_Name[slot] = mg::utf8_from_path(path.filename());
        state.File_Parts[slot] = parts_per_file;
        state.Total_Parts += parts_per_file;
    }
    state.Decal_Count = 1;
    state.Decal_Folder[1] = folder;
    state.Decal_Name[1] = kRunDecals;
    return state;
}

// The libraries of --long-line: 200 ordinary parts, one part whose body
// holds an attribute line of `megabytes` MB (or whose header line is that
// long), 200 ordinary parts more. Written once, kept with the data.
struct LongLine {
    std::string kind;  // "body" or "header"
    int megabytes;
    std::string file() const { return kind + "-line-" + std::to_string(megabytes) + "mb.p"; }
};
constexpr int kLongLineSizes[] = {16, 64};

void ensure_long_line(const fs::path& folder, const LongLine& long_line) {
    const fs::path path = folder / long_line.file();
    if (fs::exists(path)) return;
    fs::create_directories(folder);
    const auto parts = [](std::ofstream& out, int first) {
        for (int p = first; p < first + 200; ++p) {
            const std::string name = "P" + std::to_string(p);
            out << name << " SO8 I ANA 2 1 0 0 0\r\nTIMESTAMP 2024.01.01.00.00.00\r\n\"Value\" " << name
                << "\r\nGATE 1 2 0\r\n" << name << "\r\n1 0 L A\r\n2 0 L B\r\n\r\n";
        }
    };
    std::string words;
    while (words.size() < (std::size_t{1} << 20)) words += "lorem ipsum dolor sit amet ";
    words.resize(std::size_t{1} << 20);
    const fs::path partial = path.string() + ".partial";
    {
        std::ofstream out(partial, std::ios::binary);
        out << mg::kPartTypeMarkerV4 << "\r\n\r\n";
        parts(out, 0);
        out << "LONG SO8 I ANA 2 1 0 0 0"
            << (long_line.kind == "body" ? "\r\nTIMESTAMP 2024.01.01.00.00.00\r\n\"Description\" " : " ");
        for (int mb = 0; mb < long_line.megabytes; ++mb) out << words;
        out << "\r\nGATE 1 2 0\r\nLONG\r\n1 0 L A\r\n2 0 L B\r\n\r\n";
        parts(out, 200);
        out << "*END*\r\n";
        if (!out.flush()) throw std::runtime_error("cannot write " + partial.string());
    }
    fs::rename(partial, path);
}

// A file of 64 MB without a line end (NUL bytes), which the line reader
// must never hold whole: listing it is refused (it holds no marker line),
// and a run over it listed anyway ends without a part.
constexpr const char* kNoLineEnd = "no-line-end-64mb.p";

void ensure_no_line_end(const fs::path& folder) {
    const fs::path path = folder / kNoLineEnd;
    if (fs::exists(path)) return;
    fs::create_directories(folder);
    const fs::path partial = path.string() + ".partial";
    {
        std::ofstream out(partial, std::ios::binary);
        const std::string zeros(std::size_t{1} << 20, '\0');
        for (int mb = 0; mb < 64; ++mb) out << zeros;
        if (!out.flush()) throw std::runtime_error("cannot write " + partial.string());
    }
    fs::rename(partial, path);
}

mg::Module1 single_file_state(const fs::path& path, const fs::path& app) {
    mg::Module1 state;
    state.Application_Folder = app;
    state.File_Count = 1;
    state.File_Folder[1] = mg::utf8_from_path(path.parent_path()) + std::string(1, fs::path::preferred_separator);
    state.File_Name[1] = mg::utf8_from_path(path.filename());
    state.File_Parts[1] = state.Total_Parts = 401;
    return state;
}

// ---- child side: one measurement ----

// A new application folder for every run, as on a user's first run: the
// outputs are new files. No file is removed while the benchmark runs: after
// its measurement, a run's files are emptied and the folders are removed at
// the end. (Removing a thousand files and then creating a thousand costs more
// than all the writing on some file systems, ext4 among them, whose inode
// allocation passes over recently deleted inodes: no user's run meets that.)
fs::path new_app_folder(const fs::path& app, int run) {
    const fs::path folder = app / ("run" + std::to_string(run));
    fs::remove_all(folder);
    fs::create_directories(folder / "lib");
    fs::create_directories(folder / "tmp");
    ::sync();
    return folder;
}

// Empties every file below `folder`, freeing their space, and keeps them.
void empty_files(const fs::path& folder) {
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) fs::resize_file(entry.path(), 0);
}

// The I/O limit, or with `outputs` above 1 the floor of a run that writes
// that many files: the bytes are spread over them, each created once and
// written in one piece. `decals`, when given, is read once first.
void io_limit(const std::vector<fs::path>& inputs, const fs::path& decals, const fs::path& folder,
              std::size_t outputs) {
    mg::FileSystem& files = mg::real_file_system();
    std::vector<char> buffer(mg::LineReader::kChunk);
    const auto read_all = [&](const fs::path& path, auto&& use) {
        auto in = files.open_read(path);
        while (const std::size_t got = in->read(buffer.data(), buffer.size())) use(got);
    };
    if (!decals.empty()) read_all(decals, [](std::size_t) {});
    for (const auto& path : inputs) read_all(path, [](std::size_t) {});
    const std::uintmax_t piece = bytes_of(inputs) / outputs + 1;
    std::size_t made = 0;
    std::uintmax_t room = 0;
    std::unique_ptr<mg::OutputFile> out;
    for (const auto& path : inputs) {
        read_all(path, [&](std::size_t got) {
            for (std::size_t at = 0; at < got;) {
                if (room == 0) {
                    if (out) out->close();
                    out = files.open_write(folder / ("LIB_" + std::to_string(made++) + ".p"), mg::WriteMode::Truncate);
                    room = piece;
                }
                const auto n = static_cast<std::size_t>(std::min<std::uintmax_t>(room, got - at));
                out->write(buffer.data() + at, n);
                at += n;
                room -= n;
            }
        });
    }
    if (out) out->close();
}

std::map<std::string, std::string> tree(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        // The run's lock file and report are the engine's own: the literal passes write neither.
        if (!entry.is_regular_file() || entry.path().filename() == ".marrowgate.lock" ||
            entry.path().filename() == "marrowgate-report.txt")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files[fs::relative(entry.path(), root).generic_string()] =
            std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return files;
}

struct CpuTime {
    double user = 0;
    double system = 0;
};

CpuTime cpu_time() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

// `what` is io-limit:FILES[:decals], engine:KEY[:missing][:nosync],
// literal:KEY or long:FILE (FILE of the set sorted alone by its initials). Prints
// "seconds parts files user system check" of the fastest of `repeat` runs;
// check is "same" or "DIFFERENT" after a literal run (the engine sorts the
// same inputs and every file is compared), "-" otherwise.
int child(const std::string& what, const fs::path& set, const fs::path& app, int parts_per_file, int repeat) {
    std::vector<std::string> fields;
    std::stringstream stream(what);
    for (std::string field; std::getline(stream, field, ':');) fields.push_back(field);
    const std::string kind = fields.empty() ? "" : fields[0];
    const auto named = fields.size() > 1 ? mg::sort_key_from_name(fields[1]) : std::nullopt;
    if (!((kind == "io-limit" || kind == "long") && fields.size() > 1) &&
        !((kind == "engine" || kind == "literal") && named)) {
        std::cerr << "unknown measurement " << what << "\n";
        return 2;
    }
    const SortKey key = named.value_or(SortKey::Alphanumeric);

    double best = 1e300;
    CpuTime best_cpu;
    long long parts = 0;
    long long files = 0;
    std::string check = "-";
    for (int r = 0; r < repeat; ++r) {
        const fs::path folder = new_app_folder(app, r);
        mg::Module1 state =
            kind == "long" ? single_file_state(set / fields[1], folder) : listed_state(set, folder, parts_per_file);
        const auto flag = [&](const char* name) {
            return fields.size() > 2 && std::find(fields.begin() + 2, fields.end(), name) != fields.end();
        };
        if (kind == "engine" && flag("missing")) state.Decal_Name[1] = kMissingDecals;
        // The same build with every step on the sort's own thread.
        if (kind == "engine" && flag("inline")) ::setenv("MARROWGATE_THREADS", "1", 1);
        const CpuTime cpu_start = cpu_time();
        const auto start = std::chrono::steady_clock::now();
        if (kind == "io-limit") {
            const fs::path decals = fields.size() > 2 ? set / kRunDecals : fs::path();
            io_limit(part_files(set), decals, folder / "lib", std::stoul(fields[1]));
            parts = state.Total_Parts;
        } else if (kind == "long" && fields[1] == kNoLineEnd) {
            mg::Module1 listing;
            listing.Application_Folder = folder;
            const auto added = mg::add_part_type_file(listing, set / fields[1], mg::real_file_system(),
                                                      mg::MarkerRule::part_types_any_version());
            mg::NullStatusDisplay status;
            const mg::RunResult result = mg::run_sort(state, key, status, mg::real_file_system());
            if (added.outcome != mg::AddOutcome::NoMarker || (result.ok && result.parts != 0)) {
                std::cerr << "a file without a line end was listed, or a part found in it\n";
                return 1;
            }
            parts = result.parts;
        } else if (kind == "engine" || kind == "long") {
            mg::NullStatusDisplay status;
            mg::UnsyncedFileSystem unsynced(mg::real_file_system());
            // The long lines are about processor time and memory: no sync.
            mg::FileSystem& files = flag("nosync") || kind == "long" ? unsynced : mg::real_file_system();
            const mg::RunResult result = mg::run_sort(state, key, status, files);
            if (!result.ok) {
                std::cerr << "the run failed: " << result.error << "\n";
                return 1;
            }
            parts = result.parts;
        } else {
            mg::bench::literal_sort(state, key);
            parts = state.Total_Parts;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const CpuTime cpu_end = cpu_time();
        if (seconds < best) {
            best = seconds;
            best_cpu = {cpu_end.user - cpu_start.user, cpu_end.system - cpu_start.system};
        }
        // The library files: the run's lock file in lib is none.
        files = std::count_if(fs::directory_iterator(folder / "lib"), fs::directory_iterator(),
                              [](const fs::directory_entry& entry) { return entry.path().filename() != ".marrowgate.lock"; });
        if (kind == "literal" && r == 0) {
            // The engine sorts the same inputs; every file must be the same.
            const fs::path twin = new_app_folder(app.string() + "-engine", 0);
            mg::Module1 twin_state = listed_state(set, twin, parts_per_file);
            mg::NullStatusDisplay status;
            const bool ok = mg::run_sort(twin_state, key, status, mg::real_file_system()).ok;
            check = ok && tree(folder) == tree(twin) ? "same" : "DIFFERENT";
            empty_files(twin);
        }
        empty_files(folder);
    }
    std::cout << best << " " << parts << " " << files << " " << best_cpu.user << " " << best_cpu.system << " "
              << check << "\n";
    return 0;
}

// ---- parent side ----

struct Measure {
    double seconds = 0;
    long long parts = 0;
    long long files = 0;
    double user = 0;
    double system = 0;
    std::string check;
    double peak_mb = 0;
};

fs::path self_path(const char* argv0) {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::absolute(argv0) : self;
}

// Runs this program with `args` and returns what it printed and its peak
// resident memory as the kernel counted it.
Measure run_child(const fs::path& self, const std::vector<std::string>& args) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) throw std::runtime_error("cannot make a pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
    std::vector<std::string> all = {self.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    std::string output;
    char buffer[256];
    for (ssize_t got; (got = read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(got));
    close(pipe_fds[0]);
    if (spawned != 0) throw std::runtime_error("cannot start " + self.string());
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the measurement " + args[1] + " failed");
    Measure measure;
    std::istringstream(output) >> measure.seconds >> measure.parts >> measure.files >> measure.user >>
        measure.system >> measure.check;
#ifdef __APPLE__
    measure.peak_mb = static_cast<double>(usage.ru_maxrss) / (1024.0 * 1024.0);
#else
    measure.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
#endif
    return measure;
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

class Bench {
public:
    Bench(const Options& options, fs::path self) : options_(options), self_(std::move(self)) {}

    int run() {
        const std::string big = std::to_string(options_.scale) + "x";
        sets_ = {{"x1", "1x", options_.parts}, {"x" + std::to_string(options_.scale), big, options_.parts * options_.scale}};
        for (const Set& set : sets_) ensure_data(options_.data / set.name, set.parts);
        const int word_subset = std::max(1, options_.parts / options_.literal_fraction);
        const int pad_subset = std::max(1, options_.parts / options_.pad_literal_fraction);
        if (word_subset != options_.parts) ensure_data(options_.data / subset_name(word_subset), word_subset);
        ensure_data(options_.data / subset_name(pad_subset), pad_subset);

        // Folders left by a benchmark that was broken off are removed at the
        // end, with this one's, when nothing is measured any more.
        if (fs::exists(runs_folder()) && !fs::exists(earlier_runs_folder()))
            fs::rename(runs_folder(), earlier_runs_folder());
        const fs::path x1 = options_.data / "x1";
        std::printf("Marrowgate benchmark: %d part-type files x %d parts (%.1f MB in all), a decal library of %d "
                    "decals (%.1f MB) lacking one in fifty of those the parts name; again with %s the parts; best of "
                    "%d rounds side by side\n",
                    LibraryShape{}.files, options_.parts, megabytes(bytes_of(part_files(x1))), LibraryShape{}.decals,
                    megabytes(fs::file_size(x1 / kRunDecals)), big.c_str(), options_.repeat);
        std::printf("floor: the part-type files read twice and their bytes written into as many new files as the "
                    "key writes, through one buffer of 1 MB (for the pad count, the decal library read once "
                    "more); the runs with --no-sync, as the floor does not sync either (the sync's cost below); "
                    "in line: the same build with MARROWGATE_THREADS=1; gain: the median run in line over the "
                    "median run with threads, less one\n\n");
        std::printf("%-20s %4s %-6s %5s %8s %8s %7s %8s %7s %6s %7s\n", "key", "data", "on", "files", "seconds",
                    "floor", "x floor", "in line", "x floor", "gain", "peak MB");
        std::vector<std::map<std::string, Measure>> syncs;  // each set's best runs
        for (const Set& set : sets_) {
            // Side by side: every round measures each key, in line and with
            // threads, and its floor, on each file system, so that the shared
            // machine's slow and fast moments fall on all of them alike.
            std::map<std::string, Measure> best;
            std::map<std::string, std::vector<double>> times;
            const auto take = [&](const std::string& name, const Measure& m) {
                keep_best(best[name], m);
                times[name].push_back(m.seconds);
            };
            for (int round = 0; round < options_.repeat; ++round) {
                for (const Place& place : places()) {
                    for (const SortKey key : kKeys) {
                        const std::string name = mg::sort_key_name(key);
                        const std::string at = name + " " + place.label;
                        take(at, measure("engine:" + name + ":nosync", set.name, set.parts, round, 2, place.ram));
                        take(at + " inline",
                             measure("engine:" + name + ":nosync:inline", set.name, set.parts, round, 2, place.ram));
                        const std::string floor = "io-limit:" + std::to_string(std::max<long long>(1, best[at].files)) +
                                                  (key == SortKey::PadCount ? ":decals" : "");
                        take(at + " floor", measure(floor, set.name, set.parts, round, 2, place.ram));
                        if (!place.ram) take(name + " sync", measure("engine:" + name, set.name, set.parts, round));
                        else if (!options_.ram_out.empty())
                            take(name + " ram sync", measure("engine:" + name, set.name, set.parts, round, 2, true));
                    }
                }
                take("missing", measure("engine:pad-count:missing:nosync", set.name, set.parts, round));
            }
            for (const Place& place : places()) {
                for (const SortKey key : kKeys) {
                    const std::string name = mg::sort_key_name(key);
                    const std::string at = name + " " + place.label;
                    key_row(name, set, place, best[at], best[at + " inline"], best[at + " floor"],
                            median(times[at + " inline"]) / median(times[at]) - 1);
                    results_[name + " " + place.label + set.label] = best[at];
                    gains_[name].push_back(median(times[at + " inline"]) / median(times[at]) - 1);
                }
            }
            // A quarter of the decals missing: a warning for every part left unplaced.
            const Place first = places().front();
            key_row("pad-count, 1/4 gone", set, first, best["missing"], {}, best["pad-count " + first.label + " floor"], 0);
            results_["missing" + set.label] = best["missing"];
            if (&set == &sets_.front()) {
                for (const SortKey key : kKeys)
                    literal_row(key, set, key == SortKey::PadCount ? pad_subset : word_subset);
            }
            std::printf("\n");
            for (const SortKey key : kKeys) {
                const std::string name = mg::sort_key_name(key);
                best[name] = best[name + " " + places().front().label];
                if (places().size() > 1) best[name + " ram"] = best[name + " " + places().back().label];
            }
            syncs.push_back(std::move(best));
        }
        sync_table(syncs);
        return summary(big);
    }

    // --long-line: seconds and peak memory of runs over one line of 16 and
    // of 64 MB, in a body and in a header, side by side in rounds.
    int run_long_lines() {
        std::vector<LongLine> cases;
        for (const char* kind : {"body", "header"})
            for (const int megabytes : kLongLineSizes) cases.push_back({kind, megabytes});
        const fs::path folder = options_.data / "long-line";
        for (const LongLine& c : cases) ensure_long_line(folder, c);
        ensure_no_line_end(folder);
        if (fs::exists(runs_folder()) && !fs::exists(earlier_runs_folder()))
            fs::rename(runs_folder(), earlier_runs_folder());
        std::printf("Marrowgate benchmark, long lines: a library of 400 parts and one part with a long line, "
                    "sorted by initials; best of %d rounds side by side; outputs in %s\n\n",
                    options_.repeat, out_folder().string().c_str());
        std::printf("%-21s %7s %9s %6s %6s %6s %7s\n", "line", "MB", "seconds", "MB/s", "user", "system", "peak MB");
        std::map<std::string, Measure> best;
        for (int round = 0; round < options_.repeat; ++round) {
            for (const LongLine& c : cases)
                keep_best(best[c.file()], measure("long:" + c.file(), "long-line", 1, round, 3));
            keep_best(best[kNoLineEnd], measure(std::string("long:") + kNoLineEnd, "long-line", 1, round, 1));
        }
        for (const LongLine& c : cases) {
            const Measure& m = best[c.file()];
            const double mb = megabytes(fs::file_size(folder / c.file()));
            std::printf("%-21s %7.1f %9.3f %6.0f %6.3f %6.3f %7.1f\n",
                        (c.kind + " line " + std::to_string(c.megabytes) + " MB").c_str(), mb, m.seconds,
                        mb / m.seconds, m.user, m.system, m.peak_mb);
        }
        const Measure& no_end = best[kNoLineEnd];
        std::printf("%-21s %7.1f %9.3f %6.0f %6.3f %6.3f %7.1f\n", "no line end, 64 MB", 64.0, no_end.seconds,
                    64.0 / no_end.seconds, no_end.user, no_end.system, no_end.peak_mb);
        fs::remove_all(runs_folder());
        fs::remove_all(earlier_runs_folder());
        // A file without a line end is refused when listed, and a run over it
        // finds no part, in bounded memory.
        bool met = no_end.peak_mb < 64;
        std::printf("\nno line end: listing refused, the run finds no part, peak memory %.1f MB%s\n",
                    no_end.peak_mb, met ? "" : "  (NOT under 64 MB)");
        for (const char* kind : {"body", "header"}) {
            const Measure& small = best[LongLine{kind, kLongLineSizes[0]}.file()];
            const Measure& large = best[LongLine{kind, kLongLineSizes[1]}.file()];
            // The target is on processor time (all threads): on a shared
            // machine the wall time of runs this short varies more than the
            // line's length makes it.
            const double ratio = large.seconds / small.seconds;
            const double cpu_ratio = (large.user + large.system) / (small.user + small.system);
            const double growth = large.peak_mb - small.peak_mb;
            // A header line is held up to 1 MB, the rest streamed as a body
            // line is: the same targets.
            const bool ok = cpu_ratio < 5 && growth < 8;
            met = met && ok;
            std::printf("%s line, %d MB over %d MB: %.2f times the processor time (%.2f the seconds), peak memory "
                        "%+.1f MB%s\n", kind, kLongLineSizes[1], kLongLineSizes[0], cpu_ratio, ratio, growth,
                        ok ? "" : "  (NOT linear, or memory grows with the line)");
        }
        std::printf("\nThe libraries stay in %s for the next run; remove the folder to free the space.\n",
                    folder.string().c_str());
        return met ? 0 : 3;
    }

private:
    struct Set {
        std::string name;
        std::string label;
        int parts;  // per file
    };

    // Where the runs write: the output folder (ext4 here) and the RAM disk.
    struct Place {
        std::string label;
        bool ram;
    };
    std::vector<Place> places() const {
        std::vector<Place> all = {{file_system(out_folder()), false}};
        if (!options_.ram_out.empty()) {
            fs::create_directories(options_.ram_out);
            all.push_back({file_system(options_.ram_out), true});
        }
        return all;
    }
    static double median(std::vector<double> values) {
        if (values.empty()) return 0;
        std::sort(values.begin(), values.end());
        const std::size_t half = values.size() / 2;
        return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
    }

    static std::string subset_name(int parts) { return "subset-" + std::to_string(parts); }
    fs::path out_folder() const { return options_.out.empty() ? options_.data : options_.out; }

    // Each measurement writes in new folders of its own, kept to the end. A
    // child runs twice and reports the faster run (the first also warms the
    // files' pages and the memory allocator).
    Measure measure(const std::string& what, const std::string& set, int parts, int round, int runs = 2,
                    bool in_ram = false) {
        std::string folder = set + "-" + what + "-round" + std::to_string(round);
        std::replace(folder.begin(), folder.end(), ':', '-');
        return run_child(self_, {"--child", what, "--set", (options_.data / set).string(), "--app",
                                 ((in_ram ? options_.ram_out : runs_folder()) / folder).string(), "--parts",
                                 std::to_string(parts), "--repeat", std::to_string(runs)});
    }

    // The file system of a folder, by name where it is a common one.
    static std::string file_system(const fs::path& folder) {
        struct statfs status {};
        if (::statfs(folder.c_str(), &status) != 0) return "?";
        switch (static_cast<unsigned long>(status.f_type)) {
            case 0xEF53: return "ext4";
            case 0x01021994: return "tmpfs";
            case 0x58465342: return "xfs";
            case 0x9123683E: return "btrfs";
            default: break;
        }
        char text[32];
        std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(status.f_type));
        return text;
    }

    // Each key as users run it (the new files synced before they are put in
    // place) and with --no-sync, in the output folder and in the RAM disk.
    void sync_table(const std::vector<std::map<std::string, Measure>>& syncs) {
        const std::string out = file_system(out_folder());
        const std::string ram = options_.ram_out.empty() ? "" : file_system(options_.ram_out);
        std::printf("The sync before the moves: seconds of a run with it and with --no-sync, best of %d rounds side "
                    "by side; outputs in %s (%s)%s\n\n",
                    options_.repeat, out_folder().string().c_str(), out.c_str(),
                    ram.empty() ? "" : (" and " + options_.ram_out.string() + " (" + ram + ")").c_str());
        std::printf("%-21s %4s %5s  %-6s %8s %8s %7s", "key", "data", "files", "on", "sync", "no-sync", "cost");
        if (!ram.empty()) std::printf("   %-6s %8s %8s %7s", "on", "sync", "no-sync", "cost");
        std::printf("\n");
        for (std::size_t s = 0; s < syncs.size(); ++s) {
            for (const SortKey key : kKeys) {
                const std::string name = mg::sort_key_name(key);
                const auto at = [&](const std::string& what) { return syncs[s].at(what).seconds; };
                std::printf("%-21s %4s %5lld  %-6s %8.3f %8.3f %+7.3f", name.c_str(), sets_[s].label.c_str(),
                            syncs[s].at(name).files, out.c_str(), at(name + " sync"), at(name),
                            at(name + " sync") - at(name));
                if (!ram.empty())
                    std::printf("   %-6s %8.3f %8.3f %+7.3f", ram.c_str(), at(name + " ram sync"), at(name + " ram"),
                                at(name + " ram sync") - at(name + " ram"));
                std::printf("\n");
            }
        }
        std::printf("\n");
    }
    static void keep_best(Measure& best, const Measure& measured) {
        const double peak = std::max(best.peak_mb, measured.peak_mb);
        if (best.seconds == 0 || measured.seconds < best.seconds) best = measured;
        best.peak_mb = peak;
    }
    fs::path runs_folder() const { return out_folder() / "runs"; }
    fs::path earlier_runs_folder() const { return out_folder() / "runs-earlier"; }

    // A key's row: its best run with threads and in line against the floor,
    // and the gain of the threads. A key over the target with threads, as it
    // ships, fails the benchmark.
    void key_row(const std::string& what, const Set& set, const Place& place, const Measure& m, const Measure& in_line,
                 const Measure& floor, double gain) {
        const double ratio = m.seconds / floor.seconds;
        std::printf("%-20s %4s %-6s %5lld %8.3f %8.3f %7.2f", what.c_str(), set.label.c_str(), place.label.c_str(),
                    m.files, m.seconds, floor.seconds, ratio);
        if (in_line.seconds > 0)
            std::printf(" %8.3f %7.2f %+5.0f%%", in_line.seconds, in_line.seconds / floor.seconds, 100 * gain);
        else
            std::printf(" %8s %7s %6s", "-", "-", "-");
        // A variant (no in-line run) is shown, not judged: its extra work is not the key's.
        const bool variant = in_line.seconds == 0;
        const char* mark = ratio <= kTarget ? "" : variant ? "  (above the target; a variant, not judged)" : "  (over the target)";
        std::printf(" %7.1f%s\n", std::max(m.peak_mb, in_line.peak_mb), mark);
        if (!variant && ratio > worst_) {
            worst_ = ratio;
            worst_what_ = what + ", " + set.label + " on " + place.label;
        }
    }

    // The literal passes on `subset` parts per file, scaled up to the set.
    void literal_row(SortKey key, const Set& set, int subset) {
        const std::string name = mg::sort_key_name(key);
        const std::string data = subset == set.parts ? set.name : subset_name(subset);
        const Measure lit = measure("literal:" + name, data, subset, 0, 1);
        const double factor = static_cast<double>(set.parts) / subset;
        const double seconds = lit.seconds * factor;
        std::string note = "files " + lit.check + " as the engine's";
        if (subset != set.parts)
            note = "estimate: " + fixed(lit.seconds, 4) + " s on " + std::to_string(lit.parts) + " parts x " +
                   fixed(factor, 0) + " = " + (seconds < 60 ? fixed(seconds, 1) + " s" : fixed(seconds / 60, 1) + " min") +
                   "; " + note;
        std::printf("%-20s %4s %-6s %5lld %8.3f %8s %7s %8s %7s %6s %7s  %s\n", ("literal " + name).c_str(),
                    set.label.c_str(), places().front().label.c_str(), lit.files, seconds, "-", "-", "-", "-", "-",
                    "-", note.c_str());
        literal_same_ = literal_same_ && lit.check == "same";
    }

    int summary(const std::string& big) {
        fs::remove_all(runs_folder());
        fs::remove_all(earlier_runs_folder());
        if (!options_.ram_out.empty()) fs::remove_all(options_.ram_out);
        double pad_over_decal = 0;
        for (const Place& place : places())
            for (const Set& set : sets_)
                pad_over_decal = std::max(pad_over_decal, results_["pad-count " + place.label + set.label].seconds /
                                                              results_["decal-name " + place.label + set.label].seconds);
        double peak = 0;
        double growth = -1e9;
        std::vector<std::string> names = {"missing"};
        for (const Place& place : places())
            for (const SortKey key : kKeys) names.push_back(mg::sort_key_name(key) + " " + place.label);
        for (const std::string& name : names) {
            peak = std::max({peak, results_[name + "1x"].peak_mb, results_[name + big].peak_mb});
            growth = std::max(growth, results_[name + big].peak_mb - results_[name + "1x"].peak_mb);
        }
        std::printf("every key within %.2fx its floor: %s (worst %.2f, %s)\n", kTarget, worst_ <= kTarget ? "yes" : "NO",
                    worst_, worst_what_.c_str());
        std::printf("pad count no slower than the decal name: %s (%.2f times its seconds at most)\n",
                    pad_over_decal <= 1 ? "yes" : "NO", pad_over_decal);
        std::printf("peak memory under 64 MB for every key, and with decals missing: %s (largest %.1f MB; from 1x to "
                    "%s it grows %.1f MB at most%s)\n", peak < 64 && growth <= 8 ? "yes" : "NO", peak, big.c_str(),
                    growth, growth <= 8 ? "" : ", over 8 MB");
        std::printf("threads: the median gain of each key, on each file system and data set:");
        for (const SortKey key : kKeys) {
            const std::string name = mg::sort_key_name(key);
            std::printf(" %s", name.c_str());
            for (const double gain : gains_[name]) std::printf(" %+.0f%%", 100 * gain);
            std::printf(";");
        }
        std::printf("\n");
        std::printf("the literal passes write the same files as the engine: %s\n", literal_same_ ? "yes" : "NO");
        std::printf("\nThe generated data stays in %s for the next run; remove the folder to free the space.\n",
                    options_.data.string().c_str());
        return worst_ <= kTarget && pad_over_decal <= 1 && peak < 64 && growth <= 8 && literal_same_ ? 0 : 3;
    }

    const Options& options_;
    fs::path self_;
    std::vector<Set> sets_;
    static constexpr double kTarget = 1.5;  // the most a key may take over its floor
    std::map<std::string, Measure> results_;
    std::map<std::string, std::vector<double>> gains_;  // each key's, in the order measured
    double worst_ = 0;
    std::string worst_what_;
    bool literal_same_ = true;
};

int positive(const std::string& text, const std::string& name) {
    try {
        std::size_t used = 0;
        const int value = std::stoi(text, &used);
        if (value > 0 && used == text.size()) return value;
    } catch (const std::exception&) {
    }
    throw std::runtime_error(name + " needs a positive whole number, not \"" + text + "\"");
}

// The command line: a measuring run (by default, or --long-line) with its
// options, or one measurement in a child process (--child, given by the
// parent with --set, --app, --parts and --repeat).
struct Arguments {
    Options options;
    bool help = false;
    std::string child_what;
    fs::path set;
    fs::path app;
};

Arguments parse_arguments(int argc, char** argv) {
    Arguments parsed;
    Options& options = parsed.options;
    mg::arguments::CommandLine line;
    line.flag("--help", parsed.help, {"-h"});
    line.flag("--long-line", options.long_line);
    const auto path = [&](const char* name, fs::path& into) {
        line.value(name, [&into](const std::string& value) { into = value; });
    };
    const auto number = [&](const char* name, int& into) {
        line.value(name, [&into, name](const std::string& value) { into = positive(value, name); });
    };
    path("--data", options.data);
    path("--out", options.out);
    path("--ram-out", options.ram_out);
    number("--parts", options.parts);
    number("--scale", options.scale);
    number("--repeat", options.repeat);
    number("--literal-fraction", options.literal_fraction);
    number("--pad-literal-fraction", options.pad_literal_fraction);
    line.value("--child", [&](const std::string& value) { parsed.child_what = value; });
    path("--set", parsed.set);
    path("--app", parsed.app);
    try {
        const auto operands = line.parse(std::vector<std::string>(argv + 1, argv + argc));
        if (!operands.empty()) throw mg::arguments::UsageError("unknown option " + operands.front());
    } catch (const mg::arguments::UsageError& error) {
        throw std::runtime_error(error.what() + std::string(" (see --help)"));
    }
    return parsed;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Arguments parsed = parse_arguments(argc, argv);
        if (parsed.help) {
            std::cout << kUsage;
            return 0;
        }
        Options options = parsed.options;
        if (options.repeat == 0) options.repeat = options.long_line ? 5 : 11;
        if (!parsed.child_what.empty())
            return child(parsed.child_what, parsed.set, parsed.app, options.parts, options.repeat);
        Bench bench(options, self_path(argv[0]));
        return options.long_line ? bench.run_long_lines() : bench.run();
    } catch (const std::exception& error) {
        std::cerr << "marrowgate_bench: " << error.what() << "\n";
        return 1;
    }
}
