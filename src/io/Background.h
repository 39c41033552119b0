// Whether the engine reads ahead and writes behind on threads of its own:
// where the machine has more than one processor, and never in the fuzz build,
// whose runs must repeat exactly. Without them the same work is done in line,
// in the same order.
#pragma once

namespace marrowgate {

bool background_threads();

// Whether a file is worth reading ahead on a thread of its own while `busy`
// other threads of the run keep processors busy: only where one is left for
// it. (On two processors a copy pass that reads, sorts and writes is faster
// with the reading done by the thread that sorts.)
bool read_ahead_beside(unsigned busy);

}  // namespace marrowgate
