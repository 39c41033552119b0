// Whether the run uses threads of its own, to read the files of its
// collection pass side by side and to write its files behind it: where the
// machine has more than one processor, unless the environment variable
// MARROWGATE_THREADS is 1, and never in the fuzz build, whose runs must repeat
// exactly. Without them the same work is done in line, in the same order.
#pragma once

namespace marrowgate {

bool background_threads();

}  // namespace marrowgate
