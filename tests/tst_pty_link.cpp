#include "PtyPair.h"
#include "link/QtSerialComm.h"

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
        QtSerialComm comm(PortNames{pty.devicePath(), QStringLiteral("/nonexistent/com2")});
        comm.setCommPort(1);
        QVERIFY(comm.setSettings(QStringLiteral("19200,N,8,1")));
        QVERIFY2(comm.setPortOpen(true), qPrintable(comm.errorString()));
        QVERIFY(comm.portOpen());

        QVERIFY(comm.output(QStringLiteral("CR0\r")));
        QCOMPARE(pty.read(4, 5000), QByteArray("CR0\r"));

        QSignalSpy notified(&comm, &SerialComm::onComm);
        QVERIFY(pty.write(QByteArray("80\r\xff", 4)));
        QString received;
        QDeadlineTimer deadline(5000);
        while (received.size() < 4 && !deadline.hasExpired()) {
            if (notified.isEmpty() && !notified.wait(100))
                continue;
            notified.clear();
            QCOMPARE(comm.commEvent(), int(SerialComm::EventReceive));
            received += comm.input();
        }
        QCOMPARE(received, QString::fromLatin1("80\r\xff"));

        QVERIFY(comm.setSettings(QStringLiteral("9600,N,8,1")));
        QVERIFY(comm.portOpen());
        QVERIFY(comm.setPortOpen(false));
        QVERIFY(!comm.portOpen());
        QVERIFY(comm.setPortOpen(false)); // closing a closed port is harmless
    }

    void missingDeviceIsReportedInTheLayersWords()
    {
        QtSerialComm comm(PortNames{QStringLiteral("/dev/orva-no-such-port"), QString()});
        QVERIFY(!comm.setPortOpen(true));
        QVERIFY(!comm.portOpen());
        QVERIFY2(!comm.errorString().isEmpty(), "a failed opening must carry a description");
        QVERIFY(!comm.output(QStringLiteral("C00\r")));
    }
};

QTEST_MAIN(PtyLinkTest)
#include "tst_pty_link.moc"
