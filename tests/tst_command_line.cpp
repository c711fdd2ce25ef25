#include "panel/PanelCommandLine.h"

#include <QTemporaryDir>
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

        const PortNames d; // not given
        QTest::newRow("no options") << QStringList{} << int(Action::Run) << d.com1 << d.com2;
        QTest::newRow("com1 separate") << QStringList{"--com1", "/dev/pts/7"} << int(Action::Run) << "/dev/pts/7"
                                       << d.com2;
        QTest::newRow("com2 with equals")
            << QStringList{"--com2=/dev/ttyUSB1"} << int(Action::Run) << d.com1 << "/dev/ttyUSB1";
        QTest::newRow("both") << QStringList{"--com2", "/b", "--com1", "/a"} << int(Action::Run) << "/a"
                              << "/b";
        QTest::newRow("help") << QStringList{"--help"} << int(Action::Help) << d.com1 << d.com2;
        QTest::newRow("-h") << QStringList{"--com1", "/a", "-h"} << int(Action::Help) << d.com1 << d.com2;
        QTest::newRow("version") << QStringList{"--version"} << int(Action::Version) << d.com1 << d.com2;
        QTest::newRow("-v") << QStringList{"-v"} << int(Action::Version) << d.com1 << d.com2;
        QTest::newRow("com1 twice") << QStringList{"--com1", "/a", "--com1=/b"} << int(Action::Usage) << d.com1
                                    << d.com2;
        QTest::newRow("unknown option") << QStringList{"--baud", "9600"} << int(Action::Usage) << d.com1 << d.com2;
        QTest::newRow("stray argument") << QStringList{"/dev/ttyS0"} << int(Action::Usage) << d.com1 << d.com2;
        QTest::newRow("missing path") << QStringList{"--com1"} << int(Action::Usage) << d.com1 << d.com2;
        QTest::newRow("empty path") << QStringList{"--com1="} << int(Action::Usage) << d.com1 << d.com2;
        // Network lines: accepted as written ...
        for (const char* line :
            {"rfc2217://10.0.0.5:2000", "tcp://proj-b.lan:4001", "rfc2217://[fd00::5]:65535", "TCP://127.0.0.1:1"})
            QTest::newRow(line) << QStringList{"--com2", line} << int(Action::Run) << d.com1 << line;
        // ... or refused, the message naming the line as written.
        for (const char* line : {"telnet://10.0.0.5:2000", "rfc2217://10.0.0.5",
                 "rfc2217://10.0.0.5:", "tcp://10.0.0.5:0", "tcp://10.0.0.5:65536", "tcp://10.0.0.5:20x0",
                 "rfc2217://:2000", "tcp://[fd00::zz]:2000", "tcp://[fd00::5:2000", "tcp://fd00::5:2000",
                 "tcp://300.1.2.3:2000", "tcp://bad host:2000", "tcp:10.0.0.5:2000"})
            QTest::newRow(line) << QStringList{"--com1", line} << int(Action::Usage) << d.com1 << d.com2;
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
        if (result.action == Action::Usage) {
            QVERIFY(!result.message.isEmpty());
            if (args.last().contains(QLatin1Char(':')))
                QVERIFY2(result.message.contains(QLatin1Char('\'') + args.last() + QLatin1Char('\'')),
                    qPrintable(result.message));
            return;
        }
        QCOMPARE(result.ports.com1, com1);
        QCOMPARE(result.ports.com2, com2);
    }

    void helpNamesBothPortOptionsAndTheOrder()
    {
        const QString help = commandLineHelp(QStringLiteral("orva-panel"));
        QVERIFY(help.contains(QLatin1String("--com1")));
        QVERIFY(help.contains(QLatin1String("--com2")));
        QVERIFY(help.contains(QLatin1String("/orva/panel.conf")));
    }

    // The lines behind COM1 and COM2 from the options, the user's file and
    // the ports the system has (a made-up list).
    void defaultPorts_data()
    {
        QTest::addColumn<PortNames>("given");
        QTest::addColumn<PortNames>("config");
        QTest::addColumn<QList<AvailablePort>>("available");
        QTest::addColumn<PortNames>("chosen");

        const auto onBoard = [](const char* path) { return AvailablePort{path, false, 0, 0, {}}; };
        const AvailablePort s0 = onBoard("/dev/ttyS0"), s2 = onBoard("/dev/ttyS2"), s10 = onBoard("/dev/ttyS10");
        const AvailablePort usbB{"/dev/ttyUSB0", true, 0x0403, 0x6001, "B"};
        const AvailablePort usbA{"/dev/ttyUSB1", true, 0x0403, 0x6001, "A"};
        const AvailablePort acm{"/dev/ttyACM0", true, 0x2341, 0x0043, {}};
        const PortNames none;
        QTest::newRow("no ports: the platform's")
            << none << none << QList<AvailablePort>{} << PortNames::platformDefaults();
        QTest::newRow("one USB adapter is COM1")
            << none << none << QList{usbB} << PortNames{"/dev/ttyUSB0", PortNames::platformDefaults().com2};
        QTest::newRow("on-board first, in natural order")
            << none << none << QList{usbB, s10, s2} << PortNames{"/dev/ttyS2", "/dev/ttyS10"};
        QTest::newRow("adapters by vendor, product, serial number")
            << none << none << QList{acm, usbB, usbA} << PortNames{"/dev/ttyUSB1", "/dev/ttyUSB0"};
        QTest::newRow("the options first") << PortNames{"/dev/x", "tcp://h:1"} << PortNames{"/dev/c1", "/dev/c2"}
                                           << QList{s0, usbA} << PortNames{"/dev/x", "tcp://h:1"};
        QTest::newRow("the file next") << PortNames{{}, "/dev/x"} << PortNames{"/dev/c1", "/dev/c2"} << QList{s0}
                                       << PortNames{"/dev/c1", "/dev/x"};
        QTest::newRow("a port named for COM1 is not COM2 too")
            << PortNames{"/dev/ttyS0", {}} << none << QList{s0, usbA} << PortNames{"/dev/ttyS0", "/dev/ttyUSB1"};
    }
    void defaultPorts()
    {
        QFETCH(PortNames, given);
        QFETCH(PortNames, config);
        QFETCH(QList<AvailablePort>, available);
        QFETCH(PortNames, chosen);
        const PortNames names = choosePortNames(given, config, available);
        QCOMPARE(names.com1, chosen.com1);
        QCOMPARE(names.com2, chosen.com2);
    }

    void configFile_data()
    {
        QTest::addColumn<QByteArray>("content"); // "-": no file
        QTest::addColumn<PortNames>("names");
        QTest::addColumn<QStringList>("problems"); // each a part of a message

        QTest::newRow("missing file") << QByteArray("-") << PortNames{} << QStringList{};
        QTest::newRow("good") << QByteArray("# lines\n\ncom1 = /dev/projector\n  com2=rfc2217://10.0.0.5:2000  \n")
                              << PortNames{"/dev/projector", "rfc2217://10.0.0.5:2000"} << QStringList{};
        QTest::newRow("bad lines left out, the rest kept")
            << QByteArray("com1 /dev/a\ncom3 = /dev/b\ncom2 = tcp://h\ncom2 = /dev/c\ncom2 = /dev/d\n")
            << PortNames{{}, "/dev/c"}
            << QStringList{"panel.conf:1: expected", "panel.conf:2: unknown key 'com3'",
                   "panel.conf:3: com2: 'tcp://h'", "panel.conf:5: com2 is given twice"};
    }
    void configFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(PortNames, names);
        QFETCH(QStringList, problems);
        const QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("panel.conf"));
        QFile file(path);
        QVERIFY(content == "-" || (file.open(QIODevice::WriteOnly) && file.write(content) == content.size()));
        file.close();
        const PortConfig config = readPortConfig(path);
        QCOMPARE(config.names.com1, names.com1);
        QCOMPARE(config.names.com2, names.com2);
        QCOMPARE(config.problems.size(), problems.size());
        for (qsizetype i = 0; i < problems.size(); ++i)
            QVERIFY2(config.problems.at(i).contains(problems.at(i)), qPrintable(config.problems.at(i)));
    }
};

QTEST_APPLESS_MAIN(CommandLineTest)
#include "tst_command_line.moc"
