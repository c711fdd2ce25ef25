#pragma once

#include <QObject>
#include <QString>

namespace orva {

// The three display lines of the data panel as plain values: the transmit
// line (Label11), the receive line (Label12) and the status line (Label22).
// Handlers write here; the window shows each change in its label.
class TrafficLines : public QObject
{
    Q_OBJECT
public:
    enum Line { TransmitLine, ReceiveLine, StatusLine };
    Q_ENUM(Line)

    using QObject::QObject;

    void setText(Line line, const QString& text);
    const QString& text(Line line) const { return m_text[line]; }

    void setTransmit(const QString& t) { setText(TransmitLine, t); }
    void setReceive(const QString& t) { setText(ReceiveLine, t); }
    void setStatus(const QString& t) { setText(StatusLine, t); }
    const QString& transmit() const { return m_text[TransmitLine]; }
    const QString& receive() const { return m_text[ReceiveLine]; }
    const QString& status() const { return m_text[StatusLine]; }

Q_SIGNALS:
    void changed(orva::TrafficLines::Line line, const QString& text);

private:
    QString m_text[3];
};

} // namespace orva
