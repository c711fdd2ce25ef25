#pragma once

#include "hub/HubConfig.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace orva::hub {

// The bearer tokens the HTTP door takes, each with its holder's name and
// role: http-token as an operator named "default", then every [[token]].
// Only the secrets' SHA-256 digests are kept. A secret given is compared
// with every token's, whichever matches, so that the time an answer takes
// tells neither whether a token matched nor which one.
class HttpTokens
{
public:
    struct Holder
    {
        QString name;
        TokenRole role = TokenRole::Viewer;
    };

    // The name http-token's holder goes by.
    static constexpr const char* DefaultName = "default";

    HttpTokens() = default; // none: the door answers loopback names alone
    explicit HttpTokens(const HubConfig& config);

    bool isEmpty() const { return m_tokens.empty(); }
    std::optional<Holder> holderOf(QByteArrayView secret) const;

private:
    struct Token
    {
        Holder holder;
        QByteArray digest;
    };
    std::vector<Token> m_tokens;
};

// A role as the configuration and the answers spell it: "viewer",
// "operator", "admin".
const char* tokenRoleName(TokenRole role);
// The role a name spells, or none.
std::optional<TokenRole> tokenRoleOf(QStringView name);

} // namespace orva::hub
