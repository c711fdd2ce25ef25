#pragma once

#include "hub/HttpMessage.h"
#include "hub/HttpTokens.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace orva::hub {

class GuessGuard;

// Who may read and who may act through the HTTP door; each refusal is
// logged through the refusal log, per client address and reason.
//  - Without any token the hub is on loopback alone and answers nothing,
//    not even a read, unless asked by a loopback name (Host): a page whose
//    own name resolves to 127.0.0.1 (DNS rebinding) names itself instead.
//    Whoever asks so may do everything, as "local".
//  - With tokens, a request that needs one carries "Authorization: Bearer
//    TOKEN" (the scheme's name in any case); the token names its holder,
//    whose role must be at least what the request needs, else 403 with the
//    role and what was needed. Reads need a token only with http-reads =
//    "token". A token that is none of the hub's is 401 and counts against
//    the address in the guard (a right one forgets nothing); while the
//    address is in penalty a request needing a token is refused 429 with
//    Retry-After, nothing compared.
//  - An action a browser says comes from another site (Origin) is refused.
class HttpAccess
{
public:
    // What a route needs, besides a loopback name on a hub without tokens:
    // nothing more (the page and its files), or a token of at least this
    // role (Viewer: reads, which need one with http-reads = "token" alone).
    enum class Needs : quint8 {
        Nothing,
        Viewer,
        Operator,
        Admin,
    };
    struct Refusal
    {
        int status = 403;
        QJsonObject body; // {"error": ...} and for a role that may not, "token", "role" and "needs"
        QList<std::pair<QByteArray, QByteArray>> headers;
    };
    // Who is let in, by the name the audit gives them: a token's holder,
    // "local" on a hub without tokens, or empty for a read nobody signs.
    struct Admitted
    {
        QString who;
    };

    HttpAccess(GuessGuard& guard, const HubLog& log);

    // The tokens and reads' rule from now on (a reload changed them).
    void setTokens(HttpTokens tokens, HttpReads reads);

    // Why a request is not answered at all, or nothing when it may be.
    std::optional<Refusal> refuseAny(const HttpRequest& request, const QString& peer) const;
    // Whether a request may have what its route needs, and as whom.
    std::variant<Admitted, Refusal> admit(const HttpRequest& request, const QString& peer, Needs needs);
    // Whether a request let in before would be let in now (an event stream
    // after a reload): as refuseAny and admit decide, with no guess counted
    // and nothing logged.
    bool stillAdmits(const HttpRequest& request, Needs needs) const;

private:
    std::optional<HttpTokens::Holder> holderOf(const HttpRequest& request) const;
    void logRefusal(const HttpRequest& request, const QString& peer, const QString& reason, const QString& text) const;

    HttpTokens m_tokens;
    HttpReads m_reads = HttpReads::Open;
    GuessGuard& m_guard;
    const HubLog& m_log;
};

} // namespace orva::hub
