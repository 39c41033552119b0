#pragma once

#include <stdexcept>

namespace marrowgate {

// The user asked the run to stop.
class RunStopped : public std::runtime_error {
public:
    RunStopped() : std::runtime_error("The run was stopped. Nothing was changed.") {}
};

}  // namespace marrowgate
