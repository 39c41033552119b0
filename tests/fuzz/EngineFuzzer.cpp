// libFuzzer target over the engine: each input is a whole sort run (see
// EngineCheck.h for how its bytes are laid out), made in a fresh application
// folder and checked against the model; a broken property aborts with its
// description so that libFuzzer keeps the input.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "fuzz/EngineCheck.h"

namespace {

const std::filesystem::path& work_root() {
    // The folder tools/fuzz.sh gives and removes afterwards (libFuzzer ends
    // without running destructors); else a folder in memory where there is
    // one: every case creates and removes a handful of files.
    static const std::filesystem::path root = [] {
        if (const char* given = std::getenv("MARROWGATE_FUZZ_WORK"); given && *given)
            return std::filesystem::path(given) / "work";
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        return base / ("marrowgate-fuzz-" + std::to_string(::getpid()));
    }();
    return root;
}

struct RemoveWorkRoot {
    ~RemoveWorkRoot() {
        std::error_code ec;
        std::filesystem::remove_all(work_root(), ec);
    }
} remove_work_root;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = marrowgate::fuzz::check_case(data, size, work_root() / "case");
    if (!problem.empty()) {
        std::fprintf(stderr, "\nmarrowgate property broken: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
