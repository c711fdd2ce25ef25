// Start-up of the panel as the program starts it (see src/main.cpp), on the
// given device as COM1; warnings are dropped instead of shown.
//   orva-startup-panel DEVICE
#include "StartupProbe.h"

#include "display/QtClock.h"
#include "link/QtSerialComm.h"
#include "window/FontWarmUp.h"
#include "window/Form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    orva::FontWarmUp fonts;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orva-panel"));
    QApplication::setApplicationVersion(QStringLiteral(ORVA_VERSION));

    fonts.wait();
    orva::PortNames ports = orva::PortNames::platformDefaults();
    ports.com1 = app.arguments().value(1);
    orva::QtClock clock;
    orva::QtSerialComm comm(ports);
    orva::Form1 window(comm, clock, [](QWidget*, const QString&) {});
    FirstPaintReporter reporter(&window);
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
