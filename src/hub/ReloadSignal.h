#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace orva::hub {

// Turns SIGHUP into a Qt signal on the event loop's thread: orva-hub reads
// its configuration again, as nginx and upsd do, instead of ending. The
// handler only writes to a pipe (async-signal-safe); hang-ups that come
// while one is being handled make one more reload, not one each.
//
// One instance at a time in a process; SIGHUP's disposition before it is
// put back when it goes. The signals that end the hub stay StopSignals'.
class ReloadSignal : public QObject
{
    Q_OBJECT
public:
    explicit ReloadSignal(QObject* parent = nullptr);
    ~ReloadSignal() override;
    ReloadSignal(const ReloadSignal&) = delete;
    ReloadSignal& operator=(const ReloadSignal&) = delete;

Q_SIGNALS:
    void received();

private:
    void onReadable();

    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace orva::hub
