#include "run/Progress.h"

#include <algorithm>
#include <cmath>

#include "run/RunStopped.h"

namespace marrowgate {

namespace {
// The percentage of a progress step, rounded down; -1 when there is no total.
long long progress_percent(long long counter, long long total) {
    if (total <= 0) return -1;
    return static_cast<long long>(std::floor(static_cast<double>(counter) * 100.0 / static_cast<double>(total)));
}
}  // namespace

std::string progress_caption(std::string_view phase, long long counter, long long total) {
    std::string caption(phase);
    const long long percent = progress_percent(counter, total);
    if (percent < 0) return caption;
    caption += ' ';
    caption += std::to_string(percent);
    caption += " %";
    return caption;
}

// The caption changes only with the percentage; it is made only then, and
// the percentage is worked out only at the step where it may change.
void Progress::change() {
    const long long percent = progress_percent(counter_, total_);
    next_change_ = counter_ + 1;
    if (percent >= 0 && percent < 100) {
        // The first step of the next percentage, by the same rounding.
        long long next = (percent + 1) * total_ / 100;
        while (next > next_change_ && progress_percent(next - 1, total_) > percent) --next;
        while (progress_percent(next, total_) <= percent) ++next;
        next_change_ = std::max(next, counter_ + 1);
    }
    if (percent == shown_percent_) return;
    shown_percent_ = percent;
    std::string caption = progress_caption(phase_, counter_, total_);
    if (caption != last_) {
        status_.set_caption(caption);
        last_ = std::move(caption);
    }
}

void Progress::check_stop() {
    if (status_.stop_requested()) throw RunStopped();
}

}  // namespace marrowgate
