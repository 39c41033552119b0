// Whether the run writes its files behind it, on a thread of its own: where
// the machine has more than one processor, unless the environment variable
// MARROWGATE_THREADS is 1, and never in the fuzz build, whose runs must repeat
// exactly. Without it the same work is done in line, in the same order.
#pragma once

namespace marrowgate {

bool background_threads();

}  // namespace marrowgate
