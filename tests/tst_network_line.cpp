#include "BlackHole.h"
#include "engine/line/LineFactory.h"
#include "engine/line/SerialLine.h"
#include "engine/line/TelnetCodec.h"
#include "engine/timing/QtClock.h"
#include "panel/PanelEngine.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace orva;

namespace {

constexpr int Patience = 20000;
using T = TelnetCodec;

// The far end: a server on 127.0.0.1 that takes one connection.
struct Server
{
    Server() { listening = server.listen(QHostAddress::LocalHost); }
    QString address(const char* scheme) const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(server.serverPort());
    }
    bool accept()
    {
        if (!QTest::qWaitFor([this] { return server.hasPendingConnections(); }, Patience))
            return false;
        peer.reset(server.nextPendingConnection());
        return peer != nullptr;
    }
    // Reads until what has come starts with expected (then drops that much).
    bool expect(const QByteArray& expected)
    {
        (void)QTest::qWaitFor(
            [&] {
                got += peer->readAll();
                return got.size() >= expected.size();
            },
            Patience);
        const bool ok = got.startsWith(expected);
        if (!ok)
            qWarning() << "expected" << expected.toHex() << "got" << got.toHex();
        got.remove(0, expected.size());
        return ok;
    }
    void send(const QByteArray& bytes)
    {
        peer->write(bytes);
        peer->flush();
    }
    QTcpServer server;
    std::unique_ptr<QTcpSocket> peer;
    QByteArray got;
    bool listening = false;
};

LineAddress at(const QString& text)
{
    return LineAddress::parse(text).value_or(LineAddress());
}

LineError errorOf(const QSignalSpy& spy, qsizetype i)
{
    return spy.at(i).at(0).value<LineError>();
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(char(v));
    return out;
}

} // namespace

