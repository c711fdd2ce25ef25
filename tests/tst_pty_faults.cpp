#include "PtyPair.h"
#include "VirtualClock.h"
#include "engine/line/QtSerialLine.h"
#include "panel/PanelEngine.h"
#include "window/PanelWindow.h"

#include <QAbstractButton>
#include <QFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTest>

#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace orva;

namespace {

constexpr int Patience = 5000; // ms; generous, a slow machine only waits longer

// The real window on a real line: COM1 is the pseudo-terminal, COM2 does not
// exist. The display timers run on a virtual clock; warnings are recorded.
struct LinePanel
{
    explicit LinePanel(const QString& com1)
        : engine(comm, clock, PortNames{com1, QStringLiteral("/nonexistent/orva-com2")})
    {
    }

    void click(const char* name) { form.control<QAbstractButton>(name)->click(); }
    void choose(const char* option)
    {
        click("Command33");
        click(option);
    }
    bool frameShown() { return form.control("Frame8")->isVisibleTo(&form); }
    // Notifiers of the serial port that would still wake the event loop.
    int liveNotifiers()
    {
        int live = 0;
        for (const QSocketNotifier* notifier : comm.findChildren<QSocketNotifier*>())
            live += notifier->isEnabled() ? 1 : 0;
        return live;
    }

    VirtualClock clock;
    QtSerialLine comm;
    QStringList warnings;
    PanelEngine engine;
    PanelWindow form{engine, [this](QWidget*, const QString& text) { warnings.append(text); }};
};

// Another program holding the device, each the way some real program does.
class Holder
{
public:
    enum Kind { ThisProgram, LockFileOnly, FlockOnly, ExclusiveModeOnly };

    Holder(Kind kind, const QString& device)
    {
        switch (kind) {
        case ThisProgram:
            m_comm = std::make_unique<QtSerialLine>();
            m_held = m_comm->open(LineAddress::device(device), LineSpeed::Baud19200);
            break;
        case LockFileOnly: // a program that only writes a lock file
            m_port = std::make_unique<QSerialPort>(device);
            m_held = m_port->open(QIODevice::ReadWrite) && ::ioctl(int(m_port->handle()), TIOCNXCL) == 0;
            break;
        case FlockOnly: // as terminal programs that flock() the device
            m_fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            m_held = m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
            break;
        case ExclusiveModeOnly: // as programs that only set TIOCEXCL
            m_fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            m_held = m_fd >= 0 && ::ioctl(m_fd, TIOCEXCL) == 0;
            break;
        }
    }
    ~Holder() { release(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool held() const { return m_held; }
    void release()
    {
        m_comm.reset();
        m_port.reset();
        if (m_fd >= 0) {
            // Exclusive mode belongs to the device and would outlive this
            // descriptor while the test's own end keeps the device open.
            ::ioctl(m_fd, TIOCNXCL);
            ::close(m_fd);
        }
        m_fd = -1;
    }
    QtSerialLine* comm() const { return m_comm.get(); }

private:
    bool m_held = false;
    int m_fd = -1;
    std::unique_ptr<QtSerialLine> m_comm;
    std::unique_ptr<QSerialPort> m_port;
};

} // namespace

Q_DECLARE_METATYPE(Holder::Kind)

// Faults of a real line on a pseudo-terminal: the far end lost mid-session
// and coming back, frames cut off, and a device another program holds.
class PtyFaultsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sessionSurvivesLosingTheFarEnd()
    {
        PtyPair pty(PtyPair::StableName);
        QVERIFY(pty.isValid());
        LinePanel p(pty.devicePath());
        p.form.start();
        QVERIFY2(p.comm.isOpen(), qPrintable(p.warnings.join(QLatin1Char('\n'))));
        QCOMPARE(pty.baudRate(), 19200);

        // The speed changes on the open line.
        p.choose("Option10");
        QVERIFY(p.comm.isOpen());
        QCOMPARE(pty.baudRate(), 9600);

