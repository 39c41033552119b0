// Whether the engine reads ahead and writes behind on threads of its own:
// where the machine has more than one processor, and never in the fuzz build,
// whose runs must repeat exactly. Without them the same work is done in line,
// in the same order.
#pragma once

namespace marrowgate {

bool background_threads();

}  // namespace marrowgate
