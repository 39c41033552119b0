#include "ui/qt/Picture.h"

#include <QPainter>

namespace marrowgate::ui {

Picture::Picture(const QString& image, const QColor& fill, QWidget* parent)
    : QWidget(parent), image_(image), fill_(fill) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Picture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), fill_);
    painter.drawPixmap(0, 0, image_);
    if (border_.isValid()) {
        painter.setPen(border_);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

}  // namespace marrowgate::ui
