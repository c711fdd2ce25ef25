#include "hub/HttpSession.h"

#include "hub/PeerName.h"

namespace orva::hub {

HttpSession::HttpSession(HttpApi& api, Clock& clock, const HubLog& log, Projector::Requester requester, QString peer,
    Write write, Close close, QObject* parent)
    : QObject(parent)
    , m_api(api)
    , m_log(log)
    , m_requester(requester)
    , m_peer(std::move(peer))
    , m_write(std::move(write))
    , m_close(std::move(close))
    , m_parser(HttpLimits{})
    , m_deadline(clock.createTimer(QStringLiteral("http deadline"), RequestMs))
    , m_keepAlive(clock.createTimer(QStringLiteral("http keep-alive"), KeepAliveMs))
{
    m_deadline->setHandler([this] { onDeadline(); });
    m_keepAlive->setHandler([this] { m_write(QByteArrayLiteral(": keep-alive\n\n")); });
    m_deadline->setEnabled(true);
}

HttpSession::~HttpSession()
{
    m_api.forget(m_requester);
}

void HttpSession::receive(QByteArrayView bytes)
{
    // A stream's client has nothing more to say; what it writes is dropped.
    if (m_closed || m_stream || bytes.isEmpty())
        return;
    m_parser.feed(bytes);
    if (!m_busy && !m_requestBegun) {
        m_requestBegun = true;
        m_deadline->setEnabled(false);
        m_deadline->setInterval(RequestMs);
        m_deadline->setEnabled(true);
    }
    if (!m_busy)
        next();
}

void HttpSession::finishInput()
{
    if (!m_busy)
        finish(QStringLiteral("closed by the client"), LogLevel::Debug);
}

void HttpSession::next()
{
    HttpRequest request;
    switch (m_parser.next(&request)) {
    case HttpRequestParser::State::NeedMore:
        return;
    case HttpRequestParser::State::Failed:
        fail(m_parser.failureStatus(), m_parser.failureReason());
        return;
    case HttpRequestParser::State::Complete:
        break;
    }
    m_busy = true;
    m_deadline->setEnabled(false);
    m_log.debug(QString(),
        QStringLiteral("%1: %2 %3")
            .arg(m_peer, QString::fromLatin1(request.method), QString::fromLatin1(request.target)));
    const bool keepAlive = request.keepAlive;
    const bool headOnly = request.method == "HEAD";
    QPointer<HttpSession> self(this);
    m_api.handle(request, m_requester, m_peer, [self, keepAlive, headOnly, request](const HttpApi::Answer& answer) {
        if (self)
            self->answered(answer, keepAlive, headOnly, request);
    });
}

void HttpSession::answered(const HttpApi::Answer& answer, bool keepAlive, bool headOnly, const HttpRequest& request)
{
    if (m_closed)
        return;
    if (answer.stream && (!m_streamAllowed || m_streamAllowed())) {
        startStream(answer.response, request);
        return;
    }
    HttpResponse response = answer.response;
    if (answer.stream) {
        m_log.refused({QString(), QStringLiteral("http ") + addressOfPeer(m_peer), QStringLiteral("requests"),
            QStringLiteral("too many event streams"),
            QStringLiteral("%1: refused an event stream: too many open").arg(m_peer)});
        response.status = 503;
        response.headers = {{"Content-Type", "application/json"}, {"Retry-After", "30"}};
        response.body = "{\"error\":\"too many event streams\"}\n";
    }
    response.headers.append(std::pair<QByteArray, QByteArray>("Date", m_api.httpDate()));
    m_write(renderResponse(response, keepAlive, headOnly));
    if (!keepAlive) {
        finish(QStringLiteral("closed after the response"), LogLevel::Debug);
        return;
    }
    m_busy = false;
    m_requestBegun = false;
    m_askedBefore = true;
    m_deadline->setInterval(IdleMs);
    m_deadline->setEnabled(true);
    // A request may wait in the parser already; it is begun.
    if (m_parser.buffered() > 0) {
        m_requestBegun = true;
        m_deadline->setInterval(RequestMs);
    }
    next();
    if (!m_busy && !m_closed && m_readyForMore)
        m_readyForMore();
}

void HttpSession::startStream(const HttpResponse& head, const HttpRequest& request)
{
    m_stream = true;
    m_streamRequest = request;
    HttpResponse withDate = head;
    withDate.headers.append(std::pair<QByteArray, QByteArray>("Date", m_api.httpDate()));
    QByteArray bytes = renderStreamHead(withDate);
    bytes += m_api.snapshotEvent();
    m_write(bytes);
    connect(&m_api, &HttpApi::published, this, [this](const QByteArray& event) {
        if (!m_closed)
            m_write(event);
    });
    // A reload that takes away what let the stream in (its token, or open
    // reads) ends it: the events are reads like any other.
    connect(&m_api, &HttpApi::accessChanged, this, [this] {
        if (!m_closed && !m_api.admitsStream(m_streamRequest))
            finish(QStringLiteral("closed: no longer admitted after a reload"), LogLevel::Info);
    });
    m_keepAlive->setEnabled(true);
    m_log.debug(QString(), QStringLiteral("%1: event stream opened").arg(m_peer));
}

void HttpSession::fail(int status, const QString& why)
{
    HttpResponse response;
    response.status = status;
    response.headers = {{"Content-Type", "text/plain; charset=utf-8"}, {"Cache-Control", "no-store"}};
    response.body = reasonPhrase(status) + '\n';
    m_write(renderResponse(response, false));
    // Logged here, per address and reason: a client may send garbage on
    // connection after connection.
    const QString text = QStringLiteral("refused: %1 %2").arg(status).arg(why);
    m_log.refused({QString(), QStringLiteral("http ") + addressOfPeer(m_peer), QStringLiteral("requests"),
        QStringLiteral("%1 %2").arg(status).arg(why), m_peer + QStringLiteral(": ") + text});
    finish(text, LogLevel::Debug);
}

void HttpSession::onDeadline()
{
    if (m_busy || m_stream)
        return;
    if (m_requestBegun) {
        fail(408, QStringLiteral("the request did not arrive within %1 s").arg(RequestMs / 1000));
        return;
    }
    if (!m_askedBefore)
        finish(QStringLiteral("closed: nothing asked within %1 s").arg(RequestMs / 1000), LogLevel::Debug);
    else
        finish(QStringLiteral("closed: idle for %1 s").arg(IdleMs / 1000), LogLevel::Debug);
}

void HttpSession::finish(const QString& why, LogLevel level)
{
    if (m_closed)
        return;
    m_closed = true;
    m_deadline->setEnabled(false);
    m_keepAlive->setEnabled(false);
    m_api.forget(m_requester);
    m_close(why, level);
}

} // namespace orva::hub
