#pragma once

#include "link/PortNames.h"
#include "link/SerialComm.h"

#include <QSerialPort>

namespace orva {

// The serial line on a real device, through QSerialPort. Received bytes
// raise one notification per batch, on the window thread. A device that
// goes away while open (an adapter pulled, the far end of a pseudo-terminal
// closed) closes the port and raises one EventDeviceLost notification.
class QtSerialComm final : public SerialComm
{
    Q_OBJECT
public:
    explicit QtSerialComm(PortNames names, QObject* parent = nullptr);
    ~QtSerialComm() override;

    void setCommPort(int port) override { m_commPort = port; }
    int commPort() const override { return m_commPort; }

    bool setSettings(const QString& settings) override;
    QString settings() const override { return m_settings; }

    bool portOpen() const override { return m_port.isOpen(); }
    [[nodiscard]] bool setPortOpen(bool open) override;

    bool output(const QString& text) override;
    QString input() override;
    int commEvent() const override { return m_event; }
    QString errorString() const override { return m_error; }

    const PortNames& names() const { return m_names; }

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

    PortNames m_names;
    QSerialPort m_port;
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_event = EventNone;
    QString m_error;
};

} // namespace orva
