#include "link/QtSerialComm.h"

namespace orva {

QtSerialComm::QtSerialComm(PortNames names, QObject* parent)
    : SerialComm(parent)
    , m_names(std::move(names))
{
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialComm::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialComm::onError);
}

QtSerialComm::~QtSerialComm()
{
    if (m_port.isOpen())
        m_port.close();
}

bool QtSerialComm::setSettings(const QString& settings)
{
    const int baud = baudRateOf(settings);
    if (baud == 0) {
        m_error = QStringLiteral("Invalid line settings: %1").arg(settings);
        return false;
    }
    m_settings = settings;
    if (m_port.isOpen() && !m_port.setBaudRate(baud)) {
        m_error = m_port.errorString();
        return false;
    }
    return true;
}

bool QtSerialComm::setPortOpen(bool open)
{
    if (!open) {
        if (m_port.isOpen())
            m_port.close();
        return true;
    }
    if (m_port.isOpen())
        return true;

    m_port.setPortName(m_names.device(m_commPort));
    m_port.setBaudRate(baudRateOf(m_settings) ? baudRateOf(m_settings) : 9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = m_port.errorString();
        m_port.clearError();
        return false;
    }
    return true;
}

bool QtSerialComm::output(const QString& text)
{
    if (!m_port.isOpen()) {
        m_error = QStringLiteral("Port is not open");
        return false;
    }
    const QByteArray bytes = toLineBytes(text);
    if (m_port.write(bytes) != bytes.size()) {
        m_error = m_port.errorString();
        return false;
    }
    return true;
}

QString QtSerialComm::input()
{
    return fromLineBytes(m_port.readAll());
}

void QtSerialComm::onReadyRead()
{
    m_event = EventReceive;
    Q_EMIT onComm();
}

void QtSerialComm::onError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError || !m_port.isOpen())
        return;
    // The device went away under us. Close it (a dead descriptor would keep
    // the event loop busy) and tell the window once.
    m_error = m_port.errorString();
    m_port.clearError();
    m_port.close();
    m_event = EventDeviceLost;
    Q_EMIT onComm();
}

} // namespace orva
