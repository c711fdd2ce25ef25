#include "hub/TokenReader.h"

#include "hub/HttpTokens.h"

#include <QFile>
#include <QHostAddress>
#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orva::hub::config {

namespace {

// A token a guesser cannot shorten: long, and not a few characters
// repeated ("aaaaaaaaaaaaaaaa" has the length and almost no guesses in it).
constexpr qsizetype MinTokenLength = 16;
constexpr qsizetype MaxTokenLength = 256;
constexpr qsizetype MinTokenDistinct = 8;
// A secret file holds one token and perhaps a line end; more is not one.
constexpr qint64 MaxSecretFileBytes = 4096;

// The secret a file holds, or why there is none. Opened without waiting
// (a FIFO would wait for a writer forever) and judged by what was opened,
// not by the name, which may change in between.
std::optional<QString> readSecretFile(const QString& path, QString& why)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        why = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    QFile file;
    file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat info
    {
    };
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        why = QStringLiteral("not a regular file");
        return std::nullopt;
    }
    if ((info.st_mode & 07) != 0) {
        why = QStringLiteral("its mode %1 lets others read it (chmod o-rwx %2)")
                  .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0'))
                  .arg(path);
        return std::nullopt;
    }
    const QByteArray bytes = file.read(MaxSecretFileBytes + 1);
    if (bytes.size() > MaxSecretFileBytes) {
        why = QStringLiteral("larger than %1 bytes: not a token").arg(MaxSecretFileBytes);
        return std::nullopt;
    }
    const QString secret = QString::fromLatin1(bytes.trimmed());
    if (!isStrongSecret(secret)) {
        why = QStringLiteral("holds no token: ") + strongSecretRule();
        return std::nullopt;
    }
    return secret;
}

// One [[token]] table's keys; which of secret and secret-file it has.
void readToken(Reporter& report, const toml::table& table, TokenConfig& token)
{
    for (const auto& [tomlKey, node] : table) {
        const QString key = qstr(tomlKey.str());
        if (key != QLatin1String("name") && key != QLatin1String("secret") && key != QLatin1String("secret-file")
            && key != QLatin1String("role")) {
            report.error(tomlKey.source(), key, QStringLiteral("unknown key in [[token]]"));
            continue;
        }
        const std::optional<QString> value = text(report, node, key);
        if (!value)
            continue;
        if (key == QLatin1String("name")) {
            if (!namePattern().match(*value).hasMatch())
                report.error(node.source(), key,
                    QStringLiteral("\"%1\": use 1 to 32 lower-case letters, digits and '-'").arg(*value));
            else if (*value == QLatin1String("local"))
                report.error(node.source(), key,
                    QStringLiteral("\"local\" is who acts without a token on the hub's own machine; choose another"));
            else
                token.name = *value;
        } else if (key == QLatin1String("role")) {
            if (const std::optional<TokenRole> role = tokenRoleOf(*value))
                token.role = *role;
            else
                report.error(node.source(), key, QStringLiteral("\"viewer\", \"operator\" or \"admin\""));
        } else if (table.contains("secret") && table.contains("secret-file")) {
            if (key == QLatin1String("secret-file"))
                report.error(node.source(), key, QStringLiteral("give secret or secret-file, not both"));
        } else if (key == QLatin1String("secret")) {
            if (isStrongSecret(*value))
                token.secret = *value;
            else
                report.error(node.source(), key, strongSecretRule());
        } else if (!value->startsWith(QLatin1Char('/'))) {
            report.error(node.source(), key, QStringLiteral("an absolute path (e.g. /etc/orva/prometheus.token)"));
        } else {
            QString why;
            if (const std::optional<QString> secret = readSecretFile(*value, why))
                token.secret = *secret;
            else
                report.error(node.source(), key, QStringLiteral("%1: %2").arg(*value, why));
            token.secretFile = *value;
        }
    }
}

bool isLoopback(const QString& address)
{
    return QHostAddress(address).isLoopback();
}

} // namespace

bool isStrongSecret(const QString& secret)
{
    return secret.size() >= MinTokenLength && secret.size() <= MaxTokenLength && isVisibleAscii(secret)
        && QSet<QChar>(secret.begin(), secret.end()).size() >= MinTokenDistinct;
}

