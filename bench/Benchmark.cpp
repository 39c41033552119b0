// marrowgate_bench: times every sort key on large generated libraries against
// two references measured in the same run, the I/O limit (the input files read
// twice and their bytes written once, through the same file layer) and the
// literal passes (output files reopened per block, the decal library re-read
// per part), and measures each run's peak memory in a child process of its
// own, at the default size and at a multiple of it.
//
//   marrowgate_bench [--data DIR] [--parts N] [--scale K] [--repeat R]
//                    [--literal-fraction F] [--pad-literal-fraction F]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "generator/LibraryGenerator.h"
#include "library/Folders.h"
#include "library/LineReader.h"
#include "sort/LiteralSort.h"
#include "sort/Sorts.h"
#include "state/Module1.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
namespace mg = marrowgate;
using mg::bench::LibrarySpec;
using mg::SortKey;

constexpr SortKey kKeys[] = {SortKey::Alphanumeric, SortKey::LogicFamily, SortKey::DecalName, SortKey::PadCount};

struct Options {
    fs::path data = fs::temp_directory_path() / "marrowgate-bench";
    int parts = 25000;          // per file, at scale 1
    int scale = 4;              // the larger data set, for memory growth
    int repeat = 3;             // best of
    int literal_fraction = 100;       // the literal passes run on 1/F of the parts
    int pad_literal_fraction = 1000;  // and the pad count on 1/F
};

LibrarySpec spec_with(int parts_per_file) {
    LibrarySpec spec;
    spec.parts_per_file = parts_per_file;
    return spec;
}

fs::path set_folder(const Options& options, const std::string& name) { return options.data / name; }

// Generates a data set unless the folder holds one of the same spec already.
void ensure_data(const fs::path& folder, const LibrarySpec& spec) {
    const fs::path stamp = folder / "spec.txt";
    const std::string wanted = mg::bench::describe(spec);
    std::ifstream in(stamp, std::ios::binary);
    const std::string found((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (found == wanted) return;
    fs::create_directories(folder);
    std::cerr << "generating " << spec.files << " x " << spec.parts_per_file << " parts in " << folder.string()
              << " ..." << std::endl;
    mg::bench::generate_libraries(spec, folder);
    std::ofstream(stamp, std::ios::binary) << wanted;
}

std::vector<fs::path> part_files(const fs::path& folder, int files) {
    std::vector<fs::path> paths;
    for (int f = 1; f <= files; ++f) paths.push_back(folder / ("parts_" + std::to_string(f) + ".p"));
    return paths;
}

std::uintmax_t bytes_of(const std::vector<fs::path>& paths) {
    std::uintmax_t total = 0;
    for (const auto& path : paths) total += fs::file_size(path);
    return total;
}

// The state the window would hold after listing the files and choosing the
// decal library.
mg::Module1 listed_state(const fs::path& set, const fs::path& app, int parts_per_file) {
    mg::Module1 state;
    state.Application_Folder = app;
    const auto files = part_files(set, LibrarySpec{}.files);
    for (const auto& path : files) {
        state.File_Count = static_cast<std::int16_t>(state.File_Count + 1);
        const auto slot = static_cast<std::size_t>(state.File_Count);
        state.File_Folder[slot] = mg::utf8_from_path(path.parent_path()) + std::string(1, fs::path::preferred_separator);
        state.File_Name[slot] = mg::utf8_from_path(path.filename());
        state.File_Parts[slot] = parts_per_file;
        state.Total_Parts += parts_per_file;
    }
    state.Decal_Count = 1;
    state.Decal_Folder[1] = state.File_Folder[1];
    state.Decal_Name[1] = "decals.d";
    return state;
}

void fresh_app_folder(const fs::path& app) {
    fs::remove_all(app);
    fs::create_directories(app / "lib");
    fs::create_directories(app / "tmp");
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The least any two-pass sort must do: read every input twice and write its
// bytes once, in the chunks the line reader reads.
void io_limit(const std::vector<fs::path>& inputs, const fs::path& output) {
    mg::FileSystem& files = mg::real_file_system();
    std::vector<char> buffer(mg::LineReader::kChunk);
    auto out = files.open_write(output, mg::WriteMode::Truncate);
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& path : inputs) {
            auto in = files.open_read(path);
            while (const std::size_t got = in->read(buffer.data(), buffer.size()))
                if (pass == 1) out->write(buffer.data(), got);
        }
    }
    out->close();
}

// Every file below `a` has a twin of the same bytes below `b`, and no more.
bool same_files(const fs::path& a, const fs::path& b) {
    auto listing = [](const fs::path& root) {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            files[fs::relative(entry.path(), root).string()] =
                std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        }
        return files;
    };
    return listing(a) == listing(b);
}

// ---- child side: one measurement, printed as "seconds parts check" ----