        p.engine.replies().sendCode(QStringLiteral("CR0"));
        QCOMPARE(pty.read(4, Patience), QByteArray("CR0\r"));
        QVERIFY(pty.write("00\r"));
        QTRY_COMPARE_WITH_TIMEOUT(p.engine.replies().text(TrafficLine::Status), QStringLiteral(" Power ON"), Patience);
        p.clock.advance(1000); // the reply timeout and the clear delay run out
        QCOMPARE(p.engine.replies().text(TrafficLine::Status), QString());

        // The far end goes away mid-session.
        pty.hangUp();
        QTRY_COMPARE_WITH_TIMEOUT(p.warnings.size(), 1, Patience);
        QVERIFY2(p.warnings.at(0).contains(QLatin1String("disconnected")), qPrintable(p.warnings.at(0)));
        QVERIFY(!p.comm.isOpen());
        QCOMPARE(p.liveNotifiers(), 0);
        // Nothing keeps firing: further turns of the event loop bring no
        // more news.
        for (int i = 0; i < 100; ++i)
            QCoreApplication::processEvents();
        QCOMPARE(p.warnings.size(), 1);

        // Frames sent meanwhile are shown and told of no more.
        p.engine.replies().sendCode(QStringLiteral("C00"));
        QCOMPARE(p.engine.replies().text(TrafficLine::Transmit), QStringLiteral(" C 0 0 CR "));
        QCoreApplication::processEvents();
        QCOMPARE(p.warnings.size(), 1);

        // Choosing the port while the device is still missing is refused.
        p.choose("Option1");
        QCOMPARE(p.warnings.size(), 2);
        QVERIFY(!p.comm.isOpen());
        QVERIFY(p.frameShown());

        // The device comes back; choosing the port again opens it.
        QVERIFY(pty.reconnect());
        p.choose("Option1");
        QVERIFY2(p.comm.isOpen(), qPrintable(p.warnings.last()));
        QCOMPARE(p.warnings.size(), 2);
        QVERIFY(!p.frameShown());
        QCOMPARE(pty.baudRate(), 9600);

        p.engine.replies().sendCode(QStringLiteral("CR0"));
        QCOMPARE(pty.read(4, Patience), QByteArray("CR0\r"));
        QVERIFY(pty.write("00\r"));
        QTRY_COMPARE_WITH_TIMEOUT(p.engine.replies().text(TrafficLine::Status), QStringLiteral(" Power ON"), Patience);
    }

    // A frame the line had taken only in part when the device went away or
    // the port was closed is not finished in front of the next frame.
    void unwrittenRestOfAFrameIsDropped_data()
    {
        QTest::addColumn<bool>("lost");
        QTest::newRow("port closed and opened again") << false;
        QTest::newRow("device lost and back") << true;
    }

    void unwrittenRestOfAFrameIsDropped()
    {
        QFETCH(bool, lost);

        PtyPair pty(PtyPair::StableName);
        QVERIFY(pty.isValid());
        QtSerialLine comm;
        const LineAddress device = LineAddress::device(pty.devicePath());
        QVERIFY2(comm.open(device, LineSpeed::Baud19200), qPrintable(comm.lastError().text));
        QSignalSpy notified(&comm, &SerialLine::deviceLost);

        // Far more than a pseudo-terminal holds while nobody reads it.
        const QByteArray huge(4 << 20, 'A');
        QVERIFY(comm.write(QString::fromLatin1(huge)));
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();

        if (lost) {
            pty.hangUp();
            QTRY_VERIFY_WITH_TIMEOUT(!notified.isEmpty(), Patience);
            QVERIFY(!comm.isOpen());
            QVERIFY(pty.reconnect());
        } else {
            comm.close();
        }
        QVERIFY2(comm.open(device, LineSpeed::Baud19200), qPrintable(comm.lastError().text));
        QVERIFY(comm.write(QStringLiteral("C01\r")));

        const QByteArray got = pty.readUntil("C01\r", Patience);
        QVERIFY2(got.endsWith("C01\r"), qPrintable(QString::number(got.size())));
        QVERIFY2(got.count('A') < huge.size(), "the rest of the cut-off frame went out after all");
    }

