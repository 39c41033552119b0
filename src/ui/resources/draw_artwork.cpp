// Draws the images of the window: the banner strip behind the product name,
// the 800 by 200 image of the main panel, behind the file list, and the
// window's icon, the banner's mark on its own. Run it with the folder to write
// banner.png, panel.png and icon.png into.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

const QColor kPanelFill(0xf3, 0xf6, 0xf9);

// A copper track from point to point, with a via at its end.
void track(QPainter& p, const QPolygonF& points, const QColor& colour, double width, bool via) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(points);
    if (via) {
        p.setBrush(colour);
        p.drawEllipse(points.back(), width * 1.6, width * 1.6);
        p.setBrush(kPanelFill);
        p.setPen(Qt::NoPen);
        p.drawEllipse(points.back(), width * 0.6, width * 0.6);
    }
}

// A quad flat package seen from above: pads on four sides and the outline.
void footprint(QPainter& p, QPointF centre, double body, int pins_per_side, const QColor& pad, const QColor& pad_edge,
               const QColor& silk) {
    const double pitch = body / (pins_per_side + 1);
    const double pad_w = pitch * 0.55;
    const double pad_l = body * 0.18;
    p.setPen(QPen(pad_edge, 1.0));
    p.setBrush(pad);
    for (int side = 0; side < 4; ++side) {
        p.save();
        p.translate(centre);
        p.rotate(90.0 * side);
        for (int i = 1; i <= pins_per_side; ++i) {
            const double along = -body / 2 + i * pitch;
            p.drawRoundedRect(QRectF(along - pad_w / 2, body / 2 + 4, pad_w, pad_l), 1.5, 1.5);
        }
        p.restore();
    }
    p.setPen(QPen(silk, 1.6));
    p.setBrush(Qt::NoBrush);
    const QRectF outline(centre.x() - body / 2, centre.y() - body / 2, body, body);
    QPainterPath path;
    path.moveTo(outline.left() + 10, outline.top());
    path.lineTo(outline.right(), outline.top());
    path.lineTo(outline.right(), outline.bottom());
    path.lineTo(outline.left(), outline.bottom());
    path.lineTo(outline.left(), outline.top() + 10);
    path.closeSubpath();
    p.drawPath(path);
    p.setBrush(silk);
    p.drawEllipse(QPointF(outline.left() + 10, outline.top() + 10), 2.5, 2.5);
}

QImage panel() {
    QImage image(800, 200, QImage::Format_RGB32);
    image.fill(kPanelFill);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd9, 0xe1, 0xe9));
    for (int x = 480; x < 800; x += 12)
        for (int y = 6; y < 200; y += 12) p.drawEllipse(QPointF(x, y), 0.9, 0.9);

    const QColor copper_track(0xd3, 0xde, 0xe8);
    // Pad centres: left and right columns at y 52 + 14 i, top row at x 640 + 14 i.
    track(p, {{602, 66}, {570, 66}, {548, 44}, {512, 44}}, copper_track, 3.0, true);
    track(p, {{602, 80}, {560, 80}, {540, 100}, {500, 100}}, copper_track, 3.0, true);
    track(p, {{602, 108}, {580, 108}, {560, 128}, {560, 150}}, copper_track, 3.0, true);
    track(p, {{668, 14}, {668, 0}}, copper_track, 3.0, false);
    track(p, {{696, 14}, {696, 8}, {704, 0}}, copper_track, 3.0, false);
    track(p, {{762, 80}, {786, 80}, {800, 66}}, copper_track, 3.0, false);
    track(p, {{762, 122}, {775, 122}, {790, 137}, {790, 170}}, copper_track, 3.0, true);

    footprint(p, {682, 94}, 112, 7, QColor(0xee, 0xdd, 0xc4), QColor(0xdf, 0xc6, 0xa0), QColor(0xbd, 0xc9, 0xd5));

    // Fade into the panel colour on the left, where the controls stand, and
    // at the bottom, where the panel goes on without the image.
    QLinearGradient left(470, 0, 560, 0);
    left.setColorAt(0, kPanelFill);
    QColor clear = kPanelFill;
    clear.setAlpha(0);
    left.setColorAt(1, clear);
    p.fillRect(QRect(0, 0, 560, 200), left);
    QLinearGradient bottom(0, 130, 0, 200);
    bottom.setColorAt(0, clear);
    bottom.setColorAt(1, kPanelFill);
    p.fillRect(QRect(0, 130, 800, 70), bottom);
    return image;
}

// The mark: a copper tile with a chip on it, in the square (16, 11) to (56, 51).
void mark(QPainter& p) {
    QLinearGradient copper(16, 12, 56, 52);
    copper.setColorAt(0, QColor(0xe8, 0xa4, 0x55));
    copper.setColorAt(1, QColor(0xb5, 0x67, 0x24));
    p.setPen(Qt::NoPen);
    p.setBrush(copper);
    p.drawRoundedRect(QRectF(16, 11, 40, 40), 7, 7);
    p.setPen(QPen(QColor(0xfb, 0xe6, 0xc8), 2.0, Qt::SolidLine, Qt::FlatCap));
    for (int i = 0; i < 3; ++i) {
        const double at = 24.5 + i * 6.5 + 0.5;
        p.drawLine(QPointF(at, 15), QPointF(at, 47));
        p.drawLine(QPointF(20, at), QPointF(52, at));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x18, 0x2a, 0x3c));
    p.drawRoundedRect(QRectF(24, 19, 24, 24), 2.5, 2.5);
    p.setBrush(QColor(0xe8, 0xa4, 0x55));
    p.drawEllipse(QPointF(29, 24), 1.8, 1.8);
}

QImage banner() {
    const QColor deep(0x11, 0x26, 0x3b);
    const QColor fill(0x1d, 0x46, 0x68);
    QImage image(1280, 64, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 760, 0);
    sky.setColorAt(0, deep);
    sky.setColorAt(1, fill);
    p.fillRect(image.rect(), sky);

    // Faint tracks and vias on the right.
    const QColor faint(255, 255, 255, 22);
    p.setPen(QPen(faint, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int i = 0; i < 5; ++i) {
        const double y = 10 + i * 11;
        const double x0 = 470 + i * 38;
        p.drawPolyline(QPolygonF({{x0, y}, {x0 + 60, y}, {x0 + 70, y + 8}, {x0 + 170, y + 8}}));
        p.setBrush(faint);
        p.drawEllipse(QPointF(x0, y), 3, 3);
        p.setBrush(Qt::NoBrush);
    }

    // Accent line along the bottom edge.
    QLinearGradient accent(0, 0, 900, 0);
    accent.setColorAt(0, QColor(0xd9, 0x8c, 0x3a));
    accent.setColorAt(1, QColor(0xd9, 0x8c, 0x3a, 0));
    p.fillRect(QRect(0, 61, 1280, 3), accent);

    mark(p);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(QColor(0xa9, 0xc1, 0xd6));
    p.drawText(QPointF(74, 51), QStringLiteral("PADS ASCII part-type library sorter"));
    return image;
}

// The window's icon: the mark alone, 64 pixels square.
QImage icon() {
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(64.0 / 44.0, 64.0 / 44.0);
    p.translate(-14, -9);
    mark(p);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: marrowgate_draw_artwork FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const bool ok = banner().save(folder + QStringLiteral("/banner.png")) &&
                    panel().save(folder + QStringLiteral("/panel.png")) &&
                    icon().save(folder + QStringLiteral("/icon.png"));
    if (!ok) std::fprintf(stderr, "marrowgate_draw_artwork: cannot write the images into %s\n", argv[1]);
    return ok ? 0 : 1;
}
