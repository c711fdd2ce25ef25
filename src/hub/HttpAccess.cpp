#include "hub/HttpAccess.h"

#include "hub/GuessGuard.h"
#include "hub/PeerName.h"
#include "hub/SecretCompare.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QUrl>

namespace orva::hub {

namespace {

QByteArray hashOf(const QString& token)
{
    return QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256);
}

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

} // namespace

HttpAccess::HttpAccess(const std::optional<QString>& token, GuessGuard& guard, const HubLog& log)
    : m_tokenHash(token ? hashOf(*token) : QByteArray())
    , m_guard(guard)
    , m_log(log)
{
}

void HttpAccess::setToken(const std::optional<QString>& token)
{
    m_tokenHash = token ? hashOf(*token) : QByteArray();
}

void HttpAccess::logRefusal(
    const HttpRequest& request, const QString& peer, const QString& reason, const QString& text) const
{
    m_log.refused({QString(), QStringLiteral("http ") + addressOfPeer(peer), QStringLiteral("requests"), reason,
        QStringLiteral("%1: refused %2: %3").arg(peer, QString::fromLatin1(request.target), text)});
}

bool HttpAccess::tokenMatches(const HttpRequest& request) const
{
    // "Bearer TOKEN", the scheme's name in any case (RFC 9110, 11.1).
    const QByteArray given = request.header("authorization").trimmed();
    const qsizetype space = given.indexOf(' ');
    if (space < 0 || given.first(space).compare("bearer", Qt::CaseInsensitive) != 0)
        return false;
    // Compared as digests, in time that depends neither on where they
    // differ nor on the token's length.
    return digestsMatch(hashOf(QString::fromLatin1(given.mid(space + 1).trimmed())), m_tokenHash);
}

std::optional<HttpAccess::Refusal> HttpAccess::refuseAny(const HttpRequest& request, const QString& peer) const
{
    if (!m_tokenHash.isEmpty() || askedAsLocal(request))
        return std::nullopt;
    logRefusal(request, peer, QStringLiteral("no token, and not asked by a loopback name"),
        QStringLiteral("no token, and asked as %1").arg(QString::fromLatin1(request.header("host"))));
    return Refusal{
        403, QStringLiteral("without http-token the hub answers only when asked as 127.0.0.1, [::1] or localhost"), {}};
}

std::optional<HttpAccess::Refusal> HttpAccess::refuseAction(const HttpRequest& request, const QString& peer)
{
    if (fromAnotherSite(request)) {
        logRefusal(request, peer, QStringLiteral("sent from another site"),
            QStringLiteral("sent from another site (%1)").arg(QString::fromLatin1(request.header("origin"))));
        return Refusal{403, QStringLiteral("requests from other sites are refused"), {}};
    }
    if (m_tokenHash.isEmpty())
        return std::nullopt;
    const QString address = addressOfPeer(peer);
    if (const std::int64_t leftMs = m_guard.penaltyLeftMs(address); leftMs > 0) {
        logRefusal(request, peer, QStringLiteral("too many wrong tokens"), QStringLiteral("too many wrong tokens"));
        return Refusal{429, QStringLiteral("too many wrong tokens from this address; try again later"),
            {{"Retry-After", QByteArray::number((leftMs + 999) / 1000)}}};
    }
    if (tokenMatches(request)) {
        m_guard.succeeded(address);
        return std::nullopt;
    }
    // Only a token given counts as a guess; a client that sends none
    // learns nothing.
    const bool given = !request.header("authorization").isEmpty();
    if (given)
        m_guard.failed(address);
    const QString why = given ? QStringLiteral("wrong token") : QStringLiteral("no token");
    logRefusal(request, peer, why, why);
    return Refusal{
        401, QStringLiteral("a valid bearer token is needed"), {{"WWW-Authenticate", "Bearer realm=\"orva-hub\""}}};
}

} // namespace orva::hub
