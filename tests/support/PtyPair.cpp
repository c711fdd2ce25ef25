#include "PtyPair.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace orva {

PtyPair::PtyPair(Naming naming)
{
    if (naming == StableName) {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid())
            return;
        m_link = m_dir->filePath(QStringLiteral("ttyORVA"));
    }
    open();
}

PtyPair::~PtyPair()
{
    hangUp();
}

bool PtyPair::open()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return false;
    }
    // Raw on the far side too, so bytes pass unchanged both ways.
    termios tio{};
    if (::tcgetattr(m_master, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_master, TCSANOW, &tio);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_path = QString::fromLocal8Bit(name);
    if (m_link.isEmpty())
        return true;
    // Point the stable name at the new device in one step.
    const QByteArray link = QFile::encodeName(m_link);
    const QByteArray next = link + ".next";
    ::unlink(next.constData());
    if (::symlink(name, next.constData()) != 0 || std::rename(next.constData(), link.constData()) != 0) {
        hangUp();
        return false;
    }
    return true;
}

bool PtyPair::write(const QByteArray& bytes)
{
    if (m_master < 0)
        return false;
    return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray PtyPair::read(int minBytes, int timeoutMs)
{
    return readWhile([minBytes](const QByteArray& got) { return got.size() < minBytes; }, timeoutMs);
}

QByteArray PtyPair::readUntil(const QByteArray& tail, int timeoutMs)
{
    return readWhile([&tail](const QByteArray& got) { return !got.endsWith(tail); }, timeoutMs);
}

int PtyPair::baudRate() const
{
    // The master answers for the terminal settings of the panel's side.
    termios tio{};
    if (m_master < 0 || ::tcgetattr(m_master, &tio) != 0)
        return 0;
    switch (::cfgetospeed(&tio)) {
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    default:
        return 0;
    }
}

QByteArray PtyPair::readWhile(const std::function<bool(const QByteArray&)>& more, int timeoutMs)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (m_master >= 0 && more(got) && !deadline.hasExpired()) {
        // Keep the panel's event loop turning while we wait.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        pollfd pfd{m_master, POLLIN, 0};
        if (::poll(&pfd, 1, 10) > 0 && (pfd.revents & POLLIN)) {
            char buf[4096];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
        }
    }
    return got;
}

void PtyPair::hangUp()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
}

bool PtyPair::reconnect()
{
    hangUp();
    return open();
}

} // namespace orva
