// Start-up reference: a bare Qt window of the panel's size, nothing in it.
//   orva-startup-bare WIDTHxHEIGHT
#include "StartupProbe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList size = app.arguments().value(1).split(QLatin1Char('x'));
    QWidget window;
    window.setFixedSize(size.value(0).toInt(), size.value(1).toInt());
    window.setWindowTitle(QStringLiteral("bare"));
    FirstPaintReporter reporter(&window);
    window.show();
    return QApplication::exec();
}