    // Bytes that reach the device while the port is closed (a reply that
    // was late for the previous opening) are not taken for a reply to the
    // first frame of the next.
    void bytesReceivedWhileClosedAreDropped()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        QtSerialLine comm;
        const LineAddress device = LineAddress::device(pty.devicePath());
        QVERIFY2(comm.open(device, LineSpeed::Baud19200), qPrintable(comm.lastError().text));
        comm.close();
        QVERIFY(pty.write("STALE"));
        QVERIFY2(comm.open(device, LineSpeed::Baud19200), qPrintable(comm.lastError().text));

        QSignalSpy notified(&comm, &SerialLine::received);
        QVERIFY(pty.write("00\r"));
        QString received;
        QDeadlineTimer deadline(Patience);
        while (!received.endsWith(QLatin1String("\r")) && !deadline.hasExpired()) {
            if (notified.isEmpty() && !notified.wait(100))
                continue;
            notified.clear();
            received += comm.readAll();
        }
        QCOMPARE(received, QStringLiteral("00\r"));
    }

    // A far end that stops reading fills the line's queue; that is no
    // fault. Frames sent meanwhile wait their turn and all go out, in order,
    // once it reads again.
    void fullOutputQueueIsNoFault()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        QtSerialLine comm;
        const LineAddress device = LineAddress::device(pty.devicePath());
        QVERIFY2(comm.open(device, LineSpeed::Baud19200), qPrintable(comm.lastError().text));
        QSignalSpy lost(&comm, &SerialLine::deviceLost);
        QSignalSpy failed(&comm, &SerialLine::writeFailed);

        // Several times what a pseudo-terminal holds while nobody reads it.
        QByteArray sent;
        for (int i = 0; i < 40000; ++i) {
            const QByteArray frame = "C" + QByteArray::number(i % 1000) + "\r";
            QVERIFY(comm.write(QString::fromLatin1(frame)));
            sent += frame;
            if (i % 100 == 0)
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        QVERIFY(lost.isEmpty() && failed.isEmpty());
        QVERIFY(comm.isOpen());

        const QByteArray got = pty.read(int(sent.size()), Patience * 4);
        QCOMPARE(got.size(), sent.size());
        QVERIFY(got == sent);
        QVERIFY2(lost.isEmpty() && failed.isEmpty(), qPrintable(comm.lastError().text));
    }

    void deviceHeldElsewhereIsRefusedAsInUse_data()
    {
        QTest::addColumn<Holder::Kind>("holder");
        QTest::newRow("another opener in this program") << Holder::ThisProgram;
        QTest::newRow("a lock file") << Holder::LockFileOnly;
        QTest::newRow("an flock()") << Holder::FlockOnly;
        QTest::newRow("exclusive mode") << Holder::ExclusiveModeOnly;
    }

    void deviceHeldElsewhereIsRefusedAsInUse()
    {
        QFETCH(Holder::Kind, holder);

        PtyPair pty;
        QVERIFY(pty.isValid());
        Holder other(holder, pty.devicePath());
        QVERIFY(other.held());

        QtSerialLine comm;
        const LineAddress device = LineAddress::device(pty.devicePath());
        QVERIFY(!comm.open(device, LineSpeed::Baud19200));
        QVERIFY(!comm.isOpen());
        QCOMPARE(comm.lastError().kind, LineErrorKind::InUse);
        QCOMPARE(comm.lastError().text, pty.devicePath() + QStringLiteral(" is in use by another program"));

        // The holder's line is undisturbed.
        if (QtSerialLine* first = other.comm()) {
            QVERIFY(first->isOpen());
            QVERIFY(first->write(QStringLiteral("C00\r")));
            QCOMPARE(pty.read(4, Patience), QByteArray("C00\r"));
        }

        other.release();
        QVERIFY2(comm.open(device, LineSpeed::Baud19200), qPrintable(comm.lastError().text));
    }
};

QTEST_MAIN(PtyFaultsTest)
#include "tst_pty_faults.moc"
