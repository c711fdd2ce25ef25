#pragma once

#include "hub/HttpMessage.h"
#include "hub/HubLog.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace orva::hub {

class GuessGuard;

// Who may read and who may act through the HTTP door; each refusal is
// logged through the refusal log, per client address and reason.
//  - With a token, anybody may read, and an action needs
//    "Authorization: Bearer TOKEN" (the scheme's name in any case),
//    compared as SHA-256 digests in constant time. A wrong token counts
//    against the address in the guard; while the address is in penalty an
//    action is refused 429 with Retry-After, the token not compared.
//  - Without a token the hub is on loopback alone and answers nothing, not
//    even a read, unless asked by a loopback name (Host): a page whose own
//    name resolves to 127.0.0.1 (DNS rebinding) names itself instead.
//  - An action a browser says comes from another site (Origin) is refused.
class HttpAccess
{
public:
    struct Refusal
    {
        int status = 403;
        QString error; // for the answer's body
        QList<std::pair<QByteArray, QByteArray>> headers;
    };

    HttpAccess(const std::optional<QString>& token, GuessGuard& guard, const HubLog& log);

    // The token from now on (a reload changed it).
    void setToken(const std::optional<QString>& token);

    // Why a request is not answered at all, or nothing when it may be.
    std::optional<Refusal> refuseAny(const HttpRequest& request, const QString& peer) const;
    // Why a request that acts may not, or nothing when it may.
    std::optional<Refusal> refuseAction(const HttpRequest& request, const QString& peer);

private:
    bool tokenMatches(const HttpRequest& request) const;
    void logRefusal(const HttpRequest& request, const QString& peer, const QString& reason, const QString& text) const;

    QByteArray m_tokenHash; // SHA-256 of the token; empty when there is none
    GuessGuard& m_guard;
    const HubLog& m_log;
};

} // namespace orva::hub
