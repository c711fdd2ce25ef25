// Start-up reference: a bare Qt window of the panel's size, nothing in it,
// or (with "text") one line of text in it, which brings the font machinery
// that any window with text starts.
//   orva-startup-bare WIDTHxHEIGHT [text]
#include "StartupProbe.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList size = app.arguments().value(1).split(QLatin1Char('x'));
    QWidget window;
    window.setFixedSize(size.value(0).toInt(), size.value(1).toInt());
    window.setWindowTitle(QStringLiteral("bare"));
    if (app.arguments().value(2) == QLatin1String("text"))
        (new QLabel(QStringLiteral("ORVA TK500 / TK600"), &window))->move(10, 10);
    FirstPaintReporter reporter(&window);
    window.show();
    return QApplication::exec();
}