int child(const std::string& what, const fs::path& set, const fs::path& app, int parts_per_file, int repeat) {
    double best = 1e300;
    long long parts = 0;
    std::string check = "-";
    const std::size_t colon = what.find(':');
    const std::string kind = what.substr(0, colon);
    const auto named = colon == std::string::npos ? std::nullopt : mg::sort_key_from_name(what.substr(colon + 1));
    if ((kind != "io-limit" && !named) || (kind != "io-limit" && kind != "engine" && kind != "literal")) {
        std::cerr << "unknown measurement " << what << "\n";
        return 2;
    }
    const SortKey key = named.value_or(SortKey::Alphanumeric);
    for (int r = 0; r < repeat; ++r) {
        fresh_app_folder(app);
        mg::Module1 state = listed_state(set, app, parts_per_file);
        const auto start = std::chrono::steady_clock::now();
        if (kind == "io-limit") {
            io_limit(part_files(set, state.File_Count), app / "lib" / "all.p");
            parts = state.Total_Parts;
        } else if (kind == "engine") {
            mg::NullStatusDisplay status;
            const mg::RunResult result = mg::run_sort(state, key, status, mg::real_file_system());
            if (!result.ok) {
                std::cerr << "the run failed: " << result.error << "\n";
                return 1;
            }
            parts = result.parts;
        } else {
            mg::test::literal_sort(state, key);
            parts = state.Total_Parts;
        }
        best = std::min(best, seconds_since(start));
    }
    if (kind == "literal") {
        // The same inputs through the engine, for a check that both write the
        // same files.
        const fs::path twin = app.string() + "-engine";
        fresh_app_folder(twin);
        mg::Module1 state = listed_state(set, twin, parts_per_file);
        mg::NullStatusDisplay status;
        const bool ok = mg::run_sort(state, key, status, mg::real_file_system()).ok;
        check = ok && same_files(app, twin) ? "same" : "DIFFERENT";
        fs::remove_all(twin);
    }
    fs::remove_all(app);
    std::cout << best << " " << parts << " " << check << "\n";
    return 0;
}

// ---- parent side ----

struct Measure {
    double seconds = 0;
    long long parts = 0;
    std::string check;
    double peak_mb = 0;
};

fs::path self_path(const char* argv0) {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::absolute(argv0) : self;
}

