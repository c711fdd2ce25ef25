#include "PtyPair.h"
#include "engine/line/QtSerialLine.h"

#include <QSignalSpy>
#include <QTest>

using namespace orva;

// The QSerialPort layer over a real pseudo-terminal.
class PtyLinkTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void frameOutReplyIn()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        QtSerialLine comm;
        QVERIFY2(
            comm.open(LineAddress::device(pty.devicePath()), LineSpeed::Baud19200), qPrintable(comm.lastError().text));
        QVERIFY(comm.isOpen());

        QVERIFY(comm.write(QStringLiteral("CR0\r")));
        QCOMPARE(pty.read(4, 5000), QByteArray("CR0\r"));

        QSignalSpy notified(&comm, &SerialLine::received);
        QVERIFY(pty.write(QByteArray("80\r\xff", 4)));
        QString received;
        QDeadlineTimer deadline(5000);
        while (received.size() < 4 && !deadline.hasExpired()) {
            if (notified.isEmpty() && !notified.wait(100))
                continue;
            notified.clear();
            received += comm.readAll();
        }
        QCOMPARE(received, QString::fromLatin1("80\r\xff"));

        QVERIFY(comm.setSpeed(LineSpeed::Baud9600));
        QVERIFY(comm.isOpen());
        comm.close();
        QVERIFY(!comm.isOpen());
        comm.close(); // closing a closed port is harmless
    }

    void missingDeviceIsReportedInTheLayersWords()
    {
        QtSerialLine comm;
        QVERIFY(!comm.open(LineAddress::device(QStringLiteral("/dev/orva-no-such-port")), LineSpeed::Baud19200));
        QVERIFY(!comm.isOpen());
        QCOMPARE(comm.lastError().kind, LineErrorKind::NoSuchDevice);
        QVERIFY2(comm.lastError().text.startsWith(QLatin1String("/dev/orva-no-such-port: ")),
            qPrintable(comm.lastError().text));
        QVERIFY(!comm.write(QStringLiteral("C00\r")));
    }
};

QTEST_MAIN(PtyLinkTest)
#include "tst_pty_link.moc"
