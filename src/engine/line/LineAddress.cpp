#include "engine/line/LineAddress.h"

#include "engine/line/LineFactory.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStringList>

namespace orva {

namespace {

// "give a device path, rfc2217://HOST:PORT or tcp://HOST:PORT"
QString forms()
{
    QStringList network;
    for (const LineKind& k : lineKinds()) {
        if (!k.scheme.isEmpty())
            network.append(k.form);
    }
    const QString last = network.isEmpty() ? QString() : network.takeLast();
    return QStringLiteral("give a device path, ") + network.join(QStringLiteral(", "))
        + (network.isEmpty() ? QString() : QStringLiteral(" or ")) + last;
}

// The network kind whose scheme the text starts with ("tcp:", any case).
const LineKind* schemeOf(const QString& text)
{
    for (const LineKind& k : lineKinds()) {
        if (!k.scheme.isEmpty() && text.size() > k.scheme.size() && text.at(k.scheme.size()) == QLatin1Char(':')
            && text.startsWith(k.scheme, Qt::CaseInsensitive))
            return &k;
    }
    return nullptr;
}

std::optional<LineAddress> refuse(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return std::nullopt;
}

// A host name as resolvers take it: labels of letters, digits, '-' and '_'
// joined by dots.
bool isHostName(const QString& host)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_]([A-Za-z0-9_-]*[A-Za-z0-9_])?"
                                                        "(\\.[A-Za-z0-9_]([A-Za-z0-9_-]*[A-Za-z0-9_])?)*\\.?$"));
    return host.size() <= 253 && name.match(host).hasMatch();
}

} // namespace

std::optional<LineAddress> LineAddress::parse(const QString& text, QString* error)
{
    if (text.isEmpty())
        return refuse(error, QStringLiteral("empty; ") + forms());

    LineAddress address;
    address.text = text;
    const qsizetype separator = text.indexOf(QLatin1String("://"));
    const LineKind* kind = schemeOf(text);
    if (separator < 0) {
        // "tcp:host:port" is a mistyped address rather than a file name.
        if (kind)
            return refuse(error, QStringLiteral("'%1' is no address; %2").arg(text, forms()));
        address.path = text;
        return address;
    }
    if (!kind || kind->scheme.size() != separator)
        return refuse(
            error, QStringLiteral("'%1': unknown kind of line '%2://'; %3").arg(text, text.left(separator), forms()));
    address.kind = kind->kind;

    const QString rest = text.mid(separator + 3);
    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0)
            return refuse(error, QStringLiteral("'%1': the IPv6 address has no closing ']'").arg(text));
        address.host = rest.mid(1, close - 1);
        QHostAddress v6;
        if (!v6.setAddress(address.host) || v6.protocol() != QAbstractSocket::IPv6Protocol)
            return refuse(error, QStringLiteral("'%1': '%2' is no IPv6 address").arg(text, address.host));
        const QString after = rest.mid(close + 1);
        if (!after.startsWith(QLatin1Char(':')))
            return refuse(error, QStringLiteral("'%1': the port is missing (HOST:PORT)").arg(text));
        portText = after.mid(1);
    } else {
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            return refuse(error, QStringLiteral("'%1': the port is missing (HOST:PORT)").arg(text));
        address.host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (address.host.isEmpty())
            return refuse(error, QStringLiteral("'%1': the host is missing (HOST:PORT)").arg(text));
        if (address.host.contains(QLatin1Char(':')))
            return refuse(
                error, QStringLiteral("'%1': an IPv6 address goes in brackets, [%2]").arg(text, address.host));
        static const QRegularExpression dotted(QStringLiteral("^[0-9.]+$"));
        if (dotted.match(address.host).hasMatch()) {
            QHostAddress v4;
            if (address.host.count(QLatin1Char('.')) != 3 || !v4.setAddress(address.host))
                return refuse(error, QStringLiteral("'%1': '%2' is no IPv4 address").arg(text, address.host));
        } else if (!isHostName(address.host)) {
            return refuse(error, QStringLiteral("'%1': '%2' is no host name").arg(text, address.host));
        }
    }

    if (portText.isEmpty())
        return refuse(error, QStringLiteral("'%1': the port is missing (HOST:PORT)").arg(text));
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    const uint port = portText.toUInt();
    if (!digits.match(portText).hasMatch() || port < 1 || port > 65535)
        return refuse(error, QStringLiteral("'%1': the port must be a number from 1 to 65535").arg(text));
    address.port = quint16(port);
    return address;
}

} // namespace orva
