#include "FakeSerialLine.h"

namespace orva {

bool FakeSerialLine::setSpeed(LineSpeed speed)
{
    m_log.append(QStringLiteral("speed %1").arg(baudRate(speed)));
    m_speed = speed;
    return true;
}

bool FakeSerialLine::open(const LineAddress& address, LineSpeed speed)
{
    if (m_open)
        return true;
    if (m_openFailures.contains(address.text)) {
        m_error = m_openFailures.value(address.text);
        m_log.append(QStringLiteral("open %1 failed").arg(address.text));
        return false;
    }
    m_open = true;
    m_address = address.text;
    m_speed = speed;
    m_log.append(QStringLiteral("open %1 %2").arg(address.text).arg(baudRate(speed)));
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
        m_error = {LineErrorKind::WriteFailed, QStringLiteral("Port is not open")};
        return false;
    }
    if (m_writesFail) {
        const QByteArray through = toLineBytes(text).left(m_bytesThrough);
        if (!through.isEmpty())
            m_writes.append({m_now ? m_now() : 0, through});
        m_error = {LineErrorKind::WriteFailed, m_writeError};
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
    m_error = {LineErrorKind::Lost, description};
    m_log.append(QStringLiteral("lost"));
    Q_EMIT deviceLost(m_error);
}

void FakeSerialLine::failConnection(const QString& description)
{
    m_open = false;
    m_error = {LineErrorKind::ConnectionRefused, description};
    m_log.append(QStringLiteral("connection failed"));
    Q_EMIT openFailed(m_error);
}

void FakeSerialLine::setWritesFail(bool fail, const QString& description, int bytesThrough)
{
    m_writesFail = fail;
    m_writeError = description;
    m_bytesThrough = bytesThrough;
}

void FakeSerialLine::failAcceptedWrite(const QString& description)
{
    m_error = {LineErrorKind::WriteFailed, description};
    Q_EMIT writeFailed(m_error);
}

QByteArray FakeSerialLine::written() const
{
    QByteArray all;
    for (const Write& w : m_writes)
        all.append(w.bytes);
    return all;
}

} // namespace orva
