#include "SimulatorProcess.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace orva;

namespace {

constexpr int Patience = 30000;

// The panel's end of the simulator's line: the device opened raw.
class Terminal
{
public:
    explicit Terminal(const QString& device)
        : m_fd(::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        termios tio{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~Terminal()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool write(const QByteArray& bytes)
    {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Reads until the bytes end with `end`, the line hangs up or the time is up.
    QByteArray readUntil(const QByteArray& end, int timeoutMs = Patience)
    {
        QByteArray got;
        QDeadlineTimer deadline(timeoutMs);
        while (!got.endsWith(end) && !m_hungUp && !deadline.hasExpired()) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0)
                continue;
            char buf[256];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                m_hungUp = true;
        }
        return got;
    }
    bool hungUp() const { return m_hungUp; }

private:
    int m_fd;
    bool m_hungUp = false;
};

} // namespace

// The simulated projector as a program: options, exit codes, its device and
// link, stopping by signal and hanging up.
class ProjectorSimTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void helpDescribesTheProgram()
    {
        QProcess help;
        help.start(SimulatorProcess::program(), {"--help"});
        QVERIFY(help.waitForFinished(Patience));
        QCOMPARE(help.exitCode(), 0);
        const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
        QVERIFY(text.startsWith("Usage: orva-projector-sim"));
        QVERIFY(text.contains("--hangup-after N"));
        QVERIFY(help.readAllStandardError().isEmpty());
    }

    void badOptionsExitWithStatus2_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("complaint");
        QTest::newRow("unknown option") << QStringList{"--loud"} << "unknown option '--loud'";
        QTest::newRow("bad number") << QStringList{"--delay", "soon"} << "'soon' is not a whole number";
        QTest::newRow("missing value") << QStringList{"--stream"} << "needs a number of characters per second";
        QTest::newRow("gap without split") << QStringList{"--gap", "5"} << "needs '--split N'";
    }
    void badOptionsExitWithStatus2()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, complaint);
        QProcess sim;
        sim.start(SimulatorProcess::program(), arguments);
        QVERIFY(sim.waitForFinished(Patience));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY(sim.readAllStandardOutput().isEmpty()); // no device was made
        const QString err = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY2(err.startsWith("orva-projector-sim: ") && err.contains(complaint), qPrintable(err));
        QVERIFY(err.contains("--help"));
    }

    void answersOnItsDeviceAndThroughItsLink()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("com1");
        SimulatorProcess sim({"--link", link});
        QVERIFY2(sim.start(), qPrintable(sim.error()));
        QVERIFY(sim.device().startsWith("/dev/"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.device());

        Terminal line(link);
        QVERIFY(line.isOpen());
        QVERIFY(line.write("CR0\r"));
        QCOMPARE(line.readUntil("\r"), QByteArray("80\r"));
        QVERIFY(line.write("C00\rCR0\rXYZ\r"));
        QCOMPARE(line.readUntil("?\r"),
            QByteArray("\x06"
                       "40\r?\r"));

        QVERIFY(sim.stop());
        QVERIFY2(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink(), "the link outlived the simulator");
    }

    void interruptStopsCleanly()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("com1");
        SimulatorProcess sim({"--link", link});
        QVERIFY2(sim.start(), qPrintable(sim.error()));
        ::kill(pid_t(sim.process().processId()), SIGINT);
        QVERIFY(sim.process().waitForFinished(Patience));
        QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.process().exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void staleLinkIsReplacedButAFileIsNot()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("com1");
        QVERIFY(QFile::link("/dev/orva-gone", link));
        {
            SimulatorProcess sim({"--link", link});
            QVERIFY2(sim.start(), qPrintable(sim.error()));
            QCOMPARE(QFileInfo(link).symLinkTarget(), sim.device());
        }

        const QString file = dir.filePath("notes");
        QFile notes(file);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("keep me");
        notes.close();
        QProcess sim;
        sim.start(SimulatorProcess::program(), {"--link", file});
        QVERIFY(sim.waitForFinished(Patience));
        QCOMPARE(sim.exitCode(), 1);
        QVERIFY(QString::fromLocal8Bit(sim.readAllStandardError()).contains("not a symbolic link"));
        QVERIFY(notes.open(QIODevice::ReadOnly));
        QCOMPARE(notes.readAll(), QByteArray("keep me"));
    }

    void hangsUpAfterTheLastAnsweredFrame()
    {
        SimulatorProcess sim({"--hangup-after", "2"}, QProcess::SeparateChannels);
        QVERIFY2(sim.start(), qPrintable(sim.error()));
        Terminal line(sim.device());
        QVERIFY(line.write("C00\r"));
        QCOMPARE(line.readUntil("\x06"), QByteArray("\x06"));
        QVERIFY(line.write("CR0\r"));
        QCOMPARE(line.readUntil("\r"), QByteArray("40\r")); // the last reply still arrives whole
        line.readUntil("never");
        QVERIFY(line.hungUp());
        QVERIFY(sim.process().waitForFinished(Patience));
        QCOMPARE(sim.process().exitCode(), 0);
        QVERIFY(sim.process().readAllStandardError().contains("hung up after 2 frames"));
    }

    void silentLineReadsButNeverAnswers()
    {
        SimulatorProcess sim({"--silent", "--hangup-after", "3"});
        QVERIFY2(sim.start(), qPrintable(sim.error()));
        Terminal line(sim.device());
        QVERIFY(line.write("CR0\rC00\rCR0\r"));
        // The three frames were read (the hang-up follows them) and none
        // drew a single byte.
        QCOMPARE(line.readUntil("never"), QByteArray());
        QVERIFY(line.hungUp());
    }
};

QTEST_GUILESS_MAIN(ProjectorSimTest)
#include "tst_projector_sim.moc"
