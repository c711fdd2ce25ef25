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
    // The same pictures the desktop menu shows (installed under hicolor).
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/orva-panel-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace orva
