#include "SimulatorProcess.h"
#include "engine/line/QtSerialLine.h"
#include "engine/timing/QtClock.h"
#include "panel/PanelEngine.h"
#include "window/PanelWindow.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

using namespace orva;

namespace {

// The limit of every wait: far beyond what any step needs, so that only a
// real fault runs into it.
constexpr int Patience = 20000;

// One text written to one of the three display lines.
struct LineText
{
    TrafficLine line;
    QString text;
};

// The panel as it runs for the operator (the real window, the event loop's
// timers, QSerialPort) with its COM1 on a simulated projector started with
// the given options. Every text written to the display lines is logged.
class LivePanel
{
public:
    explicit LivePanel(const QStringList& simulatorOptions)
        : sim(simulatorOptions)
    {
        started = sim.start();
        if (!started)
            return;
        comm = std::make_unique<QtSerialLine>();
        engine
            = std::make_unique<PanelEngine>(*comm, clock, PortNames{sim.device(), QStringLiteral("/dev/orva-no-com2")});
        form = std::make_unique<PanelWindow>(*engine, [this](QWidget*, const QString& text) { warnings.append(text); });
        QObject::connect(
            &engine->replies(), &ReplyWindow::lineChanged, form.get(), [this](TrafficLine line, const QString& text) {
                if (logging)
                    log.append({line, text});
            });
        form->start();
        form->show();
    }

    ~LivePanel()
    {
        // The window goes before its line, the line before the projector.
        form.reset();
        engine.reset();
        comm.reset();
    }

    void click(const char* name)
    {
        QPushButton* button = form->control<QPushButton>(name);
        QVERIFY2(button, name);
        button->click();
    }

    // Waits until the line is idle, starts a fresh log and clicks: the
    // reply to this press is then read on its own.
    void press(const char* name)
    {
        QVERIFY2(QTest::qWaitFor([this] { return idle(); }, Patience), "the line never went idle");
        log.clear();
        click(name);
    }

    // Types a code on the free command line and sends it.
    void type(const QString& code)
    {
        form->control<QLineEdit>("Text1")->setText(code);
        click("Command95");
    }

    // Texts written to a line so far, in order.
    QStringList texts(TrafficLine line) const
    {
        QStringList out;
        for (const LineText& entry : log)
            if (entry.line == line)
                out.append(entry.text);
        return out;
    }
    QStringList statusTexts() const { return texts(TrafficLine::Status); }
    // Status texts other than the clearing of the line.
    QStringList decodedTexts() const
    {
        QStringList out = statusTexts();
        out.removeAll(QString());
        return out;
    }
    QStringList receiveTexts() const { return texts(TrafficLine::Receive); }

    // Position in the log of the first write of exactly this text to the line.
    qsizetype firstIndex(TrafficLine line, const QString& text) const
    {
        for (qsizetype i = 0; i < log.size(); ++i)
            if (log[i].line == line && log[i].text == text)
                return i;
        return -1;
    }

    // True once the last send's reply window has closed: the reply timeout
    // has ticked and emptied the reply buffer, so the next reply is read on
    // its own.
    bool idle() const { return !engine->replies().isReplyTimeoutRunning() && engine->replies().reply().isEmpty(); }

    // Presses a status button (or types a status read) once the line is
    // idle and returns the status text its reply gives.
    QString ask(const char* button, const QString& typed = QString())
    {
        if (!QTest::qWaitFor([this] { return idle(); }, Patience))
            return QStringLiteral("<line never went idle>");
        log.clear();
        if (typed.isEmpty())
            click(button);
        else
            type(typed);
        // Waits for the whole reply (up to its carriage return); the clear
        // delay of an earlier press may empty the lines on the way, so the
        // answer is the last text decoded.
        const auto whole = [this] {
            const QStringList received = receiveTexts();
            return std::any_of(received.begin(), received.end(), [](const QString& text) {
                return text.endsWith(QLatin1String("CR "));
            }) && !decodedTexts().isEmpty();
        };
        if (!QTest::qWaitFor(whole, Patience))
            return QStringLiteral("<no status; receive line showed %1>").arg(receiveTexts().join(QLatin1Char('|')));
        return decodedTexts().constLast();
    }

    SimulatorProcess sim;
    bool started = false;
    QtClock clock;
    std::unique_ptr<QtSerialLine> comm;
    std::unique_ptr<PanelEngine> engine;
    std::unique_ptr<PanelWindow> form;
    QStringList warnings;
    QList<LineText> log;
    bool logging = true;
};

#define START_PANEL(panel, ...)                                                                                        \
    LivePanel panel(__VA_ARGS__);                                                                                      \
    QVERIFY2(panel.started, qPrintable(panel.sim.error()));                                                            \
    QVERIFY2(panel.comm->isOpen(), qPrintable(panel.warnings.join(QLatin1Char('\n'))))

} // namespace

