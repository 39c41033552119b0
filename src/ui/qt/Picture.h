// A picture box: draws its image at its top-left corner, unscaled, and fills
// the rest of its area with a colour that continues the image's edges.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace marrowgate::ui {

class Picture : public QWidget {
    Q_OBJECT
public:
    Picture(const QString& image, const QColor& fill, QWidget* parent = nullptr);
    const QPixmap& image() const { return image_; }

    // A thin line drawn along the edges of the box, or none (invalid colour).
    void setBorder(const QColor& colour) { border_ = colour; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap image_;
    QColor fill_;
    QColor border_;
};

}  // namespace marrowgate::ui
