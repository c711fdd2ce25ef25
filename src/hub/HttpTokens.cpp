#include "hub/HttpTokens.h"

#include "hub/SecretCompare.h"

#include <QCryptographicHash>

#include <array>

namespace orva::hub {

namespace {

QByteArray digestOf(QByteArrayView secret)
{
    return QCryptographicHash::hash(secret, QCryptographicHash::Sha256);
}

constexpr std::array<std::pair<TokenRole, const char*>, 3> RoleNames{{
    {TokenRole::Viewer, "viewer"},
    {TokenRole::Operator, "operator"},
    {TokenRole::Admin, "admin"},
}};

} // namespace

HttpTokens::HttpTokens(const HubConfig& config)
{
    if (config.httpToken)
        m_tokens.push_back(
            Token{Holder{QLatin1String(DefaultName), TokenRole::Operator}, digestOf(config.httpToken->toUtf8())});
    for (const TokenConfig& token : config.tokens)
        m_tokens.push_back(Token{Holder{token.name, token.role}, digestOf(token.secret.toUtf8())});
}

std::optional<HttpTokens::Holder> HttpTokens::holderOf(QByteArrayView secret) const
{
    // One digest of what was given, compared with every token's to the end:
    // no token is looked at sooner or later for being the one that matches.
    const QByteArray given = digestOf(secret);
    std::size_t matched = m_tokens.size();
    for (std::size_t i = 0; i < m_tokens.size(); ++i) {
        const bool match = digestsMatch(given, m_tokens[i].digest);
        matched = match ? i : matched;
    }
    if (matched == m_tokens.size())
        return std::nullopt;
    return m_tokens[matched].holder;
}

const char* tokenRoleName(TokenRole role)
{
    for (const auto& [each, name] : RoleNames) {
        if (each == role)
            return name;
    }
    return "viewer";
}

std::optional<TokenRole> tokenRoleOf(QStringView name)
{
    for (const auto& [role, each] : RoleNames) {
        if (name == QLatin1String(each))
            return role;
    }
    return std::nullopt;
}

} // namespace orva::hub
