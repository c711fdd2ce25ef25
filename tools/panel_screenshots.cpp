// Saves pictures of the panel in its three views, for the documentation:
//   orva-screenshots OUTDIR
// writes OUTDIR/compact.png (as started), OUTDIR/data.png (the data band
// opened with the toggle button) and OUTDIR/full.png (the whole window,
// opened with the key chord and the logo double-click, showing a power
// query and its answer) and
// OUTDIR/settings.png (the data view with the port-settings frame) and
// OUTDIR/tooltip.png (that frame with the tooltip of "COM1", which names
// the line behind it, as the panel finds it on this computer). The views are
// reached through the same key and mouse events an operator would use. No
// serial device is touched: the line is a stand-in that answers every frame
// as a projector in use answers a power query.

#include "engine/PortNames.h"
#include "engine/line/SerialLine.h"
#include "engine/timing/QtClock.h"
#include "panel/PanelEngine.h"
#include "window/PanelWindow.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <cstdio>
#include <utility>

namespace {

// A line that is always there and answers "00" and a carriage return.
class AnsweringLine final : public orva::SerialLine
{
public:
    bool open(const orva::LineAddress&, orva::LineSpeed) override { return m_open = true; }
    bool isOpen() const override { return m_open; }
    void close() override { m_open = false; }
    bool setSpeed(orva::LineSpeed) override { return true; }
    bool write(const QString&) override
    {
        m_pending = QStringLiteral("00\r");
        Q_EMIT received();
        return m_open;
    }
    QString readAll() override { return std::exchange(m_pending, QString()); }
    orva::LineError lastError() const override { return {}; }

private:
    bool m_open = false;
    QString m_pending;
};

bool save(orva::PanelWindow& form, const QString& path)
{
    QApplication::processEvents();
    if (!form.grab().save(path)) {
        std::fprintf(stderr, "orva-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: orva-screenshots OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "orva-screenshots: cannot make %s\n", argv[1]);
        return 1;
    }

    orva::QtClock clock;
    AnsweringLine line;
    // The lines behind COM1 and COM2 as the panel finds them here.
    const orva::PortNames names
        = orva::choosePortNames({}, orva::readPortConfig(orva::portConfigPath()).names, orva::availableSerialPorts());
    orva::PanelEngine engine(line, clock, names);
    orva::PanelWindow form(engine, [](QWidget*, const QString&) {});
    form.start();
    form.show();
    form.activateWindow();
    const QDeadlineTimer deadline(10000);
    while (!(form.windowHandle() && form.windowHandle()->isExposed()) && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    bool ok = save(form, out.filePath(QStringLiteral("compact.png")));

    // The chord, on the control that has the focus, then the logo.
    QWidget* focus = form.focusWidget() ? form.focusWidget() : &form;
    QTest::keyClick(focus, Qt::Key_K, Qt::ControlModifier);
    QTest::mouseDClick(form.control("Image1"), Qt::LeftButton);
    // A power query and its answer.
    form.control<QPushButton>("Command44")->click();
    ok = save(form, out.filePath(QStringLiteral("full.png"))) && ok;

    // Closed, then opened on the data band alone.
    auto* toggle = form.control<QPushButton>("Command34");
    toggle->click();
    toggle->click();
    ok = save(form, out.filePath(QStringLiteral("data.png"))) && ok;

    // The port-settings frame over "COM".
    form.control<QPushButton>("Command33")->click();
    ok = save(form, out.filePath(QStringLiteral("settings.png"))) && ok;

    // The tooltip is a window of its own: the screen is taken around both.
    auto* com1 = form.control<QRadioButton>("Option1");
    const QPoint at = com1->mapToGlobal(com1->rect().center());
    QTest::mouseMove(com1, com1->rect().center());
    QToolTip::showText(at, com1->toolTip(), com1);
    const QDeadlineTimer shown(5000);
    while (!QToolTip::isVisible() && !shown.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    const QRect area = form.frameGeometry();
    const QPixmap picture = form.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString tooltipPath = out.filePath(QStringLiteral("tooltip.png"));
    if (QToolTip::isVisible() && picture.save(tooltipPath)) {
        std::printf("%s\n", qPrintable(tooltipPath));
    } else {
        std::fprintf(stderr, "orva-screenshots: cannot take the tooltip into %s\n", qPrintable(tooltipPath));
        ok = false;
    }
    return ok ? 0 : 1;
}
