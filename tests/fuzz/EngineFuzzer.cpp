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

