#include "FakeSerialLine.h"
#include "VirtualClock.h"
#include "hub/HubLog.h"
#include "hub/PjlinkDatagrams.h"
#include "hub/PjlinkNotifier.h"
#include "hub/Projector.h"
#include "hub/SearchLimit.h"

#include <QTest>

using namespace orva;
using namespace orva::hub;

// PJLink class 2 over UDP without sockets: which datagrams are searches,
// the hardware addresses, how often one address is answered, and which
// change of a projector notifies whom, on the fake line and virtual clock.
class PjlinkUdpTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void datagrams_data();
    void datagrams();
    void searchLimit_data();
    void searchLimit();
    void notifications_data();
    void notifications();
};

void PjlinkUdpTest::datagrams_data()
{
    // "search BYTES": whether answered; "mac TEXT": as read, or "-"; "derived MACHINE NAME": the address.
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::newRow("search") << "search %2SRCH\r"
                            << "yes";
    QTest::newRow("search with a line feed") << "search %2SRCH\r\n"
                                             << "no";
    QTest::newRow("search without its CR") << "search %2SRCH"
                                           << "no";
    QTest::newRow("class 1 search") << "search %1SRCH\r"
                                    << "no";
    QTest::newRow("lower case") << "search %2srch\r"
                                << "no";
    QTest::newRow("another body") << "search %2ACKN=02:00:00:00:00:01\r"
                                  << "no";
    QTest::newRow("mac upper case, dashes") << "mac 02-1A-2B-3C-4D-5E"
                                            << "02:1a:2b:3c:4d:5e";
    QTest::newRow("mac separators mixed") << "mac 02:1a-2b:3c:4d:5e"
                                          << "-";
    QTest::newRow("mac multicast") << "mac 01:00:5e:00:00:01"
                                   << "-";
    QTest::newRow("mac zeros") << "mac 00:00:00:00:00:00"
                               << "-";
    QTest::newRow("mac five bytes") << "mac 02:1a:2b:3c:4d"
                                    << "-";
    QTest::newRow("mac not hex") << "mac 02:1a:2b:3c:4d:5g"
                                 << "-";
    QTest::newRow("derived") << "derived 0123456789abcdef a101"
                             << "e2:0e:3b:49:35:0f";
    QTest::newRow("derived, another name") << "derived 0123456789abcdef a102"
                                           << "4e:60:e4:57:5a:e4";
    QTest::newRow("derived, another machine") << "derived 0123456789abcdee a101"
                                              << "ce:ec:d0:a0:24:ac";
}

void PjlinkUdpTest::datagrams()
{
    QFETCH(QString, input);
    const QString kind = input.section(u' ', 0, 0);
    const QString rest = input.section(u' ', 1);
    QString output;
    if (kind == QLatin1String("search")) {
        output = isPjlinkSearch(rest.toLatin1()) ? QStringLiteral("yes") : QStringLiteral("no");
    } else if (kind == QLatin1String("mac")) {
        output = parseMac(rest).value_or(QStringLiteral("-"));
    } else {
        output = derivedMac(rest.section(u' ', 0, 0).toLatin1(), rest.section(u' ', 1));
        // Locally administered, unicast, and read back as it is written.
        QCOMPARE(output.left(2).toInt(nullptr, 16) & 0x03, 0x02);
        QCOMPARE(parseMac(output), output);
    }
    QTEST(output, "output");
}

void PjlinkUdpTest::searchLimit_data()
{
    // "ADDRESS@MS" each; "many@MS" 256 other addresses at once.
    QTest::addColumn<QStringList>("searches");
    QTest::addColumn<QString>("answered");
    QTest::newRow("once a second") << QStringList{"a@0", "a@999", "a@1000", "a@1500", "a@2000"} << "yes no yes no yes";
    QTest::newRow("refused ones do not count") << QStringList{"a@0", "a@600", "a@1200", "a@1300"} << "yes no yes no";
    QTest::newRow("each address its own") << QStringList{"a@0", "b@1", "a@2", "b@1001"} << "yes yes no yes";
    QTest::newRow("full of recent addresses, one more waits until some have aged")
        << QStringList{"a@0", "many@10", "b@20", "b@1000", "b@1010", "a@1020"} << "yes yes no yes no yes";
}

void PjlinkUdpTest::searchLimit()
{
    QFETCH(QStringList, searches);
    SearchLimit limit;
    QStringList answered;
    for (const QString& search : searches) {
        const QString address = search.section(u'@', 0, 0);
        const std::int64_t at = search.section(u'@', 1).toLongLong();
        bool allowed = true;
        if (address == QLatin1String("many")) {
            for (int i = 0; i < SearchLimit::MaxAddresses - 1; ++i)
                allowed = limit.allow(QStringLiteral("10.0.%1.%2").arg(i / 256).arg(i % 256), at) && allowed;
        } else {
            allowed = limit.allow(address, at);
        }
        answered.append(allowed ? QStringLiteral("yes") : QStringLiteral("no"));
    }
    QTEST(answered.join(u' '), "answered");
}

