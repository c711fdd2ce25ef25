#pragma once

#include "engine/line/NetworkLine.h"
#include "engine/line/PortNames.h"
#include "engine/line/QtSerialLine.h"

namespace orva {

// The line behind the two port choices when each may be a serial device or
// a network serial server: at every opening it reads the chosen port's
// address (LineAddress) and opens the device line or the network line for
// it; everything else goes to the line that was opened last. A failed
// opening is described with the line as the operator wrote it.
class SwitchingLine final : public SerialLine
{
    Q_OBJECT
public:
    explicit SwitchingLine(const PortNames& names, QObject* parent = nullptr);

    void setPort(Port port) override;
    Port port() const override { return m_port; }

    bool setSpeed(LineSpeed speed) override;
    LineSpeed speed() const override { return m_speed; }

    bool isOpen() const override { return m_active->isOpen(); }
    [[nodiscard]] bool open() override;
    void close() override { m_active->close(); }

    bool write(const QString& text) override;
    QString readAll() override { return m_active->readAll(); }
    QString errorString() const override { return m_error; }

private:
    void forward(SerialLine& line);

    PortNames m_names;
    QtSerialLine m_device;
    NetworkLine m_network;
    SerialLine* m_active = &m_device;
    Port m_port = Port::Com1;
    LineSpeed m_speed = LineSpeed::Baud9600;
    QString m_error;
};

} // namespace orva
