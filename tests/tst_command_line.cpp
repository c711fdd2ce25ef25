#include "engine/line/PortNames.h"

#include <QTest>

using namespace orva;
using Action = CommandLine::Action;

class CommandLineTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("com1");
        QTest::addColumn<QString>("com2");

        const PortNames d = PortNames::platformDefaults();
        QTest::newRow("no options") << QStringList{} << int(Action::Run) << d.com1 << d.com2;
        QTest::newRow("com1 separate") << QStringList{"--com1", "/dev/pts/7"} << int(Action::Run) << "/dev/pts/7"
                                       << d.com2;
        QTest::newRow("com2 with equals")
            << QStringList{"--com2=/dev/ttyUSB1"} << int(Action::Run) << d.com1 << "/dev/ttyUSB1";
        QTest::newRow("both") << QStringList{"--com2", "/b", "--com1", "/a"} << int(Action::Run) << "/a"
                              << "/b";
        QTest::newRow("help") << QStringList{"--help"} << int(Action::Help) << d.com1 << d.com2;
        QTest::newRow("version") << QStringList{"--version"} << int(Action::Version) << d.com1 << d.com2;
        QTest::newRow("unknown option") << QStringList{"--baud", "9600"} << int(Action::Error) << d.com1 << d.com2;
        QTest::newRow("stray argument") << QStringList{"/dev/ttyS0"} << int(Action::Error) << d.com1 << d.com2;
        QTest::newRow("missing path") << QStringList{"--com1"} << int(Action::Error) << d.com1 << d.com2;
        QTest::newRow("empty path") << QStringList{"--com1="} << int(Action::Error) << d.com1 << d.com2;
        QTest::newRow("com1 twice") << QStringList{"--com1", "/a", "--com1=/b"} << int(Action::Error) << d.com1
                                    << d.com2;
        // Network lines: accepted as written ...
        for (const char* line :
            {"rfc2217://10.0.0.5:2000", "tcp://proj-b.lan:4001", "rfc2217://[fd00::5]:65535", "TCP://127.0.0.1:1"})
            QTest::newRow(line) << QStringList{"--com2", line} << int(Action::Run) << d.com1 << line;
        // ... or refused, the message naming the line as written.
        for (const char* line : {"telnet://10.0.0.5:2000", "rfc2217://10.0.0.5",
                 "rfc2217://10.0.0.5:", "tcp://10.0.0.5:0", "tcp://10.0.0.5:65536", "tcp://10.0.0.5:20x0",
                 "rfc2217://:2000", "tcp://[fd00::zz]:2000", "tcp://[fd00::5:2000", "tcp://fd00::5:2000",
                 "tcp://300.1.2.3:2000", "tcp://bad host:2000", "tcp:10.0.0.5:2000"})
            QTest::newRow(line) << QStringList{"--com1", line} << int(Action::Error) << d.com1 << d.com2;
    }
    void parse()
    {
        QFETCH(QStringList, args);
        QFETCH(int, action);
        QFETCH(QString, com1);
        QFETCH(QString, com2);
        args.prepend(QStringLiteral("orva-panel"));
        const CommandLine result = parseCommandLine(args);
        QCOMPARE(int(result.action), action);
        if (result.action == Action::Error) {
            QVERIFY(!result.message.isEmpty());
            if (args.last().contains(QLatin1Char(':')))
                QVERIFY2(result.message.contains(QLatin1Char('\'') + args.last() + QLatin1Char('\'')),
                    qPrintable(result.message));
            return;
        }
        QCOMPARE(result.ports.com1, com1);
        QCOMPARE(result.ports.com2, com2);
    }

    void helpNamesBothPortOptions()
    {
        const QString help = commandLineHelp(QStringLiteral("orva-panel"));
        QVERIFY(help.contains(QLatin1String("--com1")));
        QVERIFY(help.contains(QLatin1String("--com2")));
    }
};

QTEST_APPLESS_MAIN(CommandLineTest)
#include "tst_command_line.moc"
