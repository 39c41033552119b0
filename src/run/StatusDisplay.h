// What a sort run shows while it works: the hourglass, the status label's
// caption and visibility, and a chance for the window to handle its events.
// The window, the command line and the tests each supply their own.
#pragma once

#include <string>

namespace marrowgate {

class StatusDisplay {
public:
    virtual ~StatusDisplay() = default;
    virtual void set_hourglass(bool busy) = 0;
    virtual void set_caption(const std::string& caption) = 0;
    virtual void set_visible(bool visible) = 0;
    // Let pending window events run.
    virtual void pump_events() = 0;
    // Whether the user asked the run to stop ("Exit", the close box, Ctrl+C):
    // asked after events have run; the run then stops and changes nothing.
    virtual bool stop_requested() { return false; }
};

// Shows nothing.
class NullStatusDisplay final : public StatusDisplay {
public:
    void set_hourglass(bool) override {}
    void set_caption(const std::string&) override {}
    void set_visible(bool) override {}
    void pump_events() override {}
};

}  // namespace marrowgate
