// Start-up of the panel as the program starts it (see src/apps/orva-panel/main.cpp), on the
// given device as COM1; warnings are dropped instead of shown.
//   orva-startup-panel DEVICE
#include "StartupProbe.h"

#include "engine/line/QtSerialLine.h"
#include "engine/timing/QtClock.h"
#include "orva/Version.h"
#include "panel/PanelEngine.h"
#include "window/FontWarmUp.h"
#include "window/PanelWindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    orva::FontWarmUp fonts;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orva-panel"));
    QApplication::setApplicationVersion(QLatin1String(orva::VersionText));

    fonts.wait();
    orva::PortNames ports = orva::PortNames::platformDefaults();
    ports.com1 = app.arguments().value(1);
    orva::QtClock clock;
    orva::QtSerialLine line;
    orva::PanelEngine engine(line, clock, ports);
    orva::PanelWindow window(engine, [](QWidget*, const QString&) {});
    FirstPaintReporter reporter(&window);
    window.start();
    window.show();
    return QApplication::exec();
}
