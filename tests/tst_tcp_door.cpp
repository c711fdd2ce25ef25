#include "FakeSerialLine.h"
#include "VirtualClock.h"
#include "hub/GuessGuard.h"
#include "hub/HttpApi.h"
#include "hub/HttpDoor.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"
#include "hub/PjlinkDoor.h"
#include "hub/Projector.h"
#include "hub/ShareDoor.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <vector>

#include <poll.h>

using namespace orva;
using namespace orva::hub;

// The bounds every door keeps, with real sockets on loopback: clients
// connect one after another from 127.0.0.1, 127.0.0.2, ... (as many from
// each as fromEach says), send request once connected, and read what comes
// (or, not reading, leave it in the door). Compared: how many from each
// address the door closed, and how many were answered 503.
class TcpDoorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void bounds_data();
    void bounds();
};

void TcpDoorTest::bounds_data()
{
    QTest::addColumn<QString>("door");
    QTest::addColumn<QList<int>>("fromEach");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("reading");
    QTest::addColumn<QList<int>>("closed"); // by the door, per address
    QTest::addColumn<int>("unavailable");   // clients answered 503

    const QByteArray events = "GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const QByteArray script = QByteArray("GET /fleet.js HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").repeated(800);
    QTest::newRow("share: 8 from one address")
        << "share" << QList<int>{9} << QByteArray() << true << QList<int>{1} << 0;
    QTest::newRow("share: 16 in all") << "share" << QList<int>{8, 8, 1} << QByteArray() << true << QList<int>{0, 0, 1}
                                      << 0;
    QTest::newRow("pjlink: 16 from one address")
        << "pjlink" << QList<int>{17} << QByteArray() << true << QList<int>{1} << 0;
    QTest::newRow("pjlink: 64 in all") << "pjlink" << QList<int>{16, 16, 16, 16, 1} << QByteArray() << true
                                       << QList<int>{0, 0, 0, 0, 1} << 0;
    QTest::newRow("http: 32 from one address, the next answered 503")
        << "http" << QList<int>{33} << QByteArray() << true << QList<int>{1} << 1;
    QTest::newRow("http: 64 in all") << "http" << QList<int>{32, 32, 1} << QByteArray() << true << QList<int>{0, 0, 1}
                                     << 1;
    QTest::newRow("http: 32 event streams, the next answered 503 and kept")
        << "http" << QList<int>{11, 11, 11} << events << true << QList<int>{0, 0, 0} << 1;
    QTest::newRow("http: a client leaving over 1 MiB unread is closed")
        << "http" << QList<int>{1} << script << false << QList<int>{1} << 0;
}

void TcpDoorTest::bounds()
{
    QFETCH(QString, door);
    QFETCH(QList<int>, fromEach);
    QFETCH(QByteArray, request);
    QFETCH(bool, reading);
    QFETCH(QList<int>, closed);
    QFETCH(int, unavailable);
    // A connection the door has closed is not read or written again.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("device not open")));

    VirtualClock clock; // the sessions' time limits stay still
    const HubLog log;
    GuessGuard guard(QStringLiteral("door"), QStringLiteral("secret"), clock, log);
    ProjectorConfig config;
    config.name = QStringLiteral("a101");
    config.line = QStringLiteral("/dev/projector");
    Projector projector(config, 0, 500, std::make_unique<FakeSerialLine>(), clock, log);
    projector.start();
    HttpApi api(
        {&projector}, HttpTokens(), HttpReads::Open, clock, [] { return std::int64_t(0); }, log, guard);
    std::unique_ptr<TcpDoor> tcpDoor;
    if (door == QLatin1String("share"))
        tcpDoor = std::make_unique<ShareDoor>(projector, log);
    else if (door == QLatin1String("pjlink"))
        tcpDoor = std::make_unique<PjlinkDoor>(projector, clock, log, guard);
    else
        tcpDoor = std::make_unique<HttpDoor>(api, clock, log);
    QString why;
    QVERIFY2(tcpDoor->listen(QStringLiteral("127.0.0.1"), 0, &why), qPrintable(why));
    const quint16 port = tcpDoor->findChild<QTcpServer*>()->serverPort();

    struct Client
    {
        std::unique_ptr<QTcpSocket> socket;
        int address;
        QByteArray received;
    };
    std::vector<Client> clients;
    for (int address = 0; address < fromEach.size(); ++address) {
        for (int i = 0; i < fromEach.at(address); ++i) {
            Client& client = clients.emplace_back(Client{std::make_unique<QTcpSocket>(), address, {}});
            QTcpSocket& socket = *client.socket;
            if (!reading)
                socket.setReadBufferSize(1024);
            QVERIFY(socket.bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(address + 1))));
            // Each accepted (or turned away) before the next connects, so
            // the order is known.
            const int before = tcpDoor->connectionCount();
            socket.connectToHost(QHostAddress::LocalHost, port);
            QTRY_VERIFY(tcpDoor->connectionCount() > before || socket.state() == QAbstractSocket::UnconnectedState
                || socket.bytesAvailable() > 0);
            socket.write(request);
        }
    }

    const auto tally = [&] {
        QList<int> closedNow(fromEach.size(), 0);
        int answered503 = 0;
        for (Client& client : clients) {
            if (reading)
                client.received += client.socket->readAll();
            // A client that reads nothing has Qt's notifications off: the
            // system says whether the door has reset the connection.
            pollfd state{int(client.socket->socketDescriptor()), POLLIN, 0};
            const bool reset
                = !reading && state.fd >= 0 && ::poll(&state, 1, 0) == 1 && (state.revents & (POLLERR | POLLHUP)) != 0;
            if (client.socket->state() != QAbstractSocket::ConnectedState || reset)
                ++closedNow[client.address];
            answered503 += client.received.startsWith("HTTP/1.1 503") ? 1 : 0;
        }
        return std::pair(closedNow, answered503);
    };
    QTRY_COMPARE_WITH_TIMEOUT(tally(), std::pair(closed, unavailable), 20000);
    int open = 0;
    for (const int each : fromEach)
        open += each;
    for (const int each : closed)
        open -= each;
    QTRY_COMPARE(tcpDoor->connectionCount(), open);
}

QTEST_GUILESS_MAIN(TcpDoorTest)
#include "tst_tcp_door.moc"
