#include "engine/line/FileNames.h"
#include "engine/line/LineFactory.h"
#include "engine/line/SerialLine.h"
#include "engine/timing/QtClock.h"
#include "orva/Version.h"
#include "panel/PanelCommandLine.h"
#include "panel/PanelEngine.h"
#include "program/ProgramAnswer.h"
#include "program/StopSignals.h"
#include "window/FontWarmUp.h"
#include "window/PanelWindow.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <future>

int main(int argc, char* argv[])
{
    // Options are read before any window system is touched, so --help and
    // a bad option work on a machine without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(orva::fileNameFromBytes(QByteArray(argv[i])));
    const orva::CommandLine options = orva::parseCommandLine(arguments);
    const QString program = QStringLiteral("orva-panel");
    const QString answer = options.action == orva::StartAction::Help ? orva::commandLineHelp(program) : options.message;
    if (const std::optional<int> status = orva::answerStart(options.action, program, answer))
        return *status;

    // The lines behind COM1 and COM2: the options, else the user's file,
    // else the ports this computer has (see choosePortNames()). Listing the
    // ports reads sysfs (some 16 ms here), so it runs on a thread of its own
    // while the application is made, and only when the options and the file
    // leave a choice open.
    const orva::PortConfig config = orva::readPortConfig(orva::portConfigPath());
    for (const QString& problem : config.problems)
        std::fprintf(stderr, "orva-panel: %s\n", qPrintable(problem));
    const bool needPorts = (options.ports.com1.isEmpty() && config.names.com1.isEmpty())
        || (options.ports.com2.isEmpty() && config.names.com2.isEmpty());
    std::future<QList<orva::AvailablePort>> available;
    if (needPorts)
        available = std::async(std::launch::async, orva::availableSerialPorts);

    orva::FontWarmUp fonts; // overlaps with the making of the application
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orva-panel"));
    QApplication::setApplicationVersion(QLatin1String(orva::VersionText));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orva.TkControlPanel"));
    const orva::PortNames ports = orva::choosePortNames(
        options.ports, config.names, available.valid() ? available.get() : QList<orva::AvailablePort>());

    fonts.wait();
    orva::QtClock clock;
    const std::unique_ptr<orva::SerialLine> line = orva::makeLine();
    orva::PanelEngine engine(*line, clock, ports);
    const auto warn
        = [](QWidget* parent, const QString& text) { QMessageBox::warning(parent, orva::PanelWindow::Caption, text); };
    orva::PanelWindow window(engine, warn);
    // A logout, a service manager or Ctrl+C ends the panel as "END" does:
    // out of the event loop, and the line closed (its lock and exclusive
    // use given up) as everything here goes.
    const orva::StopSignals stops;
    QObject::connect(&stops, &orva::StopSignals::received, &app, [] { QCoreApplication::exit(0); });
    window.start();
    window.show();
    // A bad line in the file is told once the panel is up; it runs on what
    // the rest of the file and the defaults name.
    if (!config.problems.isEmpty())
        warn(&window, config.problems.join(QLatin1Char('\n')));
    return QApplication::exec();
}
