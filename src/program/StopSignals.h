#pragma once

#include <QObject>

#include <csignal>
#include <initializer_list>
#include <memory>

class QSocketNotifier;

namespace orva {

// Turns the signals that ask a program to end (SIGTERM, SIGINT, SIGHUP by
// default) into a Qt signal on the event loop's thread, so that the program
// leaves its event loop the normal way and closes its lines. The handler
// only writes the signal's number to a pipe (async-signal-safe); the event
// loop reads it. A second of these signals, once one has been received,
// ends the process at once by the signal's default action: a shutdown that
// hangs is ended as the user asks.
//
// One instance at a time in a process; the dispositions it found are put
// back when it goes.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(
        std::initializer_list<int> signalNumbers = {SIGTERM, SIGINT, SIGHUP}, QObject* parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // "SIGTERM", "SIGINT", "SIGHUP", or "signal N".
    static QString name(int signalNumber);

Q_SIGNALS:
    // Once, for the first signal; the program should end now.
    void received(int signalNumber);

private:
    void onReadable();

    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_told = false;
};

} // namespace orva
