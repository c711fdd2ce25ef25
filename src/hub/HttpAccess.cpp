#include "hub/HttpAccess.h"

#include "hub/GuessGuard.h"
#include "hub/PeerName.h"
#include <QHostAddress>
#include <QUrl>

namespace orva::hub {

namespace {

// The Origin a browser sends, against the Host it asked: a page of another
// site may not make the operator's browser press a button.
bool fromAnotherSite(const HttpRequest& request)
{
    const QByteArray origin = request.header("origin");
    if (origin.isEmpty())
        return false;
    const QUrl url(QString::fromLatin1(origin));
    const QByteArray host = request.header("host");
    const QString authority = url.port() < 0 ? url.host() : QStringLiteral("%1:%2").arg(url.host()).arg(url.port());
    return !url.isValid() || host.isEmpty() || authority.compare(QString::fromLatin1(host), Qt::CaseInsensitive) != 0;
}

// Asked by a loopback address or "localhost" (Host), as a program or
// browser on the hub's own machine asks it. A web page that has its own
// name resolve to 127.0.0.1 (DNS rebinding) names itself instead: without a
// token, that is what keeps it from reading the state or pressing buttons.
bool askedAsLocal(const HttpRequest& request)
{
    QString host = QString::fromLatin1(request.header("host"));
    if (host.startsWith(QLatin1Char('['))) {
        host = host.mid(1, host.indexOf(QLatin1Char(']')) - 1);
    } else if (host.count(QLatin1Char(':')) == 1) {
        host.truncate(host.indexOf(QLatin1Char(':')));
    }
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

// The least role a route's need is met by.
TokenRole roleFor(HttpAccess::Needs needs)
{
    switch (needs) {
    case HttpAccess::Needs::Admin:
        return TokenRole::Admin;
    case HttpAccess::Needs::Operator:
        return TokenRole::Operator;
    default:
        return TokenRole::Viewer;
    }
}

HttpAccess::Refusal refusal(int status, const QString& error)
{
    return HttpAccess::Refusal{status, QJsonObject{{QStringLiteral("error"), error}}, {}};
}

} // namespace

HttpAccess::HttpAccess(GuessGuard& guard, const HubLog& log)
    : m_guard(guard)
    , m_log(log)
{
}

void HttpAccess::setTokens(HttpTokens tokens, HttpReads reads)
{
    m_tokens = std::move(tokens);
    m_reads = reads;
}

void HttpAccess::logRefusal(
    const HttpRequest& request, const QString& peer, const QString& reason, const QString& text) const
{
    m_log.refused({QString(), QStringLiteral("http ") + addressOfPeer(peer), QStringLiteral("requests"), reason,
        QStringLiteral("%1: refused %2: %3").arg(peer, QString::fromLatin1(request.target), text)});
}

std::optional<HttpTokens::Holder> HttpAccess::holderOf(const HttpRequest& request) const
{
    // "Bearer TOKEN", the scheme's name in any case (RFC 9110, 11.1).
    const QByteArray given = request.header("authorization").trimmed();
    const qsizetype space = given.indexOf(' ');
    if (space < 0 || given.first(space).compare("bearer", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return m_tokens.holderOf(given.mid(space + 1).trimmed());
}

std::optional<HttpAccess::Refusal> HttpAccess::refuseAny(const HttpRequest& request, const QString& peer) const
{
    if (!m_tokens.isEmpty() || askedAsLocal(request))
        return std::nullopt;
    logRefusal(request, peer, QStringLiteral("no token, and not asked by a loopback name"),
        QStringLiteral("no token, and asked as %1").arg(QString::fromLatin1(request.header("host"))));
    return refusal(
        403, QStringLiteral("a hub without tokens answers only when asked as 127.0.0.1, [::1] or localhost"));
}

std::variant<HttpAccess::Admitted, HttpAccess::Refusal> HttpAccess::admit(
    const HttpRequest& request, const QString& peer, Needs needs)
{
    const bool acts = needs == Needs::Operator || needs == Needs::Admin;
    if (acts && fromAnotherSite(request)) {
        logRefusal(request, peer, QStringLiteral("sent from another site"),
            QStringLiteral("sent from another site (%1)").arg(QString::fromLatin1(request.header("origin"))));
        return refusal(403, QStringLiteral("requests from other sites are refused"));
    }
    if (m_tokens.isEmpty())
        return Admitted{QStringLiteral("local")};
    if (needs == Needs::Nothing || (needs == Needs::Viewer && m_reads == HttpReads::Open))
        return Admitted{};
    const QString address = addressOfPeer(peer);
    if (const std::int64_t leftMs = m_guard.penaltyLeftMs(address); leftMs > 0) {
        logRefusal(request, peer, QStringLiteral("too many wrong tokens"), QStringLiteral("too many wrong tokens"));
        Refusal wait = refusal(429, QStringLiteral("too many wrong tokens from this address; try again later"));
        wait.headers = {{"Retry-After", QByteArray::number((leftMs + 999) / 1000)}};
        return wait;
    }
    const std::optional<HttpTokens::Holder> holder = holderOf(request);
    if (!holder) {
        // Only a token given counts as a guess; a client that sends none
        // learns nothing.
        const bool given = !request.header("authorization").isEmpty();
        if (given)
            m_guard.failed(address);
        const QString why = given ? QStringLiteral("wrong token") : QStringLiteral("no token");
        logRefusal(request, peer, why, why);
        Refusal unknown = refusal(401, QStringLiteral("a valid bearer token is needed"));
        unknown.headers = {{"WWW-Authenticate", "Bearer realm=\"orva-hub\""}};
        return unknown;
    }
    // A right token does not wipe the address's wrong ones: the holder of a
    // viewer's token could otherwise guess an admin's between two reads.
    // They pass with the guard's window instead.
    const TokenRole needed = roleFor(needs);
    if (holder->role < needed) {
        const QString role = QLatin1String(tokenRoleName(holder->role));
        const QString wanted = QLatin1String(tokenRoleName(needed));
        logRefusal(request, peer, QStringLiteral("a role that may not"),
            QStringLiteral("token \"%1\" has the role %2, this needs %3").arg(holder->name, role, wanted));
        Refusal mayNot = refusal(403,
            QStringLiteral("the token \"%1\" has the role %2; this needs %3 or more").arg(holder->name, role, wanted));
        mayNot.body.insert(QStringLiteral("token"), holder->name);
        mayNot.body.insert(QStringLiteral("role"), role);
        mayNot.body.insert(QStringLiteral("needs"), wanted);
        return mayNot;
    }
    return Admitted{holder->name};
}

bool HttpAccess::stillAdmits(const HttpRequest& request, Needs needs) const
{
    if (m_tokens.isEmpty())
        return askedAsLocal(request);
    if (needs == Needs::Nothing || (needs == Needs::Viewer && m_reads == HttpReads::Open))
        return true;
    const std::optional<HttpTokens::Holder> holder = holderOf(request);
    return holder && holder->role >= roleFor(needs);
}

} // namespace orva::hub
