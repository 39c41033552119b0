// Why a run cannot go on, thrown from any layer below the run and caught by
// its frame, which puts the text into the run's result.
#pragma once

#include <stdexcept>

namespace marrowgate {

// A run that cannot go on for a reason other than a file operation.
class RunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An input the run would remove, replace or write: the run writes nothing.
class InputRefused : public RunError {
public:
    using RunError::RunError;
};

}  // namespace marrowgate
