#pragma once

#include "engine/line/SerialLine.h"

#include <map>
#include <memory>

namespace orva {

// The line the programs open: each opening goes to the line of the kind its
// address asks for (a device, a network serial server; see lineKinds()),
// made at its first use and kept for the next; everything else goes to the
// line that was opened last.
class SwitchingLine final : public SerialLine
{
    Q_OBJECT
public:
    explicit SwitchingLine(QObject* parent = nullptr);
    ~SwitchingLine() override;

    [[nodiscard]] bool open(const LineAddress& address, LineSpeed speed) override;
    bool isOpen() const override { return m_active && m_active->isOpen(); }
    void close() override;

    bool setSpeed(LineSpeed speed) override;

    bool write(const QString& text) override;
    QString readAll() override { return m_active ? m_active->readAll() : QString(); }
    LineError lastError() const override { return m_error; }

private:
    SerialLine& lineFor(LineAddress::Kind kind);

    std::map<LineAddress::Kind, std::unique_ptr<SerialLine>> m_lines;
    SerialLine* m_active = nullptr;
    LineError m_error;
};

} // namespace orva
