#pragma once

#include "link/SerialComm.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace orva {

// A serial line for tests: records every byte written and every operation,
// lets a test inject received chunks and events, and can make an opening
// fail with a given description. Notifications are raised synchronously.
class FakeSerialComm final : public SerialComm
{
    Q_OBJECT
public:
    struct Write
    {
        std::int64_t at; // time of the write, from the time source
        QByteArray bytes;
    };

    using SerialComm::SerialComm;

    void setCommPort(int port) override;
    int commPort() const override { return m_commPort; }
    bool setSettings(const QString& settings) override;
    QString settings() const override { return m_settings; }
    bool portOpen() const override { return m_open; }
    [[nodiscard]] bool setPortOpen(bool open) override;
    bool output(const QString& text) override;
    QString input() override;
    int commEvent() const override { return m_event; }
    QString errorString() const override { return m_error; }

    // --- test controls ---
    // Where write times come from (the virtual clock); 0 without one.
    void setTimeSource(std::function<std::int64_t()> now) { m_now = std::move(now); }
    // Openings of this port number fail with this description until cleared.
    void failOpening(int port, const QString& description) { m_openFailures.insert(port, description); }
    void clearOpeningFailure(int port) { m_openFailures.remove(port); }
    // Characters arrive: one notification with event 2.
    void receive(const QByteArray& chunk);
    void receive(const char* chunk) { receive(QByteArray(chunk)); }
    // Any other notification.
    void raiseEvent(int event);
    // The device goes away while open: port closed, one EventDeviceLost.
    void loseDevice(const QString& description);
    // Writes fail while set: the first bytesThrough bytes of each text reach
    // the line (a partial write), the rest is lost, output() returns false.
    void setWritesFail(
        bool fail, const QString& description = QStringLiteral("Input/output error"), int bytesThrough = 0);
    // A write accepted earlier fails now: one EventWriteFailed notification.
    void failAcceptedWrite(const QString& description);

    QByteArray written() const;
    const QList<Write>& writes() const { return m_writes; }
    void clearWritten() { m_writes.clear(); }
    // Operations in order: "port 2", "settings 9600,N,8,1", "open 2", "open 2 failed", "close".
    const QStringList& log() const { return m_log; }
    void clearLog() { m_log.clear(); }

private:
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    bool m_open = false;
    int m_event = EventNone;
    QString m_error;
    QByteArray m_pending;
    QList<Write> m_writes;
    QStringList m_log;
    QHash<int, QString> m_openFailures;
    bool m_writesFail = false;
    int m_bytesThrough = 0;
    QString m_writeError;
    std::function<std::int64_t()> m_now;
};

} // namespace orva
