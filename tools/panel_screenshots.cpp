// Saves pictures of the panel in its three views, for the documentation:
//   orva-screenshots OUTDIR
// writes OUTDIR/compact.png (as started), OUTDIR/data.png (the data band
// opened with the toggle button) and OUTDIR/full.png (the whole window,
// opened with the key chord and the logo double-click, showing a power
// query and its answer) and
// OUTDIR/settings.png (the data view with the port-settings frame). The views are
// reached through the same key and mouse events an operator would use. No
// serial device is touched: the ports point nowhere and the warning about
// it is dropped.

#include "display/VirtualClock.h"
#include "link/QtSerialComm.h"
#include "window/Form1.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <cstdio>

namespace {

bool save(orva::Form1& form, const QString& path)
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

    orva::VirtualClock clock;
    orva::QtSerialComm comm(orva::PortNames{QStringLiteral("/nonexistent/com1"), QStringLiteral("/nonexistent/com2")});
    orva::Form1 form(comm, clock, [](QWidget*, const QString&) {});
    form.Form_Load();
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
    // A power query and its answer, through the same send and receive paths
    // as on the line (the port itself is closed, so nothing goes out).
    form.link().sendCode(QStringLiteral("CR0"));
    form.state().ReplyBuffer = QStringLiteral("00\r");
    form.Hyouji(form.state().ReplyBuffer, orva::Receive);
    ok = save(form, out.filePath(QStringLiteral("full.png"))) && ok;

    // Closed, then opened on the data band alone.
    auto* toggle = form.control<QPushButton>("Command34");
    toggle->click();
    toggle->click();
    ok = save(form, out.filePath(QStringLiteral("data.png"))) && ok;

    // The port-settings frame over "COM".
    form.control<QPushButton>("Command33")->click();
    ok = save(form, out.filePath(QStringLiteral("settings.png"))) && ok;
    return ok ? 0 : 1;
}
