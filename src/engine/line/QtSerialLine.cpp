#include "engine/line/QtSerialLine.h"

#include "engine/line/FileNames.h"

#include <cstdlib>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace orva {

namespace {

LineError inUse(const QString& device)
{
    return {LineErrorKind::InUse, QStringLiteral("%1 is in use by another program").arg(device)};
}

// The kind of a failed opening, by what QSerialPort found.
LineErrorKind openingKind(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return LineErrorKind::NoSuchDevice;
    case QSerialPort::PermissionError:
        return LineErrorKind::PermissionDenied;
    default:
        return LineErrorKind::Other;
    }
}

#ifdef Q_OS_UNIX
// Opens the device on the side, just before QSerialPort does, to learn what
// a plain opening meets: a device busy in another program's exclusive mode
// (TIOCEXCL) turns everybody but root away, and root gets in, so it has to
// ask the device. The descriptor is kept until QSerialPort holds the device
// too, so that closing it is not the last close, which would hang up the
// line.
class DeviceProbe
{
public:
    explicit DeviceProbe(const QString& device)
        : m_fd(::open(fileNameBytes(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
        , m_errno(m_fd < 0 ? errno : 0)
    {
#ifdef TIOCGEXCL
        int exclusive = 0;
        m_exclusive = m_fd >= 0 && ::ioctl(m_fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
#endif
    }
    ~DeviceProbe()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    DeviceProbe(const DeviceProbe&) = delete;
    DeviceProbe& operator=(const DeviceProbe&) = delete;

    bool opened() const
    {
        return m_fd >= 0;
    }
    int descriptor() const
    {
        return m_fd;
    }
    // Another program holds the device in exclusive mode.
    bool heldExclusively() const
    {
        return m_exclusive || m_errno == EBUSY;
    }

private:
    int m_fd;
    int m_errno;
    bool m_exclusive = false;
};

// A device whose line is hung up is gone: the kernel hangs up the tty of an
// unplugged adapter, and a pseudo-terminal's when its far end closes.
bool hungUp(int fd)
{
    pollfd pfd{fd, POLLIN, 0};
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Whether a write to the device would take bytes without waiting. A full
// output queue (a slow line, a far end that does not read) is no fault: the
// bytes wait in QSerialPort until the device has room.
bool hasRoom(int fd)
{
    pollfd pfd{fd, POLLOUT, 0};
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLOUT) != 0;
}

// The name QSerialPort is given for a device. QSerialPort turns names into
// bytes as UTF-8, so a name holding bytes that are not UTF-8 would open
// something else: such a device is named by its real path when that one is
// UTF-8 (a link with an odd name to /dev/ttyUSB0), or else by the probe's
// descriptor under /proc, which opens the same device.
QString serialPortName(const QString& device, const DeviceProbe& probe)
{
    if (!holdsForeignBytes(device))
        return device;
    if (char* real = ::realpath(fileNameBytes(device).constData(), nullptr)) {
        QString resolved = fileNameFromBytes(QByteArray(real));
        std::free(real); // NOLINT(cppcoreguidelines-no-malloc): realpath's own buffer
        if (!holdsForeignBytes(resolved))
            return resolved;
    }
    return probe.opened() ? QStringLiteral("/proc/self/fd/%1").arg(probe.descriptor()) : device;
}
#endif

} // namespace

QtSerialLine::QtSerialLine(QObject* parent)
    : SerialLine(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLine::received);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialLine::onError);
}

QtSerialLine::~QtSerialLine()
{
    if (m_port.isOpen())
        m_port.close();
}

bool QtSerialLine::setSpeed(LineSpeed speed)
{
    if (m_port.isOpen() && !m_port.setBaudRate(baudRate(speed))) {
        // A device found gone on the way is told of on its own.
        if (!m_port.isOpen())
            return true;
        m_error = {LineErrorKind::Other, m_port.errorString()};
        m_port.clearError();
        return false;
    }
    return true;
}

void QtSerialLine::close()
{
    if (m_port.isOpen())
        m_port.close();
}

bool QtSerialLine::open(const LineAddress& address, LineSpeed speed)
{
    if (m_port.isOpen())
        return true;
    const QString& path = address.path;
    m_port.setBaudRate(baudRate(speed));
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);

#ifdef Q_OS_UNIX
    const DeviceProbe probe(path);
    if (probe.heldExclusively()) {
        m_error = inUse(path);
        return false;
    }
    m_port.setPortName(serialPortName(path, probe));
#else
    m_port.setPortName(path);
#endif
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = {openingKind(m_port.error()), QStringLiteral("%1: %2").arg(path, m_port.errorString())};
#ifdef Q_OS_UNIX
        // The device itself let us in, so what refused us was the lock file
        // of another program.
        if (probe.opened() && m_port.error() == QSerialPort::PermissionError)
            m_error = inUse(path);
#endif
        m_port.clearError();
        return false;
    }