// The panel against the simulated projector over a real pseudo-terminal,
// driven through its widgets: a healthy line first, then one test for each
// fault a real line shows.
class EndToEndTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void statusFollowsThePowerCycle()
    {
        START_PANEL(panel, {"--warmup", "3000", "--cooldown", "1500"});
        QCOMPARE(panel.ask("Command44"), QStringLiteral(" Stand by"));

        panel.press("Command17"); // "ON" of "POWER"
        QTRY_COMPARE_WITH_TIMEOUT(panel.receiveTexts().value(0), QStringLiteral(" ACK "), Patience);
        QStringList seen;
        while (seen.size() < 100 && !seen.contains(QStringLiteral(" Power ON")))
            seen.append(panel.ask("Command44"));
        QCOMPARE(seen.first(), QStringLiteral(" Count down"));
        QCOMPARE(seen.last(), QStringLiteral(" Power ON"));
        QCOMPARE(seen.count(QStringLiteral(" Count down")), seen.size() - 1);

        panel.press("Command18"); // "OFF" of "POWER"
        QTRY_COMPARE_WITH_TIMEOUT(panel.receiveTexts().value(0), QStringLiteral(" ACK "), Patience);
        seen.clear();
        while (seen.size() < 100 && !seen.contains(QStringLiteral(" Stand by")))
            seen.append(panel.ask("Command44"));
        QCOMPARE(seen.first(), QStringLiteral(" Cooling down"));
        QCOMPARE(seen.count(QStringLiteral(" Cooling down")), seen.size() - 1);
        QVERIFY(panel.warnings.isEmpty());
    }

    void statusReadsAreDecoded_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("status");
        QTest::newRow("L-TIME") << "Command46"
                                << ""
                                << " 0 2 3 4 5 CR  Hour Use";
        QTest::newRow("MODE") << "Command45"
                              << ""
                              << " Computer 1";
        QTest::newRow("SETTING") << "Command47"
                                 << ""
                                 << " Normally";
        QTest::newRow("TEMP") << "Command54"
                              << ""
                              << "  S1=   2 4 . 0 C  ,   S2=  2 5 . 5 C , S3=   2 6 . 0 C";
        QTest::newRow("L-MODE") << "Command55"
                                << ""
                                << " LAMP OFF";
        QTest::newRow("typed mute state") << ""
                                          << "CRA"
                                          << " Stand by";
        QTest::newRow("typed pressure") << ""
                                        << "CR PRESSURE"
                                        << "1013 hPa";
        QTest::newRow("typed model") << ""
                                     << "CR9"
                                     << " T K 6 0 0 CR ";
        QTest::newRow("typed power state") << ""
                                           << "CR0"
                                           << " Stand by";
    }
    void statusReadsAreDecoded()
    {
        QFETCH(QString, button);
        QFETCH(QString, typed);
        QFETCH(QString, status);
        START_PANEL(panel, {"--lamp-hours", "2345"});
        QCOMPARE(panel.ask(qPrintable(button), typed), status);
    }

    void choicesShowInTheReads()
    {
        START_PANEL(panel, {"--warmup", "0"});
        panel.click("Command29"); // "Video" of "INPUT MODE SET"
        QCOMPARE(panel.ask("Command45"), QStringLiteral(" Video"));
        panel.click("Command17");
        panel.click("Command19"); // "ON" of "SOUND MUTE"
        panel.click("Command21"); // "ON" of "NO SHOW"
        QCOMPARE(panel.ask(nullptr, QStringLiteral("CRA")), QStringLiteral(" Video & Audio mute ON"));
        panel.click("Command22"); // "OFF" of "NO SHOW"
        QCOMPARE(panel.ask(nullptr, QStringLiteral("CRA")), QStringLiteral(" Audio mute ON"));
        QCOMPARE(panel.ask("Command55"), QStringLiteral(" LAMP ON"));
    }

    void silentLineIsMarked()
    {
        START_PANEL(panel, {"--silent"});
        panel.click("Command44");
        QTRY_VERIFY_WITH_TIMEOUT(panel.receiveTexts().contains(ReplyWindow::NoReplyMark), Patience);
        QCOMPARE(panel.receiveTexts().constFirst(), ReplyWindow::NoReplyMark);
        QCOMPARE(panel.decodedTexts(), QStringList());
        QVERIFY(panel.comm->isOpen());
    }

    void lateReplyFollowsTheMark()
    {
        START_PANEL(panel, {"--delay", "1500"});
        panel.click("Command44");
        QTRY_VERIFY_WITH_TIMEOUT(panel.statusTexts().contains(QStringLiteral(" Stand by")), Patience);
        const qsizetype mark = panel.firstIndex(TrafficLine::Receive, ReplyWindow::NoReplyMark);
        const qsizetype reply = panel.firstIndex(TrafficLine::Receive, QStringLiteral(" 8 0 CR "));
        QVERIFY2(mark >= 0, "the missing reply was not marked");
        QVERIFY2(reply > mark, "the late reply did not follow the mark");
        QVERIFY(panel.firstIndex(TrafficLine::Status, QStringLiteral(" Stand by")) > reply);
        // The late reply stays in view: its clear delay ran out before it came.
        QCOMPARE(panel.engine->replies().text(TrafficLine::Receive), QStringLiteral(" 8 0 CR "));
        QCOMPARE(panel.engine->replies().text(TrafficLine::Status), QStringLiteral(" Stand by"));
    }

    void splitReplyDecodesOnceWhole()
    {
        // Pieces of one byte 600 ms apart: all within the 2000 ms reply
        // timeout of the free command line.
        START_PANEL(panel, {"--split", "1", "--gap", "600"});
        panel.type(QStringLiteral("CR0"));
        QTRY_COMPARE_WITH_TIMEOUT(
            panel.engine->replies().text(TrafficLine::Receive), QStringLiteral(" 8 0 CR "), Patience);
        QCOMPARE(panel.receiveTexts(), (QStringList{" 8 ", " 8 0 ", " 8 0 CR "}));
        // Nothing was decoded from the first piece alone; the status came
        // with the second and stayed.
        QCOMPARE(panel.statusTexts(), (QStringList{" Stand by", " Stand by"}));
        QVERIFY(panel.firstIndex(TrafficLine::Status, QStringLiteral(" Stand by"))
            > panel.firstIndex(TrafficLine::Receive, QStringLiteral(" 8 0 ")));
    }

    void noiseIsShownAndNothingMisread()
    {
        START_PANEL(panel, {"--noise"});
        panel.click("Command44");
        QTRY_VERIFY_WITH_TIMEOUT(
            panel.engine->replies().text(TrafficLine::Receive).endsWith(QStringLiteral("8 0 CR ")), Patience);
        static const QRegularExpression garbledReply(QStringLiteral("^ (\\? ){1,3}8 0 CR $"));
        QVERIFY2(garbledReply.match(panel.engine->replies().text(TrafficLine::Receive)).hasMatch(),
            qPrintable(panel.engine->replies().text(TrafficLine::Receive)));
        QCOMPARE(panel.decodedTexts(), QStringList());
        // The next read is unharmed by the garbage before it.
        QVERIFY(panel.comm->isOpen());
        panel.click("Command46");
        QTRY_VERIFY_WITH_TIMEOUT(
            panel.engine->replies().text(TrafficLine::Receive).endsWith(QStringLiteral("0 1 2 3 4 CR ")), Patience);
    }

    void hangUpLeavesThePanelRunningWithThePortClosed()
    {
        START_PANEL(panel, {"--hangup-after", "1"});
        panel.click("Command44");
        QTRY_VERIFY_WITH_TIMEOUT(!panel.comm->isOpen(), Patience);
        QTRY_COMPARE_WITH_TIMEOUT(panel.warnings.size(), 1, Patience); // told once, in the warning box
        QTRY_COMPARE_WITH_TIMEOUT(panel.sim.process().state(), QProcess::NotRunning, Patience);
        QCOMPARE(panel.sim.process().exitCode(), 0);

        // The window lives on: a press still shows its frame and, with no
        // line to answer, the missing reply.
        QVERIFY(panel.form->isVisible());
        panel.press("Command45");
        QCOMPARE(panel.engine->replies().text(TrafficLine::Transmit), QStringLiteral(" C R 1 CR "));
        QTRY_VERIFY_WITH_TIMEOUT(panel.receiveTexts().contains(ReplyWindow::NoReplyMark), Patience);
        QVERIFY(!panel.comm->isOpen());
        QCOMPARE(panel.warnings.size(), 1);
    }

    void floodKeepsTheWindowResponsive()
    {
        // Five times what a 19200-baud line can carry.
        START_PANEL(panel, {"--stream", "10000"});
        panel.logging = false; // a log of 64 KB texts would only measure the test
        QTRY_VERIFY_WITH_TIMEOUT(panel.engine->replies().text(TrafficLine::Receive).size() > 1000, Patience);

        // A timer keeps ticking while the characters pour in ...
        QElapsedTimer elapsed;
        elapsed.start();
        qint64 last = 0;
        qint64 longestGap = 0;
        int ticks = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, elapsed.elapsed() - last);
            last = elapsed.elapsed();
            ++ticks;
        });
        ticker.start(20);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 100, Patience);
        QVERIFY2(longestGap < 2000, qPrintable(QStringLiteral("the window stalled for %1 ms").arg(longestGap)));

        // ... and a press still goes out and its reply comes back through
        // the stream (which carries no digits).
        bool replied = false;
        QObject::connect(&panel.engine->replies(), &ReplyWindow::lineChanged, panel.form.get(),
            [&replied](TrafficLine line, const QString& text) {
                if (line == TrafficLine::Receive && text.contains(QLatin1String(" 8 0 CR ")))
                    replied = true;
            });
        panel.click("Command44");
        QCOMPARE(panel.engine->replies().text(TrafficLine::Transmit), QStringLiteral(" C R 0 CR "));
        QTRY_VERIFY_WITH_TIMEOUT(replied, Patience);
        QVERIFY(panel.comm->isOpen());
        QVERIFY(panel.warnings.isEmpty());
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_end_to_end.moc"
