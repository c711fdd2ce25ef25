#include "FrameReader.h"
#include "LineFaults.h"
#include "ProjectorModel.h"
#include "SimOptions.h"
#include "VirtualClock.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace orva;
using namespace orva::sim;

namespace {

const std::string Ack(1, ProjectorModel::Ack);
const std::string Error(ProjectorModel::ErrorReply);

// The simulated projector on a virtual clock.
struct Projector
{
    explicit Projector(ModelSettings settings = {})
        : model(settings, [this] { return clock.nowMs(); })
    {
    }
    // Sends each frame in turn and returns the last reply.
    std::string send(const QStringList& frames)
    {
        std::string reply;
        for (const QString& frame : frames)
            reply = model.answer(frame.toStdString());
        return reply;
    }
    std::string send(const char* frame) { return model.answer(frame); }

    VirtualClock clock;
    ProjectorModel model;
};

QString show(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

std::vector<std::string> strings(const QStringList& list)
{
    std::vector<std::string> out;
    for (const QString& s : list)
        out.push_back(s.toStdString());
    return out;
}

} // namespace

// The projector's protocol model, frame reader, line faults and options,
// without any I/O.
class ProjectorModelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void frameFamilies_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("reply");
        QTest::newRow("power on") << "C00" << show(Ack);
        QTest::newRow("highest code") << "CFF" << show(Ack);
        QTest::newRow("any two hex digits") << "C8A" << show(Ack);
        QTest::newRow("setting") << "CF FANMODE L1" << show(Ack);
        QTest::newRow("lower-case hex digit") << "C0b" << show(Error);
        QTest::newRow("three digits") << "C000" << show(Error);
        QTest::newRow("one digit") << "C0" << show(Error);
        QTest::newRow("not hex") << "C0G" << show(Error);
        QTest::newRow("setting without blank") << "CFFANMODE" << show(Error);
        QTest::newRow("unknown read") << "CR2" << show(Error);
        QTest::newRow("read in lower case") << "cr0" << show(Error);
        QTest::newRow("read with a trailing blank") << "CR0 " << show(Error);
        QTest::newRow("pressure in lower case") << "CR pressure" << show(Error);
        QTest::newRow("empty frame") << "" << show(Error);
        QTest::newRow("garbage") << "\x01\x7f" << show(Error);
    }
    void frameFamilies()
    {
        QFETCH(QString, frame);
        QFETCH(QString, reply);
        Projector p;
        QCOMPARE(show(p.model.answer(frame.toStdString())), reply);
    }

    void readsInStandby_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("reply");
        QTest::newRow("power") << "CR0"
                               << "80\r";
        QTest::newRow("input") << "CR1"
                               << "1\r";
        QTest::newRow("lamp hours") << "CR3"
                                    << "01234\r";
        QTest::newRow("orientation") << "CR4"
                                     << "11\r";
        QTest::newRow("temperatures") << "CR6"
                                      << " 24.0, 25.5, 26.0\r";
        QTest::newRow("lamp mode") << "CR7"
                                   << "00\r";
        QTest::newRow("model") << "CR9"
                               << "TK600\r";
        QTest::newRow("mute state") << "CRA"
                                    << "FF\r";
        QTest::newRow("pressure") << "CR PRESSURE"
                                  << "853\r";
    }
    void readsInStandby()
    {
        QFETCH(QString, query);
        QFETCH(QString, reply);
        Projector p;
        QCOMPARE(show(p.model.answer(query.toStdString())), reply);
    }

    void powerCycleFollowsTheClock()
    {
        Projector p(ModelSettings{.warmupMs = 3000, .cooldownMs = 2000});
        QCOMPARE(p.send("C00"), Ack);
        QCOMPARE(p.send("CR0"), std::string("40\r"));
        p.clock.advance(2999);
        QCOMPARE(p.send("CR0"), std::string("40\r"));
        p.clock.advance(1);
        QCOMPARE(p.send("CR0"), std::string("00\r"));
        QCOMPARE(p.send("C00"), Ack); // already on: stays on
        QCOMPARE(p.send("CR0"), std::string("00\r"));

        QCOMPARE(p.send("C01"), Ack);
        QCOMPARE(p.send("CR0"), std::string("20\r"));
        p.clock.advance(1000);
        QCOMPARE(p.send("C00"), Ack); // refused while cooling down
        QCOMPARE(p.send("CR0"), std::string("20\r"));
        p.clock.advance(1000); // the cool-down counts from C01, not from the refused C00
        QCOMPARE(p.send("CR0"), std::string("80\r"));
        QCOMPARE(p.send("C01"), Ack); // already in standby
        QCOMPARE(p.send("CR0"), std::string("80\r"));
    }

    void powerOffDuringCountDownCoolsDown()
    {
        Projector p(ModelSettings{.warmupMs = 3000, .cooldownMs = 2000});
        p.send("C00");
        p.clock.advance(1000);
        p.send("C01");
        QCOMPARE(p.model.power(), Power::CoolDown);
        p.clock.advance(2500); // past the abandoned count-down's end
        QCOMPARE(p.model.power(), Power::Standby);
    }

    void stateMovesOnWithoutBeingAsked()
    {
        // A read long after both periods ended reports the final state: the
        // model settles the count-down and the cool-down in turn.
        Projector p(ModelSettings{.warmupMs = 100, .cooldownMs = 100});
        p.send("C00");
        p.clock.advance(50'000);
        QCOMPARE(p.send("CR0"), std::string("00\r"));
    }

    void inputFollowsSelection_data()
    {
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("reply");
        QTest::newRow("PC2") << QStringList{"C06"} << "2\r";
        QTest::newRow("Video") << QStringList{"C07"} << "3\r";
        QTest::newRow("back to PC1") << QStringList{"C07", "C05"} << "1\r";
        QTest::newRow("S-Video signal") << QStringList{"C34"} << "3\r";
        QTest::newRow("PC2 analog setting") << QStringList{"CF INPUT2 ANALOG"} << "2\r";
        QTest::newRow("video setting") << QStringList{"C05", "CF INPUT3 VIDEO"} << "3\r";
        QTest::newRow("PC1 component") << QStringList{"C06", "C54"} << "1\r";
        QTest::newRow("other codes leave it") << QStringList{"C06", "C00", "C1C", "CF FANMODE L2"} << "2\r";
    }
    void inputFollowsSelection()
    {
        QFETCH(QStringList, codes);
        QFETCH(QString, reply);
        Projector p;
        p.send(codes);
        QCOMPARE(show(p.send("CR1")), reply);
    }

    void muteStateFollowsSoundAndPicture_data()
    {
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("reply");
        QTest::newRow("neither") << QStringList{} << "00\r";
        QTest::newRow("picture blanked") << QStringList{"C0D"} << "01\r";
        QTest::newRow("sound muted") << QStringList{"C0B"} << "02\r";
        QTest::newRow("both") << QStringList{"C0D", "C0B"} << "03\r";
        QTest::newRow("sound back") << QStringList{"C0D", "C0B", "C0C"} << "01\r";
        QTest::newRow("picture back") << QStringList{"C0B", "C0D", "C0E"} << "02\r";
        QTest::newRow("twice on, once off") << QStringList{"C0B", "C0B", "C0C"} << "00\r";
    }
    void muteStateFollowsSoundAndPicture()
    {
        QFETCH(QStringList, codes);
        QFETCH(QString, reply);
        Projector p(ModelSettings{.warmupMs = 0});
        p.send("C00");
        p.send(codes);
        QCOMPARE(show(p.send("CRA")), reply);
    }

    void muteStateReadsStandbyUntilSwitchedOn()
    {
        Projector p(ModelSettings{.warmupMs = 1000, .cooldownMs = 1000});
        p.send("C0B");
        QCOMPARE(p.send("CRA"), std::string("FF\r"));
        p.send("C00");
        QCOMPARE(p.send("CRA"), std::string("02\r")); // counting down: the mute shows
        p.clock.advance(1000);
        p.send("C01");
        QCOMPARE(p.send("CRA"), std::string("02\r"));
        p.clock.advance(1000);
        QCOMPARE(p.send("CRA"), std::string("FF\r"));
    }

    void lampHoursGrowOnlyWhileLit()
    {
        Projector p(ModelSettings{.warmupMs = 500, .cooldownMs = 500, .lampHours = 98, .hourMs = 1000});
        p.clock.advance(5000);
        QCOMPARE(p.send("CR3"), std::string("00098\r"));
        p.send("C00"); // the lamp lights at the start of the count-down
        p.clock.advance(999);
        QCOMPARE(p.send("CR3"), std::string("00098\r"));
        p.clock.advance(1);
        QCOMPARE(p.send("CR3"), std::string("00099\r"));
        p.clock.advance(1500);
        QCOMPARE(p.send("CR3"), std::string("00100\r"));
        p.send("C01"); // 2.5 lit hours so far; the lamp goes out at once
        p.clock.advance(10'000);
        QCOMPARE(p.send("CR3"), std::string("00100\r"));
        p.send("C00");
        p.clock.advance(500);
        QCOMPARE(p.send("CR3"), std::string("00101\r")); // the half hours add up
    }

    void lampHoursStopAtFiveDigits()
    {
        Projector p(ModelSettings{.warmupMs = 0, .lampHours = 99999, .hourMs = 1});
        p.send("C00");
        p.clock.advance(10);
        QCOMPARE(p.send("CR3"), std::string("99999\r"));
    }

    void lampModeFollowsTheLamp()
    {
        Projector p(ModelSettings{.warmupMs = 1000, .cooldownMs = 1000});
        QCOMPARE(p.send("CR7"), std::string("00\r"));
        p.send("C00");
        QCOMPARE(p.send("CR7"), std::string("01\r"));
        p.clock.advance(1000);
        QCOMPARE(p.send("CR7"), std::string("01\r"));
        p.send("C01");
        QCOMPARE(p.send("CR7"), std::string("00\r"));
    }

    void temperaturesRiseWhileLitAndFallAfter()
    {
        Projector p(ModelSettings{.warmupMs = 0, .cooldownMs = 0, .heatUpMs = 10'000});
        const auto cold = p.model.temperatures();
        p.send("C00");
        p.clock.advance(5000);
        const auto half = p.model.temperatures();
        p.clock.advance(20'000);
        const auto hot = p.model.temperatures();
        for (std::size_t i = 0; i < 3; ++i) {
            QVERIFY(cold[i] < half[i]);
            QVERIFY(half[i] < hot[i]);
            QCOMPARE(half[i], (cold[i] + hot[i]) / 2);
        }
        QCOMPARE(p.send("CR6"), std::string(" 38.5, 52.0, 44.0\r"));
        p.send("C01");
        p.clock.advance(10'000);
        QCOMPARE(p.send("CR6"), std::string(" 24.0, 25.5, 26.0\r"));
    }

    void temperatureFieldsSitWhereThePanelReadsThem()
    {
        // The panel shows reply characters 1-5, 8-11 and 13-17; each must
        // hold one whole reading, whatever the temperatures.
        Projector p(ModelSettings{.warmupMs = 0, .heatUpMs = 10'000});
        p.send("C00");
        for (int step = 0; step <= 10; ++step) {
            const std::string reply = p.send("CR6");
            const auto t = p.model.temperatures();
            QCOMPARE(reply.size(), std::size_t(18));
            QCOMPARE(reply.back(), '\r');
            const QString text = show(reply);
            const double shown[3] = {text.mid(0, 5).toDouble(), text.mid(7, 4).toDouble(), text.mid(12, 5).toDouble()};
            for (int i = 0; i < 3; ++i)
                QVERIFY2(std::abs(shown[i] - t[i]) <= 0.051, qPrintable(text));
            p.clock.advance(1000);
        }
    }

    void frameReaderCutsAtCarriageReturns_data()
    {
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QStringList>("frames");
        QTest::newRow("one frame") << QStringList{"CR0\r"} << QStringList{"CR0"};
        QTest::newRow("split frame") << QStringList{"C", "0", "0\r"} << QStringList{"C00"};
        QTest::newRow("two in one chunk") << QStringList{"C00\rCR0\r"} << QStringList{"C00", "CR0"};
        QTest::newRow("unfinished frame waits") << QStringList{"C00\rCR"} << QStringList{"C00"};
        QTest::newRow("CR LF endings") << QStringList{"C00\r\n", "CR0\r\n"} << QStringList{"C00", "CR0"};
        QTest::newRow("blanks kept") << QStringList{"CF FANMODE L1\r"} << QStringList{"CF FANMODE L1"};
        QTest::newRow("empty frame") << QStringList{"\r"} << QStringList{""};
        QTest::newRow("line feed inside kept") << QStringList{"C\n0\r"} << QStringList{"C\n0"};
        QTest::newRow("overlong frame becomes empty")
            << QStringList{QString(300, QLatin1Char('A')), "B\rCR0\r"} << QStringList{"", "CR0"};
        QTest::newRow("longest frame kept")
            << QStringList{QString(256, QLatin1Char('A')) + "\r"} << QStringList{QString(256, QLatin1Char('A'))};
    }
    void frameReaderCutsAtCarriageReturns()
    {
        QFETCH(QStringList, chunks);
        QFETCH(QStringList, frames);
        FrameReader reader;
        std::vector<std::string> got;
        for (const QString& chunk : chunks)
            for (auto& frame : reader.feed(chunk.toStdString()))
                got.push_back(frame);
        QCOMPARE(got, strings(frames));
    }

    void shaperTimesReplies_data()
    {
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("split");
        QTest::addColumn<int>("gap");
        QTest::addColumn<QStringList>("pieces"); // "due:bytes" of both replies, "CR" for 13
        // Two replies, "80\r" to a frame at 1000 and "\x06" to one at 1010.
        QTest::newRow("clean") << 0 << 0 << 100 << QStringList{"1000:80CR", "1010:ACK"};
        QTest::newRow("delay") << 300 << 0 << 100 << QStringList{"1300:80CR", "1310:ACK"};
        QTest::newRow("split by one") << 0 << 1 << 100 << QStringList{"1000:8", "1100:0", "1200:CR", "1200:ACK"};
        QTest::newRow("split by two") << 0 << 2 << 50 << QStringList{"1000:80", "1050:CR", "1050:ACK"};
        QTest::newRow("split and delay") << 500 << 2 << 10 << QStringList{"1500:80", "1510:CR", "1510:ACK"};
    }
    void shaperTimesReplies()
    {
        QFETCH(int, delay);
        QFETCH(int, split);
        QFETCH(int, gap);
        QFETCH(QStringList, pieces);
        LineShaper shaper(Faults{.delayMs = delay, .splitBytes = split, .gapMs = gap}, 0);
        QStringList got;
        auto record = [&got](const std::vector<Piece>& list) {
            for (const Piece& piece : list)
                got << QString::number(piece.dueMs) + ":"
                        + show(piece.bytes).replace("\r", "CR").replace(QChar(6), "ACK");
        };
        record(shaper.shape("80\r", 1000));
        record(shaper.shape(Ack, 1010));
        QCOMPARE(got, pieces);
    }

    void silentLineAnswersNothing()
    {
        LineShaper shaper(Faults{.silent = true, .delayMs = 100}, 0);
        QVERIFY(shaper.shape("80\r", 0).empty());
        QVERIFY(shaper.shape(Ack, 10).empty());
    }

    void noiseGoesBeforeAnIntactReply()
    {
        LineShaper shaper(Faults{.noise = true}, 0);
        std::string all;
        for (int i = 0; i < 20; ++i) {
            const auto pieces = shaper.shape("80\r", i * 100);
            QCOMPARE(pieces.size(), std::size_t(1));
            const std::string& bytes = pieces.front().bytes;
            QVERIFY(bytes.ends_with("80\r"));
            const std::string burst = bytes.substr(0, bytes.size() - 3);
            QVERIFY(burst.size() >= 1 && burst.size() <= 3);
            for (const char c : burst)
                QVERIFY(LineShaper::NoiseBytes.find(c) != std::string_view::npos);
            all += burst;
        }
        // Both kinds of garbage turn up: control characters and bytes beyond ASCII.
        QVERIFY(std::any_of(all.begin(), all.end(), [](char c) { return (unsigned char)c < 32; }));
        QVERIFY(std::any_of(all.begin(), all.end(), [](char c) { return (unsigned char)c > 127; }));
    }

    void streamKeepsItsRate()
    {
        LineShaper shaper(Faults{.streamRate = 200}, 1000);
        QCOMPARE(shaper.nextStreamDue(), 1005);
        QCOMPARE(shaper.streamDue(1000, 4096), std::string());
        QCOMPARE(shaper.streamDue(1004, 4096), std::string());
        QCOMPARE(shaper.streamDue(1005, 4096), std::string("a"));
        QCOMPARE(shaper.nextStreamDue(), 1010);
        QCOMPARE(shaper.streamDue(1150, 4096), std::string("bcdefghijklmnopqrstuvwxyzabcd"));
        std::string second;
        for (int t = 1151; t <= 2000; ++t)
            second += shaper.streamDue(t, 4096);
        QCOMPARE(second.size(), std::size_t(200 - 30));
        QVERIFY(second.find_first_not_of(std::string(LineShaper::StreamPattern)) == std::string::npos);
    }

    void streamDropsWhatTheLineCannotTake()
    {
        LineShaper shaper(Faults{.streamRate = 1000}, 0);
        QCOMPARE(shaper.streamDue(1000, 10), std::string("abcdefghij"));
        QCOMPARE(shaper.streamDue(1003, 10), std::string("klm")); // the lost 990 are not owed
        QCOMPARE(shaper.nextStreamDue(), 1004);
    }

    void noStreamByDefault()
    {
        LineShaper shaper(Faults{}, 0);
        QCOMPARE(shaper.streamDue(100'000, 4096), std::string());
        QCOMPARE(shaper.nextStreamDue(), -1);
    }

    void optionsAreRead()
    {
        const auto parsed = parseOptions({"sim", "--link", "/tmp/com1", "--warmup=1500", "--cooldown", "700",
            "--lamp-hours", "42", "--hour-ms", "60000", "--overheat-after", "900", "--silent", "--delay", "800",
            "--split", "2", "--gap=30", "--noise", "--stream", "5000", "--hangup-after", "3", "--verbose"});
        QCOMPARE(int(parsed.action), int(ParsedOptions::Action::Run));
        const SimOptions& o = parsed.options;
        QCOMPARE(o.link, std::string("/tmp/com1"));
        QCOMPARE(o.model.warmupMs, std::int64_t(1500));
        QCOMPARE(o.model.cooldownMs, std::int64_t(700));
        QCOMPARE(o.model.lampHours, std::int64_t(42));
        QCOMPARE(o.model.hourMs, std::int64_t(60000));
        QCOMPARE(o.model.overheatAfterMs, std::int64_t(900));
        QVERIFY(o.faults.silent);
        QCOMPARE(o.faults.delayMs, std::int64_t(800));
        QCOMPARE(o.faults.splitBytes, 2);
        QCOMPARE(o.faults.gapMs, std::int64_t(30));
        QVERIFY(o.faults.noise);
        QCOMPARE(o.faults.streamRate, 5000);
        QCOMPARE(o.faults.hangupAfter, 3);
        QVERIFY(o.verbose);
    }

    void defaultsAreAHealthyLine()
    {
        const auto parsed = parseOptions({"sim"});
        QCOMPARE(int(parsed.action), int(ParsedOptions::Action::Run));
        const Faults& f = parsed.options.faults;
        QVERIFY(!f.silent && !f.noise);
        QCOMPARE(f.delayMs, std::int64_t(0));
        QCOMPARE(f.splitBytes, 0);
        QCOMPARE(f.streamRate, 0);
        QCOMPARE(f.hangupAfter, 0);
        QVERIFY(parsed.options.link.empty());
    }

    void badOptionsAreExplained_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown") << QStringList{"--fast"} << "unknown option '--fast'";
        QTest::newRow("stray argument") << QStringList{"/dev/ttyS0"} << "unexpected argument '/dev/ttyS0'";
        QTest::newRow("missing number") << QStringList{"--delay"}
                                        << "option '--delay' needs a number of milliseconds (0 to 3600000)";
        QTest::newRow("not a number") << QStringList{"--delay", "fast"}
                                      << "option '--delay': 'fast' is not a whole number from 0 to 3600000";
        QTest::newRow("trailing junk") << QStringList{"--split=3x"}
                                       << "option '--split': '3x' is not a whole number from 1 to 4096";
        QTest::newRow("negative") << QStringList{"--warmup", "-5"}
                                  << "option '--warmup': '-5' is not a whole number from 0 to 3600000";
        QTest::newRow("zero pieces") << QStringList{"--split", "0"}
                                     << "option '--split': '0' is not a whole number from 1 to 4096";
        QTest::newRow("zero rate") << QStringList{"--stream", "0"}
                                   << "option '--stream': '0' is not a whole number from 1 to 1000000";
        QTest::newRow("huge") << QStringList{"--hangup-after", "99999999999999999999"}
                              << "option '--hangup-after': '99999999999999999999' is not a whole number from 1 to "
                                 "1000000";
        QTest::newRow("gap alone") << QStringList{"--gap", "10"} << "option '--gap' needs '--split N'";
        QTest::newRow("flag with value") << QStringList{"--silent=yes"} << "option '--silent' takes no value";
        QTest::newRow("link without path") << QStringList{"--link"} << "option '--link' needs a path";
        QTest::newRow("link empty") << QStringList{"--link="} << "option '--link' needs a path";
    }
    void badOptionsAreExplained()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        arguments.prepend("sim");
        const auto parsed = parseOptions(strings(arguments));
        QCOMPARE(int(parsed.action), int(ParsedOptions::Action::Usage));
        QCOMPARE(QString::fromStdString(parsed.message), message);
    }

    void helpNamesEveryOption()
    {
        const QString help = QString::fromStdString(helpText("orva-projector-sim"));
        for (const char* option : {"--link", "--warmup", "--cooldown", "--lamp-hours", "--hour-ms", "--overheat-after",
                 "--verbose", "--silent", "--delay", "--split", "--gap", "--noise", "--stream", "--hangup-after",
                 "--help", "--version"})
            QVERIFY2(help.contains(QLatin1String(option)), option);
        QVERIFY(help.contains(QLatin1String("\"?\" and a carriage return")));
        QCOMPARE(int(parseOptions({"sim", "--delay", "5", "--help"}).action), int(ParsedOptions::Action::Help));
    }
};

QTEST_GUILESS_MAIN(ProjectorModelTest)
#include "tst_projector_model.moc"