// The network line against a server of the test's own on 127.0.0.1,
// through the factory the programs use.
class NetworkLineTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rfc2217Session()
    {
        Server s;
        QVERIFY(s.listening);
        const std::unique_ptr<SerialLine> line = makeLine();
        QSignalSpy lost(line.get(), &SerialLine::deviceLost);
        QVERIFY(line->open(at(s.address("rfc2217")), LineSpeed::Baud19200));
        QVERIFY(line->write(QStringLiteral("CR0\r"))); // waits for the connection
        QVERIFY(s.accept());
        TelnetCodec client;
        QVERIFY(s.expect(client.opening() + "CR0\r"));

        s.send(bytes({T::Iac, T::Do, T::ComPortOption}));
        QVERIFY(s.expect(TelnetCodec::lineSettings(19200)));
        QVERIFY(line->setSpeed(LineSpeed::Baud9600)); // goes out at once
        QVERIFY(s.expect(TelnetCodec::setBaudRate(9600)));

        // A reply with a 255 in it, cut in the middle of its doubling.
        QString received;
        connect(line.get(), &SerialLine::received, this, [&] { received += line->readAll(); });
        s.send(bytes({'8', T::Iac}));
        QTest::qWait(50);
        s.send(bytes({T::Iac, '0', '\r'}));
        QTRY_COMPARE_WITH_TIMEOUT(received,
            QString::fromLatin1("8\xff"
                                "0\r"),
            Patience);

        s.peer->close(); // the server goes away
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, Patience);
        QVERIFY(!line->isOpen());
        QCOMPARE(errorOf(lost, 0).kind, LineErrorKind::Lost);
        QVERIFY2(errorOf(lost, 0).text.startsWith(s.address("rfc2217") + ": "), qPrintable(errorOf(lost, 0).text));
        QTest::qWait(100);
        QCOMPARE(lost.size(), 1);
    }

    void rawTcpIgnoresTheSpeed()
    {
        Server s;
        QVERIFY(s.listening);
        const std::unique_ptr<SerialLine> line = makeLine();
        QVERIFY(line->open(at(s.address("tcp")), LineSpeed::Baud19200));
        QVERIFY(line->write(QStringLiteral("C00\r")));
        QVERIFY(s.accept());
        QVERIFY(line->setSpeed(LineSpeed::Baud9600));
        QVERIFY(line->write(QStringLiteral("C01\r")));
        QVERIFY(s.expect("C00\rC01\r"));
        s.send(bytes({'0', 255}));
        QString got;
        QTRY_COMPARE_WITH_TIMEOUT(got += line->readAll(), QString::fromLatin1("0\xff"), Patience);
    }

    // A server that refuses the Com Port Control option still carries the
    // data: the panel's engine on it tells the refusal once and goes on
    // with its exchanges, the reply decoded as always.
    void serverRefusesTheOption_data()
    {
        QTest::addColumn<QByteArray>("refusal");
        QTest::newRow("DONT") << bytes({T::Iac, T::Dont, T::ComPortOption});
        QTest::newRow("DONT and WONT, then a reply 50 ms late")
            << bytes({T::Iac, T::Dont, T::ComPortOption, T::Iac, T::Wont, T::ComPortOption});
    }
    void serverRefusesTheOption()
    {
        QFETCH(QByteArray, refusal);
        Server s;
        QVERIFY(s.listening);
        const std::unique_ptr<SerialLine> line = makeLine();
        QtClock clock;
        PanelEngine engine(*line, clock, PortNames{s.address("rfc2217"), s.address("rfc2217")});
        QSignalSpy refused(line.get(), &SerialLine::settingsRefused);
        QSignalSpy told(&engine.ports(), &PortSelection::warning);
        engine.start();
        QVERIFY(s.accept());
        QVERIFY(s.expect(TelnetCodec().opening()));
        s.send(refusal);
        QTRY_COMPARE_WITH_TIMEOUT(refused.size(), 1, Patience);
        engine.ports().chooseSpeed(LineSpeed::Baud9600); // nothing to send it to
        for (const auto& [reply, status] : {std::pair{"80\r", " Stand by"}, std::pair{"00\r", " Power ON"}}) {
            engine.replies().sendCode(QStringLiteral("CR0"));
            QVERIFY(s.expect("CR0\r"));
            QTest::qWait(50);
            s.send(reply);
            QTRY_COMPARE_WITH_TIMEOUT(engine.replies().text(TrafficLine::Status), QLatin1String(status), Patience);
            QVERIFY(line->isOpen());
            QTRY_COMPARE_WITH_TIMEOUT(engine.replies().text(TrafficLine::Status), QString(), Patience); // cleared
        }
        QCOMPARE(told.size(), 1);
    }

    // A connection that cannot be made is told once, closes the line, and
    // opening it again tries again; the event loop runs on meanwhile.
    void failedConnection_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<LineErrorKind>("kind");
        QTest::newRow("refused") << "127.0.0.1"
                                 << "refused" << LineErrorKind::ConnectionRefused;
        QTest::newRow("no answer") << "127.0.0.1"
                                   << "timed out" << LineErrorKind::NoAnswer;
        QTest::newRow("unknown host") << "orva-no-such-host.invalid"
                                      << "" << LineErrorKind::HostNotFound;
    }
    void failedConnection()
    {
        QFETCH(QString, host);
        QFETCH(QString, reason);
        const BlackHole hole;
        QString address = QStringLiteral("tcp://%1:%2").arg(host).arg(hole.port());
        if (reason == QLatin1String("refused")) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            address = QStringLiteral("rfc2217://127.0.0.1:%1").arg(probe.serverPort());
        } // the port is free again here

        const std::unique_ptr<SerialLine> line = makeLine();
        QSignalSpy failed(line.get(), &SerialLine::openFailed);
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longestStall = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            longestStall = std::max(longestStall, clock.elapsed() - last);
            last = clock.elapsed();
        });
        ticker.start(5);
        clock.start();
        for (int attempt = 1; attempt <= 2; ++attempt) {
            QVERIFY(line->open(at(address), LineSpeed::Baud19200));
            QTRY_COMPARE_WITH_TIMEOUT(failed.size(), attempt, Patience);
            QVERIFY(!line->isOpen());
            const QString told = errorOf(failed, attempt - 1).text;
            QVERIFY2(told.startsWith(address + ": ") && told.contains(reason, Qt::CaseInsensitive), qPrintable(told));
            QTEST(errorOf(failed, attempt - 1).kind, "kind");
            QCOMPARE(line->lastError().text, told);
            qInfo("%s after %lld ms", qPrintable(told), clock.elapsed());
        }
        QVERIFY2(longestStall < 1000, qPrintable(QStringLiteral("the event loop stalled for %1 ms").arg(longestStall)));
        QTest::qWait(100);
        QCOMPARE(failed.size(), 2);
    }
};

QTEST_GUILESS_MAIN(NetworkLineTest)
#include "tst_network_line.moc"
