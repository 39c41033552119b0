#include "io/Background.h"

#include <cstdlib>
#include <thread>

namespace marrowgate {

// The processors the run may keep busy: the machine's, or as many as the
// environment variable MARROWGATE_THREADS says (1: every step in line, on
// the thread that runs the sort; the benchmark times both ways).
bool background_threads() {
#ifdef MARROWGATE_SINGLE_THREAD
    return false;
#else
    static const unsigned processors = [] {
        if (const char* wanted = std::getenv("MARROWGATE_THREADS")) {
            char* end = nullptr;
            const unsigned long n = std::strtoul(wanted, &end, 10);
            if (end != wanted && *end == '\0' && n > 0 && n < 1024) return static_cast<unsigned>(n);
        }
        return std::thread::hardware_concurrency();
    }();
    return processors > 1;
#endif
}

}  // namespace marrowgate
