// libFuzzer target over the engine: each input is a case of sort runs in a
// file layer held in memory (see EngineCheck.h for how its bytes are laid
// out), checked against the model; a broken property aborts with its
// description so that libFuzzer keeps the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/EngineCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = marrowgate::fuzz::check_case(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "\nmarrowgate property broken: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}

// AddressSanitizer's defaults here: no call stack kept for every allocation
// and a small quarantine of freed blocks, which made up about a third of a
// case's time. A report still shows where the bad access was made; to see
// where its block was allocated and freed, run the input again with
// ASAN_OPTIONS=malloc_context_size=30:quarantine_size_mb=256.
extern "C" const char* __asan_default_options() { return "malloc_context_size=0:quarantine_size_mb=16"; }
