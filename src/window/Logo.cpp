#include "window/Logo.h"

#include <QFont>
#include <QIconEngine>
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

// The window's icon: the same pictures the desktop menu shows (installed
// under hicolor), read when the first of them is asked for. Reading a
// picture first makes Qt look through its image-format plugins, which costs
// start-up a millisecond or more on a platform that never shows the icon.
// The window offers the sizes of title bars, task bars and window switchers;
// an X server is sent every size the window offers, and the 128 and 256
// pixel pictures alone added some milliseconds to the start. Desktops that
// want a large picture take the menu entry's icon, which has them all.
class ProgramIconEngine final : public QIconEngine
{
public:
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int size : Sizes)
            sizes.append(QSize(size, size));
        return sizes;
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return pictures().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return pictures().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return pictures().pixmap(size, scale, mode, state);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        pictures().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QIconEngine* clone() const override { return new ProgramIconEngine(*this); }
    QString key() const override { return QStringLiteral("orva-program-icon"); }

private:
    static constexpr int Sizes[] = {16, 22, 24, 32, 48, 64};

    // Qt's own icon of the pictures does the choosing and the disabled and
    // selected looks.
    const QIcon& pictures()
    {
        if (m_pictures.isNull())
            for (const int size : Sizes)
                m_pictures.addFile(QStringLiteral(":/icons/orva-panel-%1.png").arg(size), QSize(size, size));
        return m_pictures;
    }

    QIcon m_pictures;
};

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

QIcon programIcon()
{
    return QIcon(new ProgramIconEngine);
}

} // namespace orva
