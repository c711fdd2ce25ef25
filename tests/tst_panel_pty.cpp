// The window's buttons over a real pseudo-terminal, on the event loop's own
// timers: what the projector's end of the line receives.
#define QTEST_QPA_MOUSE_HANDLING

#include "PtyPair.h"
#include "engine/line/QtSerialLine.h"
#include "engine/timing/QtClock.h"
#include "panel/PanelEngine.h"
#include "window/PanelWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace orva;

namespace {

// Reads from the projector's end until `tail` has arrived (or the limit).
QByteArray readUntil(PtyPair& pty, const QByteArray& tail, int timeoutMs = 5000)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (!got.endsWith(tail) && !deadline.hasExpired())
        got += pty.read(1, 50);
    return got;
}

} // namespace

class PanelPtyTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void buttonsHoldSendAndEnd()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        QtClock clock;
        QtSerialLine comm;
        QStringList warnings;
        PanelEngine engine(comm, clock, PortNames{pty.devicePath(), QStringLiteral("/nonexistent/com2")});
        PanelWindow form(engine, [&](QWidget*, const QString& text) { warnings.append(text); });
        form.start();
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
        QVERIFY(comm.isOpen());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        // A single press.
        QTest::mouseClick(form.control<QPushButton>("Command17"), Qt::LeftButton);
        QCOMPARE(readUntil(pty, "C00\r"), QByteArray("C00\r"));

        // A hold with the right button: the press and repeats every 250 ms.
        QPushButton* plus = form.control<QPushButton>("Command1");
        QTest::mousePress(plus, Qt::RightButton);
        QByteArray held = readUntil(pty, "C09\rC09\rC09\r");
        QTest::mouseRelease(plus, Qt::RightButton);
        QVERIFY(!engine.commands().isRepeating());

        // The typed status read; frames of the hold still on the way come first.
        form.control<QLineEdit>("Text1")->setText(QStringLiteral("CR0"));
        form.control<QPushButton>("Command95")->click(); // below the start-up height
        held += readUntil(pty, "CR0\r");
        QVERIFY(held.endsWith("CR0\r"));
        held.chop(4);
        QVERIFY2(held.size() >= 12 && held == QByteArray("C09\r").repeated(held.size() / 4), held.constData());

        QVERIFY(pty.write("00\r"));
        QTRY_COMPARE_WITH_TIMEOUT(form.control<QLabel>("Label22")->text(), QStringLiteral(" Power ON"), 5000);

        // END: the port is closed, the window gone, nothing more sent.
        QTest::mouseClick(form.control<QPushButton>("Command16"), Qt::LeftButton);
        QVERIFY(!comm.isOpen());
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(PanelPtyTest)
#include "tst_panel_pty.moc"
