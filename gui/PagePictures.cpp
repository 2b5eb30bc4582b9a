#include "PagePictures.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRadialGradient>
#include <QRectF>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace quillon::gui {
namespace {

constexpr int kToolbarPictures = 7;
constexpr int kBannerPictures = 6;

// Toolbar pictures are drawn on a 100 x 100 canvas, centred in the pixmap.
constexpr qreal kCanvas = 100.0;

// Light strokes on the dark blue toolbar strip, with a soft fill for areas.
const QColor kStroke(255, 255, 255);
const QColor kAreaFill(255, 255, 255, 48);
const QColor kAccent(0xff, 0xc8, 0x57); // warm highlight: one per picture at most

QPixmap transparentPixmap(QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// Scales the painter so that the square canvas fills the pixmap's shorter
// side, centred along the longer one.
void useCanvas(QPainter& painter, QSize size) {
    const qreal side = std::min(size.width(), size.height());
    painter.translate((size.width() - side) / 2.0, (size.height() - side) / 2.0);
    painter.scale(side / kCanvas, side / kCanvas);
}

QPen strokePen(qreal width = 7.0, const QColor& color = kStroke) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void drawHouse(QPainter& p) {
    // Body with a door; the roof overhangs it.
    p.setPen(strokePen());
    p.setBrush(kAreaFill);
    p.drawPolygon(QPolygonF({{24, 48}, {24, 84}, {76, 84}, {76, 48}}));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({{12, 52}, {50, 16}, {88, 52}}));
    p.drawLine(QPointF(70, 30), QPointF(70, 20)); // chimney
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(43, 60, 14, 24), 3, 3);
}

void drawTag(QPainter& p) {
    // One price tag hanging from its string, pointed end up-left, with a yen
    // sign on it.
    p.save();
    p.translate(48, 48);
    p.rotate(45);
    QPainterPath tag;
    tag.moveTo(-40, 0);
    tag.lineTo(-22, -20);
    tag.lineTo(32, -20);
    tag.quadTo(38, -20, 38, -14);
    tag.lineTo(38, 14);
    tag.quadTo(38, 20, 32, 20);
    tag.lineTo(-22, 20);
    tag.closeSubpath();
    p.setPen(strokePen(6));
    p.setBrush(kAreaFill);
    p.drawPath(tag);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(-22, 0), 5, 5);
    p.restore();

    p.setPen(strokePen(5, kAccent));
    p.save();
    p.translate(55, 55);
    p.drawPolyline(QPolygonF({{-10, -14}, {0, 0}, {10, -14}}));
    p.drawLine(QPointF(0, 0), QPointF(0, 16));
    p.drawLine(QPointF(-9, 3), QPointF(9, 3));
    p.drawLine(QPointF(-9, 10), QPointF(9, 10));
    p.restore();

    p.setPen(strokePen(4));
    QPainterPath string;
    string.moveTo(32, 32);
    string.cubicTo(24, 22, 14, 18, 10, 6);
    p.drawPath(string);
}

void drawList(QPainter& p) {
    // A sheet with three bulleted lines.
    p.setPen(strokePen(6));
    p.setBrush(kAreaFill);
    p.drawRoundedRect(QRectF(14, 10, 72, 80), 8, 8);
    for (int line = 0; line < 3; ++line) {
        const qreal y = 32 + line * 18;
        p.setPen(Qt::NoPen);
        p.setBrush(line == 0 ? kAccent : kStroke);
        p.drawEllipse(QPointF(30, y), 5, 5);
        p.setPen(strokePen(6));
        p.drawLine(QPointF(42, y), QPointF(line == 2 ? 62 : 72, y));
    }
}

void drawShop(QPainter& p) {
    // Shop front: a striped awning with scalloped edge over a window and door.
    p.setPen(strokePen(6));
    p.setBrush(kAreaFill);
    p.drawRect(QRectF(20, 44, 60, 42));
    p.drawLine(QPointF(12, 86), QPointF(88, 86));

    QPainterPath awning;
    awning.moveTo(16, 42);
    awning.lineTo(22, 16);
    awning.lineTo(78, 16);
    awning.lineTo(84, 42);
    for (int k = 4; k >= 0; --k) {
        const qreal left = 16 + k * 13.6;
        awning.arcTo(QRectF(left, 35, 13.6, 14), 0, -180);
    }
    awning.closeSubpath();
    p.setBrush(kStroke);
    p.setPen(Qt::NoPen);
    p.drawPath(awning);
    // Alternate stripes in the accent colour, clipped to the awning.
    p.save();
    p.setClipPath(awning);
    p.setBrush(kAccent);
    for (int k = 0; k < 5; k += 2) {
        const qreal left = 16 + k * 13.6;
        p.drawPolygon(
            QPolygonF({{left + 3, 16}, {left + 10.6, 16}, {left + 13.6, 50}, {left, 50}}));
    }
    p.restore();
    p.setPen(strokePen(5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(awning);

    p.setPen(strokePen(5));
    p.drawRect(QRectF(28, 58, 20, 14));
    p.drawLine(QPointF(38, 58), QPointF(38, 72));
    p.setPen(Qt::NoPen);
    p.setBrush(kStroke);
    p.drawRect(QRectF(56, 56, 16, 30));
}

void drawGear(QPainter& p) {
    // Eight teeth around a wheel with a hole.
    constexpr int kTeeth = 8;
    constexpr qreal kOuter = 42;
    constexpr qreal kInner = 31;
    QPolygonF outline;
    for (int tooth = 0; tooth < kTeeth; ++tooth) {
        const qreal step = 2 * std::numbers::pi / kTeeth;
        const qreal centre = tooth * step;
        const std::array<std::pair<qreal, qreal>, 4> corners = {{
            {centre - step * 0.30, kInner},
            {centre - step * 0.17, kOuter},
            {centre + step * 0.17, kOuter},
            {centre + step * 0.30, kInner},
        }};
        for (const auto& [angle, radius] : corners)
            outline << QPointF(50 + radius * std::cos(angle), 50 + radius * std::sin(angle));
    }
    QPainterPath gear;
    gear.addPolygon(outline);
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(50, 50), 12, 12);
    p.setPen(strokePen(5));
    p.setBrush(kAreaFill);
    p.drawPath(gear.subtracted(hole));
    p.setPen(strokePen(5, kAccent));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(50, 50), 12, 12);
}

