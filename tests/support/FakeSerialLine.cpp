#include "FakeSerialLine.h"

namespace orva {

void FakeSerialLine::setPort(Port port)
{
    m_port = port;
    m_log.append(QStringLiteral("port %1").arg(int(port)));
}

bool FakeSerialLine::setSpeed(LineSpeed speed)
{
    m_log.append(QStringLiteral("speed %1").arg(baudRate(speed)));
    m_speed = speed;
    return true;
}

bool FakeSerialLine::open()
{
    if (m_open)
        return true;
    if (m_openFailures.contains(m_port)) {
        m_error = m_openFailures.value(m_port);
        m_log.append(QStringLiteral("open %1 failed").arg(int(m_port)));
        return false;
    }
    m_open = true;
    m_log.append(QStringLiteral("open %1").arg(int(m_port)));
    return true;
}

void FakeSerialLine::close()
{
    m_log.append(QStringLiteral("close"));
    m_open = false;
}

bool FakeSerialLine::write(const QString& text)
{
    if (!m_open) {
        m_error = QStringLiteral("Port is not open");
        return false;
    }
    if (m_writesFail) {
        const QByteArray through = toLineBytes(text).left(m_bytesThrough);
        if (!through.isEmpty())
            m_writes.append({m_now ? m_now() : 0, through});
        m_error = m_writeError;
        return false;
    }
    m_writes.append({m_now ? m_now() : 0, toLineBytes(text)});
    return true;
}

QString FakeSerialLine::readAll()
{
    QString text = fromLineBytes(m_pending);
    m_pending.clear();
    return text;
}

void FakeSerialLine::receive(const QByteArray& chunk)
{
    m_pending.append(chunk);
    Q_EMIT received();
}

void FakeSerialLine::loseDevice(const QString& description)
{
    m_open = false;
    m_error = description;
    m_log.append(QStringLiteral("lost"));
    Q_EMIT deviceLost(description);
}

void FakeSerialLine::failConnection(const QString& description)
{
    m_open = false;
    m_error = description;
    m_log.append(QStringLiteral("connection failed"));
    Q_EMIT openFailed(description);
}

void FakeSerialLine::setWritesFail(bool fail, const QString& description, int bytesThrough)
{
    m_writesFail = fail;
    m_writeError = description;
    m_bytesThrough = bytesThrough;
}

void FakeSerialLine::failAcceptedWrite(const QString& description)
{
    m_error = description;
    Q_EMIT writeFailed(description);
}

QByteArray FakeSerialLine::written() const
{
    QByteArray all;
    for (const Write& w : m_writes)
        all.append(w.bytes);
    return all;
}

} // namespace orva
