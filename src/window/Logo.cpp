#include "window/Logo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

namespace orva {

namespace {

// Draws a projector lens of radius r centred on c.
void drawLens(QPainter& p, QPointF c, qreal r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(35, 35, 40));
    p.drawEllipse(c, r, r);
    QRadialGradient glass(c - QPointF(r * 0.3, r * 0.3), r);
    glass.setColorAt(0.0, QColor(190, 225, 255));
    glass.setColorAt(0.55, QColor(60, 120, 220));
    glass.setColorAt(1.0, QColor(15, 30, 90));
    p.setBrush(glass);
    p.drawEllipse(c, r * 0.72, r * 0.72);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(c - QPointF(r * 0.28, r * 0.28), r * 0.16, r * 0.16);
}

} // namespace

void drawLogo(QPainter& p, const QRectF& target)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.translate(target.topLeft());
    p.scale(target.width() / LogoWidth, target.height() / LogoHeight);

    // Plate: a dark blue bar with rounded corners.
    QLinearGradient plate(0, 0, 0, LogoHeight);
    plate.setColorAt(0.0, QColor(40, 80, 170));
    plate.setColorAt(1.0, QColor(10, 28, 90));
    p.setPen(QPen(QColor(5, 15, 55), 1));
    p.setBrush(plate);
    p.drawRoundedRect(QRectF(0.5, 0.5, LogoWidth - 1, LogoHeight - 1), 4, 4);

    drawLens(p, QPointF(13, 13), 9);

    // The name, and an orange rule under it.
    QFont name;
    name.setStyleHint(QFont::SansSerif);
    name.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    name.setBold(true);
    name.setPixelSize(15);
    name.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(name);
    p.setPen(Qt::white);
    p.drawText(QRectF(25, 1, 54, 18), Qt::AlignCenter, QStringLiteral("ORVA"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 150, 30));
    p.drawRect(QRectF(28, 19.5, 48, 2));
    p.restore();
}

QImage logoBitmap()
{
    QImage image(LogoWidth, LogoHeight, QImage::Format_RGB888);
    image.fill(QColor(192, 192, 192));
    QPainter p(&image);
    drawLogo(p, QRectF(0, 0, LogoWidth, LogoHeight));
    return image;
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);

        // The beam, thrown up and to the right from the lens.
        QPainterPath beam;
        beam.moveTo(18, 24);
        beam.lineTo(62, 2);
        beam.lineTo(62, 22);
        beam.lineTo(24, 30);
        beam.closeSubpath();
        QLinearGradient light(18, 26, 62, 10);
        light.setColorAt(0.0, QColor(255, 230, 120, 230));
        light.setColorAt(1.0, QColor(255, 230, 120, 40));
        p.setPen(Qt::NoPen);
        p.setBrush(light);
        p.drawPath(beam);

        // Body and feet.
        p.setBrush(QColor(60, 60, 70));
        p.drawRect(QRectF(10, 52, 8, 6));
        p.drawRect(QRectF(46, 52, 8, 6));
        QLinearGradient body(0, 22, 0, 54);
        body.setColorAt(0.0, QColor(235, 238, 245));
        body.setColorAt(1.0, QColor(150, 155, 170));
        p.setPen(QPen(QColor(50, 55, 70), 2));
        p.setBrush(body);
        p.drawRoundedRect(QRectF(3, 22, 58, 32), 7, 7);

        // Vents and a power light.
        p.setPen(QPen(QColor(80, 85, 100), 2, Qt::SolidLine, Qt::RoundCap));
        for (const int y : {31, 37, 43})
            p.drawLine(QPointF(38, y), QPointF(54, y));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 200, 80));
        p.drawEllipse(QPointF(54, 48), 2, 2);

        drawLens(p, QPointF(19, 38), 12);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace orva
