#include "ui/qt/WindowStatus.h"

#include <QApplication>
#include <QLabel>

namespace marrowgate::ui {

WindowStatus::WindowStatus(QLabel* label, const bool& stop) : label_(label), stop_(stop) { since_pump_.start(); }

WindowStatus::~WindowStatus() { set_hourglass(false); }

void WindowStatus::set_hourglass(bool busy) {
    if (busy == hourglass_) return;
    hourglass_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void WindowStatus::set_caption(const std::string& caption) {
    if (label_) label_->setText(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    changed_ = true;
}

void WindowStatus::set_visible(bool visible) {
    if (label_) label_->setVisible(visible);
    changed_ = true;
}

void WindowStatus::pump_events() {
    if (!changed_ && since_pump_.elapsed() < kPumpIntervalMs) return;
    changed_ = false;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    since_pump_.restart();
}

}  // namespace marrowgate::ui
