// The status display of a run in the window: the hourglass pointer, the status
// label, and the window's events handled while the run works.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <string>

#include "library/StatusDisplay.h"

class QLabel;

namespace marrowgate::ui {

class WindowStatus final : public StatusDisplay {
public:
    // Pending events run at most this often while the caption stays the same.
    static constexpr qint64 kPumpIntervalMs = 100;

    // `stop`: set when the user asks the run to stop ("Exit", the close box).
    WindowStatus(QLabel* label, const bool& stop);
    // Releases the hourglass if the run left it set.
    ~WindowStatus() override;
    WindowStatus(const WindowStatus&) = delete;
    WindowStatus& operator=(const WindowStatus&) = delete;

    void set_hourglass(bool busy) override;
    void set_caption(const std::string& caption) override;
    void set_visible(bool visible) override;
    // Called for every part: lets the window repaint and take clicks when the
    // caption has changed or the interval has passed, and costs a clock read
    // otherwise.
    void pump_events() override;
    bool stop_requested() override { return stop_; }

private:
    QPointer<QLabel> label_;
    const bool& stop_;
    QElapsedTimer since_pump_;
    bool changed_ = true;
    bool hourglass_ = false;
};

}  // namespace marrowgate::ui
