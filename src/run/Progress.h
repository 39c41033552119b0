// What a run shows of its progress: the hourglass for as long as it works,
// and on the status label the phase and the percentage of the parts met so
// far, with pending events let run at every step.
#pragma once

#include <string>
#include <string_view>

#include "run/StatusDisplay.h"

namespace marrowgate {

inline constexpr std::string_view kProcessing = "Processing...";
inline constexpr std::string_view kFirstPass = "First pass...";

// The status label's caption at a progress step: the phase text, a space, the
// percentage of counter over Total_Parts (rounded down) and " %"; the phase
// text alone when Total_Parts is 0.
std::string progress_caption(std::string_view phase, long long counter, long long total);

// Progress steps: events run at every step; the caption is set when it changes.
class Progress {
public:
    Progress(StatusDisplay& status, long long total) : status_(status), total_(total) {}
    void start(std::string_view phase) {
        phase_ = phase;
        counter_ = 0;
        shown_percent_ = kNothingShown;
        next_change_ = 0;
    }
    // Runs pending events; sets the caption where the percentage changed.
    void step() {
        ++counter_;
        status_.pump_events();
        if (counter_ >= next_change_) change();
    }
    // Steps up to `counter`, one at a time, as the parts read come in.
    void advance_to(long long counter) {
        while (counter_ < counter) step();
    }
    void caption(const std::string& text) {
        status_.set_caption(text);
        last_ = text;
        shown_percent_ = kNothingShown;
        next_change_ = 0;
    }
    // Stops the run (throws RunStopped) where the user asked it to stop.
    void check_stop();
    // Whether the user asked the run to stop.
    bool stop_asked() { return status_.stop_requested(); }

private:
    void change();

    static constexpr long long kNothingShown = -2;
    StatusDisplay& status_;
    long long total_;
    std::string_view phase_;
    long long counter_ = 0;
    long long shown_percent_ = kNothingShown;
    long long next_change_ = 0;  // the first step whose percentage may differ
    std::string last_;
};

}  // namespace marrowgate