// Runs this program with `args` and returns what it printed and its peak
// resident memory, as the kernel accounted it (what /usr/bin/time -v shows).
Measure run_child(const fs::path& self, const std::vector<std::string>& args) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) throw std::runtime_error("pipe failed");
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
    for (ssize_t got; (got = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) output.append(buffer, static_cast<std::size_t>(got));
    close(pipe_fds[0]);
    if (spawned != 0) throw std::runtime_error("cannot start " + self.string());
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the measurement " + args[1] + " failed");
    Measure measure;
    std::istringstream(output) >> measure.seconds >> measure.parts >> measure.check;
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

void print_row(const std::string& what, const std::string& data, long long parts, double seconds, double megabytes,
               double ratio, const std::string& peak, const std::string& note = {}) {
    std::printf("%-22s %-6s %8lld %9s %8s %7s %8s  %s\n", what.c_str(), data.c_str(), parts, fixed(seconds, 3).c_str(),
                fixed(megabytes / seconds, 0).c_str(), fixed(ratio, 2).c_str(), peak.c_str(), note.c_str());
}

int parent(const Options& options, const fs::path& self) {
    struct Set {
        std::string name;
        std::string label;
        int parts;
    };
    const std::vector<Set> full = {{"x1", "1x", options.parts}, {"x" + std::to_string(options.scale),
                                                                 std::to_string(options.scale) + "x",
                                                                 options.parts * options.scale}};
    const int word_subset = std::max(1, options.parts / options.literal_fraction);
    const int pad_subset = std::max(1, options.parts / options.pad_literal_fraction);
    for (const auto& set : full) ensure_data(set_folder(options, set.name), spec_with(set.parts));
    ensure_data(set_folder(options, "literal"), spec_with(word_subset));
    ensure_data(set_folder(options, "literal-pads"), spec_with(pad_subset));

    const auto measure = [&](const std::string& what, const std::string& set, int parts, int repeat) {
        return run_child(self, {"--child", what, "--set", set_folder(options, set).string(), "--app",
                                (options.data / ("run-" + set)).string(), "--parts", std::to_string(parts),
                                "--repeat", std::to_string(repeat)});
    };

    const auto x1_files = part_files(set_folder(options, "x1"), LibrarySpec{}.files);
    const double x1_mb = static_cast<double>(bytes_of(x1_files)) / 1e6;
    const double decal_mb = static_cast<double>(fs::file_size(set_folder(options, "x1") / "decals.d")) / 1e6;
    std::printf("Marrowgate benchmark: %d part-type files x %d parts (%.1f MB in all), decal library of %d decals "
                "(%.1f MB); best of %d runs; MB = 10^6 bytes of part-type input per second\n\n",
                LibrarySpec{}.files, options.parts, x1_mb, LibrarySpec{}.decals, decal_mb, options.repeat);
    std::printf("%-22s %-6s %8s %9s %8s %7s %8s\n", "key", "data", "parts", "seconds", "MB/s", "x I/O", "peak MB");

    std::map<std::string, double> seconds;
    double worst_ratio = 0;
    double worst_peak = 0;
    std::map<std::string, double> peaks;
    for (const auto& set : full) {
        const double mb = static_cast<double>(bytes_of(part_files(set_folder(options, set.name), LibrarySpec{}.files))) / 1e6;
        const Measure io = measure("io-limit", set.name, set.parts, options.repeat);
        print_row("I/O limit", set.label, io.parts, io.seconds, mb, 1.0, fixed(io.peak_mb, 1));
        for (const SortKey key : kKeys) {
            const std::string name = mg::sort_key_name(key);
            const Measure run = measure("engine:" + name, set.name, set.parts, options.repeat);
            const double ratio = run.seconds / io.seconds;
            print_row(name, set.label, run.parts, run.seconds, mb, ratio, fixed(run.peak_mb, 1));
            seconds[name + set.label] = run.seconds;
            peaks[name + set.label] = run.peak_mb;
            worst_ratio = std::max(worst_ratio, ratio);
            worst_peak = std::max(worst_peak, run.peak_mb);
        }
        if (set.label == "1x") {
            for (const SortKey key : kKeys) {
                const std::string name = mg::sort_key_name(key);
                const bool pads = key == SortKey::PadCount;
                const int fraction = pads ? options.pad_literal_fraction : options.literal_fraction;
                const int subset = pads ? pad_subset : word_subset;
                const Measure lit = measure("literal:" + name, pads ? "literal-pads" : "literal", subset, 1);
                const double factor = static_cast<double>(set.parts) / subset;
                const double estimate = lit.seconds * factor;
                print_row("literal " + name, set.label, lit.parts * static_cast<long long>(factor), estimate, mb,
                          estimate / io.seconds, "-",
                          "estimate: " + fixed(lit.seconds, 2) + " s on " + std::to_string(lit.parts) + " parts (1/" +
                              std::to_string(fraction) + ") x " + fixed(factor, 0) + "; files " + lit.check +
                              " as the engine's");
            }
        }
        std::printf("\n");
    }
    const std::string big = std::to_string(options.scale) + "x";
    const double pad_over_decal = seconds["pad-count1x"] / seconds["decal-name1x"];
    double growth = 0;
    for (const SortKey key : kKeys) {
        const std::string name = mg::sort_key_name(key);
        growth = std::max(growth, peaks[name + big] - peaks[name + "1x"]);
    }
    std::printf("every key within 2x the I/O limit: %s (worst %.2f)\n", worst_ratio <= 2.0 ? "yes" : "NO", worst_ratio);
    std::printf("pad count within 1.3x the decal name sort (1x): %s (%.2f)\n", pad_over_decal <= 1.3 ? "yes" : "NO",
                pad_over_decal);
    std::printf("peak memory under 64 MB for every key: %s (largest %.1f MB); growth from 1x to %s: %.1f MB at most\n",
                worst_peak < 64 ? "yes" : "NO", worst_peak, big.c_str(), growth);
    std::printf("\ngenerated data kept in %s for the next run (remove the folder to free the space)\n",
                options.data.string().c_str());
    return worst_ratio <= 2.0 && pad_over_decal <= 1.3 && worst_peak < 64 ? 0 : 3;
}

int integer(const std::string& text, const std::string& name) {
    try {
        const int value = std::stoi(text);
        if (value > 0) return value;
    } catch (const std::exception&) {
    }
    throw std::runtime_error(name + " needs a positive whole number, not \"" + text + "\"");
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Options options;
        std::string child_what;
        fs::path set;
        fs::path app;
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--help" || arg == "-h") {
                std::cout << "marrowgate_bench [--data DIR] [--parts N] [--scale K] [--repeat R]\n"
                             "                 [--literal-fraction F] [--pad-literal-fraction F]\n"
                             "Generates four part-type libraries of N parts each (default 25000) and a decal\n"
                             "library of 10000 decals in DIR (kept for the next run), then times every sort key\n"
                             "against the I/O limit and the literal passes (run on 1/F of the parts and scaled\n"
                             "up), at N and at K times N parts per file, each run in a child process whose\n"
                             "peak memory is shown. Exit status 3 when a target is missed.\n";
                return 0;
            }
            if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
            const std::string value = argv[++i];
            if (arg == "--data") options.data = value;
            else if (arg == "--parts") options.parts = integer(value, arg);
            else if (arg == "--scale") options.scale = integer(value, arg);
            else if (arg == "--repeat") options.repeat = integer(value, arg);
            else if (arg == "--literal-fraction") options.literal_fraction = integer(value, arg);
            else if (arg == "--pad-literal-fraction") options.pad_literal_fraction = integer(value, arg);
            else if (arg == "--child") child_what = value;
            else if (arg == "--set") set = value;
            else if (arg == "--app") app = value;
            else throw std::runtime_error("unknown option " + arg + " (see --help)");
        }
        if (!child_what.empty()) return child(child_what, set, app, options.parts, options.repeat);
        return parent(options, self_path(argv[0]));
    } catch (const std::exception& error) {
        std::cerr << "marrowgate_bench: " << error.what() << "\n";
        return 1;
    }
}
