#include "FakeSerialComm.h"

namespace orva {

void FakeSerialComm::setCommPort(int port)
{
    m_commPort = port;
    m_log.append(QStringLiteral("port %1").arg(port));
}

bool FakeSerialComm::setSettings(const QString& settings)
{
    m_log.append(QStringLiteral("settings %1").arg(settings));
    if (baudRateOf(settings) == 0) {
        m_error = QStringLiteral("Invalid line settings: %1").arg(settings);
        return false;
    }
    m_settings = settings;
    return true;
}

bool FakeSerialComm::setPortOpen(bool open)
{
    if (!open) {
        m_log.append(QStringLiteral("close"));
        m_open = false;
        return true;
    }
    if (m_open)
        return true;
    if (m_openFailures.contains(m_commPort)) {
        m_error = m_openFailures.value(m_commPort);
        m_log.append(QStringLiteral("open %1 failed").arg(m_commPort));
        return false;
    }
    m_open = true;
    m_log.append(QStringLiteral("open %1").arg(m_commPort));
    return true;
}

bool FakeSerialComm::output(const QString& text)
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

QString FakeSerialComm::input()
{
    QString text = fromLineBytes(m_pending);
    m_pending.clear();
    return text;
}

void FakeSerialComm::receive(const QByteArray& chunk)
{
    m_pending.append(chunk);
    raiseEvent(EventReceive);
}

void FakeSerialComm::raiseEvent(int event)
{
    m_event = event;
    Q_EMIT onComm();
}

void FakeSerialComm::loseDevice(const QString& description)
{
    m_open = false;
    m_error = description;
    m_log.append(QStringLiteral("lost"));
    raiseEvent(EventDeviceLost);
}

void FakeSerialComm::setWritesFail(bool fail, const QString& description, int bytesThrough)
{
    m_writesFail = fail;
    m_writeError = description;
    m_bytesThrough = bytesThrough;
}

void FakeSerialComm::failAcceptedWrite(const QString& description)
{
    m_error = description;
    raiseEvent(EventWriteFailed);
}

QByteArray FakeSerialComm::written() const
{
    QByteArray all;
    for (const Write& w : m_writes)
        all.append(w.bytes);
    return all;
}

} // namespace orva
