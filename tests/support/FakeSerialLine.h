#pragma once

#include "engine/line/SerialLine.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace orva {

// A serial line for tests: records every byte written and every operation,
// lets a test inject received chunks and faults, and can make the opening of
// an address fail with a given error. Signals are emitted synchronously.
class FakeSerialLine final : public SerialLine
{
    Q_OBJECT
public:
    struct Write
    {
        std::int64_t at; // time of the write, from the time source
        QByteArray bytes;
    };

    using SerialLine::SerialLine;

    [[nodiscard]] bool open(const LineAddress& address, LineSpeed speed) override;
    bool isOpen() const override { return m_open; }
    void close() override;
    bool setSpeed(LineSpeed speed) override;
    bool write(const QString& text) override;
    QString readAll() override;
    LineError lastError() const override { return m_error; }

    // The speed of the open line (of the last opening and what followed).
    LineSpeed speed() const { return m_speed; }
    // The address the line is open on, as written; empty while closed.
    QString address() const { return m_open ? m_address : QString(); }

    // --- test controls ---
    // Where write times come from (the virtual clock); 0 without one.
    void setTimeSource(std::function<std::int64_t()> now) { m_now = std::move(now); }
    // Openings of this address fail with this error until cleared.
    void failOpening(
        const QString& address, const QString& description, LineErrorKind kind = LineErrorKind::NoSuchDevice)
    {
        m_openFailures.insert(address, {kind, description});
    }
    void clearOpeningFailure(const QString& address) { m_openFailures.remove(address); }
    // Characters arrive: one received() signal.
    void receive(const QByteArray& chunk);
    void receive(const char* chunk) { receive(QByteArray(chunk)); }
    // The device goes away while open: line closed, one deviceLost().
    void loseDevice(const QString& description);
    // An opening that returned true fails after all, as a network
    // connection does: line closed, one openFailed().
    void failConnection(const QString& description);
    // Writes fail while set: the first bytesThrough bytes of each text reach
    // the line (a partial write), the rest is lost, write() returns false.
    void setWritesFail(
        bool fail, const QString& description = QStringLiteral("Input/output error"), int bytesThrough = 0);
    // A write accepted earlier fails now: one writeFailed().
    void failAcceptedWrite(const QString& description);

    QByteArray written() const;
    const QList<Write>& writes() const { return m_writes; }
    void clearWritten() { m_writes.clear(); }
    // Operations in order: "open com2 19200", "open com2 failed", "speed 9600", "close".
    const QStringList& log() const { return m_log; }
    void clearLog() { m_log.clear(); }

private:
    LineSpeed m_speed = LineSpeed::Baud9600;
    bool m_open = false;
    QString m_address;
    LineError m_error;
    QByteArray m_pending;
    QList<Write> m_writes;
    QStringList m_log;
    QHash<QString, LineError> m_openFailures;
    bool m_writesFail = false;
    int m_bytesThrough = 0;
    QString m_writeError;
    std::function<std::int64_t()> m_now;
};

} // namespace orva