QString strongSecretRule()
{
    return QStringLiteral("%1 to %2 printable ASCII characters, no blanks, at least %3 of them different "
                          "(e.g. the output of: openssl rand -hex 24)")
        .arg(MinTokenLength)
        .arg(MaxTokenLength)
        .arg(MinTokenDistinct);
}

void readTokens(Reporter& report, const toml::node& node, HubConfig& config)
{
    const toml::array* tables = node.as_array();
    if (!tables || !tables->is_array_of_tables()) {
        report.error(node.source(), QStringLiteral("token"), QStringLiteral("must be written as [[token]] tables"));
        return;
    }
    for (const toml::node& element : *tables) {
        const toml::table& table = *element.as_table();
        TokenConfig token;
        readToken(report, table, token);
        for (const char* required : {"name", "role"}) {
            if (!table.contains(required))
                report.error(element.source(), QLatin1String(required), QStringLiteral("missing in [[token]]"));
        }
        if (!table.contains("secret") && !table.contains("secret-file"))
            report.error(element.source(), QStringLiteral("secret"),
                QStringLiteral("missing in [[token]] (or secret-file, a file holding it)"));
        const auto where = [&table](const char* key) {
            const toml::node* at = table.get(key);
            return at ? at->source() : table.source();
        };
        const bool named = !token.name.isEmpty();
        if (named && token.name == QLatin1String(HttpTokens::DefaultName) && config.httpToken)
            report.error(where("name"), QStringLiteral("name"),
                QStringLiteral("\"default\" is http-token's holder already; choose another name"));
        else if (named && std::any_of(config.tokens.begin(), config.tokens.end(), [&token](const TokenConfig& other) {
                     return other.name == token.name;
                 }))
            report.error(where("name"), QStringLiteral("name"),
                QStringLiteral("\"%1\" names another token already").arg(token.name));
        // The secret says who is asking: two holders of one secret could
        // not be told apart.
        const char* secretKey = table.contains("secret") ? "secret" : "secret-file";
        const auto same = std::find_if(config.tokens.begin(), config.tokens.end(),
            [&token](const TokenConfig& other) { return other.secret == token.secret; });
        const bool secretRead = !token.secret.isEmpty();
        if (secretRead && config.httpToken == token.secret) {
            report.error(where(secretKey), QLatin1String(secretKey), QStringLiteral("the same secret as http-token"));
        } else if (secretRead && same != config.tokens.end()) {
            report.error(where(secretKey), QLatin1String(secretKey),
                QStringLiteral("the same secret as token \"%1\"").arg(same->name));
        }
        config.tokens.append(token);
    }
}

void readHttpReads(Reporter& report, const toml::node& node, HubConfig& config)
{
    const QString key = QStringLiteral("http-reads");
    const std::optional<QString> value = text(report, node, key);
    if (value == QLatin1String("open"))
        config.httpReads = HttpReads::Open;
    else if (value == QLatin1String("token"))
        config.httpReads = HttpReads::Token;
    else if (value)
        report.error(node.source(), key, QStringLiteral("\"open\" or \"token\""));
}

void checkHttpAccess(Reporter& report, const toml::table& root, const HubConfig& config)
{
    const auto where = [&root](const char* key) {
        const toml::node* node = root.get(key);
        return node ? node->source() : root.source();
    };
    const bool anyToken = config.httpToken || !config.tokens.isEmpty();
    const bool everyLoopback = std::all_of(config.listen.begin(), config.listen.end(), isLoopback);
    if (!anyToken && !everyLoopback)
        report.error(where("http-port"), QStringLiteral("http-port"),
            QStringLiteral("an HTTP door on an address other than loopback needs http-token or a [[token]]"));
    if (!anyToken && config.httpReads == HttpReads::Token)
        report.error(where("http-reads"), QStringLiteral("http-reads"),
            QStringLiteral("\"token\" needs http-token or a [[token]] to read with"));
    // Open reads are today's way and may well be meant; when nobody wrote
    // so, say once what the network can see.
    if (anyToken && !everyLoopback && !root.contains("http-reads"))
        report.warning(where("http-port"), QStringLiteral("http-reads"),
            QStringLiteral("not set: anybody who reaches %1 may read the projectors' state, the metrics and the "
                           "events; http-reads = \"token\" keeps them to token holders, \"open\" says it is meant")
                .arg(config.listen.join(QStringLiteral(", "))));
}

} // namespace orva::hub::config
