#pragma once

#include "engine/timing/IntervalTimer.h"
#include "hub/HttpApi.h"
#include "hub/HttpMessage.h"
#include "hub/HubLog.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace orva::hub {

// One HTTP connection, without its socket: bytes in, bytes out through
// write, and close when it is over. Requests are answered one at a time in
// the order they came (pipelined ones wait in the parser).
//
// Time limits, on the hub's clock:
//  - RequestMs from a new connection to the first byte of its first
//    request, or IdleMs between requests: closed quietly;
//  - RequestMs from a request's first byte to its last: 408, closed (a
//    client that trickles its request a byte at a time holds its place no
//    longer);
//  - an event stream writes a comment every KeepAliveMs, so that proxies
//    and the browser see it alive.
// An event stream ends when a reload takes away the token it was opened
// with (HttpApi::admitsStream).
// A request that does not read as HTTP gets its status (400, 413, 431,
// 501, 505) and the connection closes; the hub goes on.
class HttpSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int IdleMs = 30'000;
    static constexpr int RequestMs = 5000;
    static constexpr int KeepAliveMs = 15'000;

    using Write = std::function<void(const QByteArray&)>;
    using Close = std::function<void(const QString& why, LogLevel level)>;

    HttpSession(HttpApi& api, Clock& clock, const HubLog& log, Projector::Requester requester, QString peer,
        Write write, Close close, QObject* parent = nullptr);
    ~HttpSession() override;

    void receive(QByteArrayView bytes);
    // The client sent its last byte: the connection closes once what it
    // asked is answered (an event stream at once).
    void finishInput();
    bool isStream() const { return m_stream; }
    // A request is being answered: the connection's next bytes may wait
    // where they are (in the system's buffer, which the client then feels).
    bool isBusy() const { return m_busy; }
    // Called when an answer is out and the next request may be read.
    void setReadyForMore(std::function<void()> ready) { m_readyForMore = std::move(ready); }
    // Asked before a request becomes an event stream; when it says no, the
    // request is answered 503.
    void setStreamAllowed(std::function<bool()> allowed) { m_streamAllowed = std::move(allowed); }

private:
    void next();
    void answered(const HttpApi::Answer& answer, bool keepAlive, bool headOnly, const HttpRequest& request);
    void startStream(const HttpResponse& head, const HttpRequest& request);
    void fail(int status, const QString& why);
    void finish(const QString& why, LogLevel level);
    void onDeadline();

    HttpApi& m_api;
    const HubLog& m_log;
    const Projector::Requester m_requester;
    const QString m_peer;
    Write m_write;
    Close m_close;
    std::function<bool()> m_streamAllowed;
    std::function<void()> m_readyForMore;
    HttpRequestParser m_parser;
    std::unique_ptr<IntervalTimer> m_deadline;
    std::unique_ptr<IntervalTimer> m_keepAlive;
    bool m_busy = false; // a request is being answered
    bool m_requestBegun = false;
    bool m_askedBefore = false; // a request was answered on this connection
    bool m_stream = false;
    HttpRequest m_streamRequest; // what opened the stream, asked again after a reload
    bool m_closed = false;
};

} // namespace orva::hub
