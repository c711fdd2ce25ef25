#include "engine/PanelEngine.h"
#include "engine/StopSignals.h"
#include "engine/line/FileNames.h"
#include "engine/line/LineFactory.h"
#include "engine/line/SerialLine.h"
#include "engine/timing/QtClock.h"
#include "orva/Version.h"
#include "window/FontWarmUp.h"
#include "window/PanelWindow.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Options are read before any window system is touched, so --help and
    // a bad option work on a machine without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(orva::fileNameFromBytes(QByteArray(argv[i])));
    const orva::CommandLine options = orva::parseCommandLine(arguments);
    switch (options.action) {
    case orva::CommandLine::Action::Help:
        std::fputs(qPrintable(orva::commandLineHelp(QStringLiteral("orva-panel"))), stdout);
        return 0;
    case orva::CommandLine::Action::Version:
        std::printf("orva-panel %s\n", orva::VersionText);
        return 0;
    case orva::CommandLine::Action::Error:
        std::fprintf(stderr, "orva-panel: %s\nTry 'orva-panel --help'.\n", qPrintable(options.message));
        return 2;
    case orva::CommandLine::Action::Run:
        break;
    }

    orva::FontWarmUp fonts; // overlaps with the making of the application
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orva-panel"));
    QApplication::setApplicationVersion(QLatin1String(orva::VersionText));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orva.TkControlPanel"));

    fonts.wait();
    orva::QtClock clock;
    const std::unique_ptr<orva::SerialLine> line = orva::makeLine(options.ports);
    orva::PanelEngine engine(*line, clock);
    orva::PanelWindow window(engine,
        [](QWidget* parent, const QString& text) { QMessageBox::warning(parent, orva::PanelWindow::Caption, text); });
    // A logout, a service manager or Ctrl+C ends the panel as "END" does:
    // out of the event loop, and the line closed (its lock and exclusive
    // use given up) as everything here goes.
    const orva::StopSignals stops;
    QObject::connect(&stops, &orva::StopSignals::received, &app, [] { QCoreApplication::exit(0); });
    window.start();
    window.show();
    return QApplication::exec();
}