#ifdef Q_OS_UNIX
    if (::flock(m_port.handle(), LOCK_EX | LOCK_NB) != 0) {
        m_port.close();
        m_error = inUse(path);
        return false;
    }
#endif
    // Nothing of an earlier opening reaches this one: bytes that came in
    // while the port was closed (a reply too late for the last frame) would
    // be taken for the reply to the next frame, and the unwritten rest of a
    // frame cut off by a fault must not go out in front of the next one.
    m_port.clear(QSerialPort::AllDirections);
    m_port.clearError();
    m_openPath = path;
    return true;
}

bool QtSerialLine::write(const QString& text)
{
    if (!m_port.isOpen()) {
        m_error = {LineErrorKind::WriteFailed, QStringLiteral("Port is not open")};
        return false;
    }
    const QByteArray bytes = toLineBytes(text);
    if (m_port.write(bytes) != bytes.size()) {
        m_error = {LineErrorKind::WriteFailed, m_port.errorString()};
        m_port.clearError();
        return false;
    }
    // QSerialPort would only buffer the frame and write it at the next turn
    // of the event loop; a held button's repeat is paced by its timer, so the
    // frame goes to the device now when it has room. Whatever the device does
    // not take at once follows from the event loop. A fault of this write
    // comes back through onError() like any other: a lost device closes the
    // port, a failed write is reported once the send is complete.
#ifdef Q_OS_UNIX
    if (hasRoom(int(m_port.handle())))
        m_port.flush();
#else
    m_port.flush();
#endif
    return true;
}

QString QtSerialLine::readAll()
{
    if (!m_port.isOpen())
        return QString();
    return fromLineBytes(m_port.readAll());
}

void QtSerialLine::onError(QSerialPort::SerialPortError error)
{
    if (!m_port.isOpen())
        return;
    switch (error) {
    case QSerialPort::ResourceError: // the device went away under an I/O call
    case QSerialPort::ReadError:     // a read found the line hung up, or failed
        loseDevice();
        return;
    case QSerialPort::WriteError: {
#ifdef Q_OS_UNIX
        if (hungUp(int(m_port.handle()))) {
            loseDevice();
            return;
        }
#endif
        // The device is still there. QSerialPort keeps the failed bytes and
        // would retry them at every turn of the event loop; drop them, so
        // that a frame cut off here is not finished in front of the next.
        const LineError failure{LineErrorKind::WriteFailed,
            QStringLiteral("Could not write to %1: %2").arg(m_openPath, m_port.errorString())};
        m_port.clearError();
        m_port.clear(QSerialPort::Output);
        // Told from the event loop, once the call in progress has returned.
        QMetaObject::invokeMethod(
            this, [this, failure] { Q_EMIT writeFailed(failure); }, Qt::QueuedConnection);
        return;
    }
    default:
        return;
    }
}

void QtSerialLine::loseDevice()
{
    QString description = QStringLiteral("%1 stopped working: %2").arg(m_openPath, m_port.errorString());
#ifdef Q_OS_UNIX
    // A read of a hung-up line returns nothing and leaves no error number of
    // its own, so QSerialPort's text would be meaningless then.
    if (hungUp(int(m_port.handle())))
        description = QStringLiteral("%1 was disconnected").arg(m_openPath);
#endif
    m_port.clearError();
    m_port.close();
    m_error = {LineErrorKind::Lost, description};
    QMetaObject::invokeMethod(
        this, [this, lost = m_error] { Q_EMIT deviceLost(lost); }, Qt::QueuedConnection);
}

} // namespace orva
