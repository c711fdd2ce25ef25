#include "Ser2NetProcess.h"
#include "SimulatorProcess.h"
#include "engine/line/LineFactory.h"
#include "engine/timing/QtClock.h"
#include "panel/PanelEngine.h"
#include "window/PanelWindow.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <memory>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace orva;

namespace {

constexpr int Patience = 20000;

// The panel as the operator runs it, with its COM1 on the RFC 2217 port and
// its COM2 on the raw TCP port of a real ser2net in front of the simulated
// projector (or on another address, for a port nobody listens on).
struct NetPanel
{
    explicit NetPanel(const QString& com2 = QString())
    {
        if (!sim.start())
            return;
        ser2net = std::make_unique<Ser2NetProcess>(sim.device());
        if (!ser2net->start())
            return;
        // The projector's side of the line, for its settings.
        device = ::open(QFile::encodeName(sim.device()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        line = makeLine();
        engine = std::make_unique<PanelEngine>(
            *line, clock, PortNames{ser2net->rfc2217Address(), com2.isEmpty() ? ser2net->tcpAddress() : com2});
        form = std::make_unique<PanelWindow>(*engine, [this](QWidget*, const QString& text) { warnings.append(text); });
        QObject::connect(
            &engine->replies(), &ReplyWindow::lineChanged, form.get(), [this](TrafficLine which, const QString& text) {
                if (which == TrafficLine::Status && !text.isEmpty())
                    statuses.append(text);
            });
        form->start();
        form->show();
    }
    ~NetPanel()
    {
        form.reset();
        engine.reset();
        line.reset();
        if (device >= 0)
            ::close(device);
    }
    QString failure() const { return ser2net ? ser2net->error() : sim.error(); }

    void click(const char* name) { form->control<QAbstractButton>(name)->click(); }
    void choose(const char* option)
    {
        click("Command33"); // "COM"
        click(option);
    }
    // Presses a status button once the line is idle; the status it decodes.
    QString ask(const char* button = "Command44")
    {
        if (!QTest::qWaitFor(
                [this] { return !engine->replies().isReplyTimeoutRunning() && engine->replies().reply().isEmpty(); },
                Patience))
            return QStringLiteral("<never idle>");
        statuses.clear();
        click(button);
        return QTest::qWaitFor([this] { return !statuses.isEmpty(); }, Patience) ? statuses.constLast()
                                                                                 : QStringLiteral("<no status>");
    }
    int baudOnTheDevice() const
    {
        termios tio{};
        if (device < 0 || ::tcgetattr(device, &tio) != 0)
            return 0;
        return ::cfgetospeed(&tio) == B9600 ? 9600 : ::cfgetospeed(&tio) == B19200 ? 19200 : -1;
    }

    SimulatorProcess sim{{"--warmup", "3000"}};
    std::unique_ptr<Ser2NetProcess> ser2net;
    int device = -1;
    QtClock clock;
    std::unique_ptr<SerialLine> line;
    std::unique_ptr<PanelEngine> engine;
    std::unique_ptr<PanelWindow> form;
    QStringList warnings;
    QStringList statuses;
};

#define START_PANEL(panel, ...)                                                                                        \
    NetPanel panel{__VA_ARGS__};                                                                                       \
    QVERIFY2(panel.form, qPrintable(panel.failure()))

} // namespace

// The panel through a real ser2net (Debian's), on 127.0.0.1 only: COM1 over
// RFC 2217, COM2 over raw TCP.
class Ser2NetTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void bothKinds_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("rfc2217") << "Option1";
        QTest::newRow("raw tcp") << "Option2";
    }

    void statusFollowsPowerOn_data() { bothKinds_data(); }
    void statusFollowsPowerOn()
    {
        QFETCH(QString, option);
        START_PANEL(p);
        p.choose(qPrintable(option));
        QCOMPARE(p.ask(), QStringLiteral(" Stand by"));
        p.click("Command17"); // "ON" of "POWER"
        QCOMPARE(p.ask(), QStringLiteral(" Count down"));
        QVERIFY2(p.warnings.isEmpty(), qPrintable(p.warnings.join(QLatin1Char('\n'))));
    }

    void speedChoiceReachesTheDevice()
    {
        START_PANEL(p);
        QCOMPARE(p.ask(), QStringLiteral(" Stand by"));
        QCOMPARE(p.baudOnTheDevice(), 19200);
        p.choose("Option10"); // "9600"
        QTRY_COMPARE_WITH_TIMEOUT(p.baudOnTheDevice(), 9600, Patience);
        QVERIFY(p.line->isOpen());
        QCOMPARE(p.ask(), QStringLiteral(" Stand by"));
        p.choose("Option9"); // "19200"
        QTRY_COMPARE_WITH_TIMEOUT(p.baudOnTheDevice(), 19200, Patience);
        QVERIFY(p.warnings.isEmpty());
    }

    void serverStoppedAndBack_data() { bothKinds_data(); }
    void serverStoppedAndBack()
    {
        QFETCH(QString, option);
        START_PANEL(p);
        p.choose(qPrintable(option));
        QCOMPARE(p.ask(), QStringLiteral(" Stand by"));

        p.ser2net->stop();
        QTRY_COMPARE_WITH_TIMEOUT(p.warnings.size(), 1, Patience);
        const QString address
            = option == QLatin1String("Option1") ? p.ser2net->rfc2217Address() : p.ser2net->tcpAddress();
        QVERIFY2(p.warnings.at(0).startsWith(address + QLatin1String(": ")), qPrintable(p.warnings.at(0)));
        QVERIFY(!p.line->isOpen());
        p.click("Command44"); // shown, and marked as unanswered
        QTRY_COMPARE_WITH_TIMEOUT(p.engine->replies().text(TrafficLine::Receive), ReplyWindow::NoReplyMark, Patience);
        QVERIFY(p.form->isVisible());

        QVERIFY2(p.ser2net->start(), qPrintable(p.ser2net->error()));
        p.choose(qPrintable(option));
        QCOMPARE(p.ask(), QStringLiteral(" Stand by"));
        QCOMPARE(p.warnings.size(), 1);
    }

    void nobodyListens()
    {
        const QString address = QStringLiteral("rfc2217://127.0.0.1:%1").arg(Ser2NetProcess::freePort());
        START_PANEL(p, address);
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longestStall = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestStall = std::max(longestStall, clock.elapsed() - last);
            last = clock.elapsed();
        });
        clock.start();
        ticker.start(5);
        p.choose("Option2");
        QTRY_COMPARE_WITH_TIMEOUT(p.warnings.size(), 1, Patience);
        QCOMPARE(p.warnings.at(0), address + QStringLiteral(": Connection refused"));
        QVERIFY(!p.line->isOpen());
        QTest::qWait(200);
        QCOMPARE(p.warnings.size(), 1);
        QVERIFY2(longestStall < 500, qPrintable(QStringLiteral("the window stalled for %1 ms").arg(longestStall)));
        p.choose("Option1"); // the other port still works
        QCOMPARE(p.ask(), QStringLiteral(" Stand by"));
    }
};

QTEST_MAIN(Ser2NetTest)
#include "tst_ser2net.moc"
