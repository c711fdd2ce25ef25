#pragma once

#include "engine/PortNames.h"
#include "engine/line/SerialLine.h"
#include "engine/timing/IntervalTimer.h"

#include <QObject>

#include <memory>

namespace orva {

// Choice of port (COM1, COM2) and line speed (19200, 9600 baud) in the small
// settings frame that "COM" pops up, the opening of the line at start, and
// what the operator is told when the line fails. Every choice takes effect
// at once. It owns the lines behind COM1 and COM2 (PortNames) and the choice
// between them, the line's speed, the settings frame's visibility and the
// timer that hides the frame again 5 s after "COM"; the line itself only
// opens the address it is given.
//
// Failures are told through warning(), emitted synchronously: a receiver may
// show a modal box, and the choice carries on once it returns.
class PortSelection : public QObject
{
    Q_OBJECT
public:
    static constexpr int SettingsFrameTimeout = 5000;

    PortSelection(SerialLine& line, Clock& clock, PortNames names, QObject* parent = nullptr);
    ~PortSelection() override;

    // Start: COM1 at 19200 baud, opened. A port that cannot be opened is told
    // once and the program carries on with the line closed. COM1 is then
    // chosen as by the operator, which opens the line once more; a line
    // left closed by the failure stays closed.
    void start();

    // "COM": shows the settings frame; it hides itself 5 s later.
    void showSettings();
    // A port option: the line is closed and opened again on the port's
    // address. When that fails the operator is told, the line stays
    // closed, and the settings frame stays up. A choice made
    // while the line is closed (after a failed switch or a lost device)
    // opens the chosen port, so that the operator can recover.
    void choosePort(Port port);
    // A speed option: applies at once; the line stays open.
    void chooseSpeed(LineSpeed speed);
    // Starts the hiding of the settings frame anew, from now.
    void restartSettingsTimer();
    // Stops the settings timer for good.
    void stop();

    // A fault of the open line. The operator is told once the handler in
    // progress has finished, never in the middle of a send: of a lost device
    // once (the line is closed now, and choosing a port opens it again); of
    // frames that could not be written once per opening, so that a button
    // held down over a failing line does not raise a box for every frame.
    void onDeviceLost(const LineError& error);
    void onWriteFailed(const LineError& error);
    // An opening that needs time (a network connection) failed after the
    // choice had returned: told like a failed opening, once; the line is
    // closed, and choosing a port opens it again.
    void onOpenFailed(const LineError& error);
    // The far end carries the data but does not take the line settings:
    // told once per opening; the line stays open.
    void onSettingsRefused(const QString& description);

    LineSpeed speed() const { return m_speed; }
    // The lines behind COM1 and COM2.
    const PortNames& names() const { return m_names; }

Q_SIGNALS:
    void settingsFrameVisibleChanged(bool visible);
    // What went wrong, for the operator: the text is shown as it stands.
    void warning(const orva::LineError& error);

private:
    void setSettingsFrameVisible(bool visible);
    void onSettingsTimeout();
    bool open(Port port);
    void opened();
    void warnLater(bool& told, const LineError& error);

    SerialLine& m_line;
    PortNames m_names;
    std::unique_ptr<IntervalTimer> m_settingsTimer;
    LineSpeed m_speed = LineSpeed::Baud19200;
    bool m_starting = false;
    // What has been told of the current opening.
    bool m_lossTold = false;
    bool m_writeFailureTold = false;
    bool m_openFailureTold = false;
    bool m_settingsRefusalTold = false;
    // Context of the warnings that wait for the handler in progress to end;
    // they are dropped with it.
    QObject m_later;
};

} // namespace orva