void PjlinkUdpTest::notifications_data()
{
    // Steps: a code is sent ("CR0", "C06"), "< REPLY" the projector answers,
    // "served ADDRESS" a controller was served, "+MS" time passes,
    // "announce" the door starts. Sent: "ADDRESS DATAGRAM" each. Configured: 192.0.2.1.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("power: the first read is where it starts, each change told once") << QStringList{"CR0", "< 80\r",
        "CR0", "< 40\r", "CR0", "< 40\r", "CR0", "< 00\r"} << QStringList{"192.0.2.1 %2POWR=3", "192.0.2.1 %2POWR=1"};
    QTest::newRow("an error comes and goes, the power stays on") << QStringList{"CR0", "< 00\r", "CR0", "< 08\r", "CR0",
        "< 00\r"} << QStringList{"192.0.2.1 %2ERST=001000", "192.0.2.1 %2ERST=000000"};
    QTest::newRow("a state PJLink has no word for changes no power digit") << QStringList{"CR0", "< 00\r", "CR0",
        "< 10\r", "CR0", "< 00\r"} << QStringList{"192.0.2.1 %2ERST=000002", "192.0.2.1 %2ERST=000000"};
    QTest::newRow("input switched, told when read back")
        << QStringList{"CR1", "< 1\r", "C06", "< \x06", "CR1", "< 2\r"} << QStringList{"192.0.2.1 %2INPT=12"};
    QTest::newRow("a source of the input in use, told once acknowledged") << QStringList{
        "CR1", "< 1\r", "C05", "< \x06", "C51", "< \x06", "CR1", "< 1\r"} << QStringList{"192.0.2.1 %2INPT=13"};
    QTest::newRow("a source refused is no switch")
        << QStringList{"CR1", "< 1\r", "C51", "< \x15", "CR1", "< 1\r"} << QStringList{};
    QTest::newRow("controllers served join the configured, each once, for a day")
        << QStringList{"served 192.0.2.9", "served 192.0.2.1", "announce", "+86399995", "announce", "+1", "announce"}
        << QStringList{"192.0.2.1 %2LKUP=02:00:00:00:00:01", "192.0.2.9 %2LKUP=02:00:00:00:00:01",
               "192.0.2.1 %2LKUP=02:00:00:00:00:01", "192.0.2.9 %2LKUP=02:00:00:00:00:01",
               "192.0.2.1 %2LKUP=02:00:00:00:00:01"};
    QStringList many;
    QStringList told{"192.0.2.1 %2LKUP=02:00:00:00:00:01"};
    for (int i = 0; i <= PjlinkNotifier::MaxControllers; ++i) {
        many.append(QStringLiteral("served 10.0.0.%1").arg(i));
        if (i > 0)
            told.append(QStringLiteral("10.0.0.%1 %2LKUP=02:00:00:00:00:01").arg(i));
    }
    QTest::newRow("at most 64 controllers, the one seen longest ago forgotten")
        << many + QStringList{"announce"} << told;
}

void PjlinkUdpTest::notifications()
{
    QFETCH(QStringList, steps);
    VirtualClock clock;
    const HubLog log;
    ProjectorConfig config;
    config.name = QStringLiteral("a101");
    config.line = QStringLiteral("/dev/null");
    auto owned = std::make_unique<FakeSerialLine>();
    FakeSerialLine& line = *owned;
    Projector projector(config, 0, 500, std::move(owned), clock, log);
    projector.start();
    QStringList sent;
    PjlinkNotifier notifier(projector, clock, [&sent](const QHostAddress& to, const QByteArray& datagram) {
        sent.append(to.toString() + u' ' + QString::fromLatin1(datagram.chopped(1)));
        QVERIFY(datagram.endsWith('\r'));
    });
    notifier.setMac(QStringLiteral("02:00:00:00:00:01"));
    notifier.setConfigured({QHostAddress(QStringLiteral("192.0.2.1"))});
    for (const QString& step : steps) {
        if (step.startsWith(QLatin1String("< ")))
            line.receive(step.mid(2).toLatin1());
        else if (step.startsWith(u'+'))
            clock.advance(step.mid(1).toLongLong());
        else if (step.startsWith(QLatin1String("served ")))
            notifier.controllerServed(QHostAddress(step.mid(7)));
        else if (step == QLatin1String("announce"))
            notifier.announce();
        else
            projector.submit(1, QStringLiteral("test"), ExchangeRequest::ofCode(step, 500), {});
        clock.advance(1);
    }
    QTEST(sent, "sent");
}

QTEST_GUILESS_MAIN(PjlinkUdpTest)
#include "tst_pjlink_udp.moc"