void drawQuestion(QPainter& p) {
    // A question mark drawn as strokes, so no font is needed.
    p.setPen(strokePen(6));
    p.setBrush(kAreaFill);
    p.drawEllipse(QPointF(50, 50), 40, 40);
    QPainterPath mark;
    mark.moveTo(37, 38);
    mark.cubicTo(37, 24, 63, 22, 63, 37);
    mark.cubicTo(63, 47, 50, 48, 50, 60);
    p.setBrush(Qt::NoBrush);
    p.setPen(strokePen(9));
    p.drawPath(mark);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawEllipse(QPointF(50, 74), 6, 6);
}

void drawPower(QPainter& p) {
    // The standby sign: a ring open at the top, crossed by a bar.
    p.setPen(strokePen(9));
    p.setBrush(Qt::NoBrush);
    // Qt angles in 1/16 degree, counter-clockwise from three o'clock.
    p.drawArc(QRectF(16, 20, 68, 68), 125 * 16, -250 * 16);
    p.setPen(strokePen(9, kAccent));
    p.drawLine(QPointF(50, 12), QPointF(50, 50));
}

using DrawFunction = void (*)(QPainter&);
constexpr std::array<DrawFunction, kToolbarPictures> kToolbarDrawings = {
    drawHouse, drawTag, drawList, drawShop, drawGear, drawQuestion, drawPower,
};

// Each banner's hue (degrees) so the pages tell apart at a glance; saturation
// and value stay low enough that white text reads well.
constexpr std::array<int, kBannerPictures> kBannerHues = {214, 190, 150, 24, 268, 340};

} // namespace

QPixmap toolbarPicture(int button, QSize size) {
    if (button < 1 || button > kToolbarPictures || size.isEmpty())
        return QPixmap();
    QPixmap pixmap = transparentPixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    useCanvas(painter, size);
    kToolbarDrawings[static_cast<std::size_t>(button - 1)](painter);
    return pixmap;
}

QPixmap bannerPicture(int choice, QSize size) {
    if (choice < 1 || choice > kBannerPictures || size.isEmpty())
        return QPixmap();
    const int hue = kBannerHues[static_cast<std::size_t>(choice - 1)];
    const qreal width = size.width();
    const qreal height = size.height();

    QPixmap pixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    // Dark where the text sits (left half), brighter towards the right end.
    QLinearGradient band(0, 0, width, 0);
    band.setColorAt(0.0, QColor::fromHsv(hue, 200, 105));
    band.setColorAt(0.45, QColor::fromHsv(hue, 200, 125));
    band.setColorAt(1.0, QColor::fromHsv((hue + 18) % 360, 150, 205));
    painter.fillRect(QRectF(0, 0, width, height), band);

    // Faint diagonal stripes on the right half, fading in.
    QLinearGradient fade(width * 0.45, 0, width, 0);
    fade.setColorAt(0.0, QColor(255, 255, 255, 0));
    fade.setColorAt(1.0, QColor(255, 255, 255, 34));
    painter.setPen(QPen(QBrush(fade), std::max(1.0, height / 12)));
    const qreal spacing = std::max(6.0, height / 3);
    for (qreal x = width * 0.45 - height; x < width; x += spacing)
        painter.drawLine(QPointF(x, height), QPointF(x + height, 0));

    // A soft glow at the right end and a light and a dark rule at the edges.
    QRadialGradient glow(QPointF(width * 0.92, height * 0.2), height * 1.6);
    glow.setColorAt(0.0, QColor(255, 255, 255, 40));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.fillRect(QRectF(0, 0, width, height), glow);
    painter.setPen(QPen(QColor(255, 255, 255, 70), 1));
    painter.drawLine(QPointF(0, 0.5), QPointF(width, 0.5));
    painter.setPen(QPen(QColor(0, 0, 0, 70), 1));
    painter.drawLine(QPointF(0, height - 0.5), QPointF(width, height - 0.5));
    return pixmap;
}

QPixmap programIcon(QSize size) {
    if (size.isEmpty())
        return QPixmap();
    QPixmap pixmap = transparentPixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    useCanvas(painter, size);

    // A blue rounded square with a white "Q" whose tail is the accent.
    QLinearGradient face(0, 0, 0, kCanvas);
    face.setColorAt(0.0, QColor(0x3a, 0x7b, 0xd5));
    face.setColorAt(1.0, QColor(0x1d, 0x3f, 0x72));
    painter.setPen(QPen(QColor(0x12, 0x2a, 0x4f), 3));
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(4, 4, 92, 92), 22, 22);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(strokePen(12));
    painter.drawEllipse(QPointF(48, 47), 25, 25);
    painter.setPen(strokePen(12, kAccent));
    painter.drawLine(QPointF(60, 61), QPointF(77, 79));
    return pixmap;
}

} // namespace quillon::gui
