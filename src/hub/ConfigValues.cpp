#include "hub/ConfigValues.h"

#include <QHostAddress>

#include <algorithm>
#include <limits>

namespace orva::hub::config {

QString qstr(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::optional<qint64> integerIn(
    Reporter& report, const toml::node& node, const QString& key, qint64 low, qint64 high, const QString& range)
{
    const auto* value = node.as_integer();
    if (!value) {
        report.error(node.source(), key, QStringLiteral("must be a whole number"));
        return std::nullopt;
    }
    const qint64 number = value->get();
    if (number < low || number > high) {
        report.error(node.source(), key, QStringLiteral("%1 is out of range (%2)").arg(number).arg(range));
        return std::nullopt;
    }
    return number;
}

std::optional<QString> text(Reporter& report, const toml::node& node, const QString& key)
{
    const auto* value = node.as_string();
    if (!value) {
        report.error(node.source(), key, QStringLiteral("must be a string in quotes"));
        return std::nullopt;
    }
    return qstr(value->get());
}

std::optional<quint16> tcpPort(Reporter& report, const toml::node& node, const QString& key)
{
    const auto number = integerIn(report, node, key, 0, 65535, QStringLiteral("0 for none, or 1 to 65535"));
    return number ? std::optional<quint16>(quint16(*number)) : std::nullopt;
}

bool isVisibleAscii(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 32 && c.unicode() < 127; });
}

bool readTextList(Reporter& report, const toml::node& node, const QString& key, const QString& expected,
    qsizetype least, qsizetype most, const TakeText& take)
{
    const auto* array = node.as_array();
    if (!array || qsizetype(array->size()) < least) {
        report.error(node.source(), key, QStringLiteral("must be ") + expected);
        return false;
    }
    if (qsizetype(array->size()) > most) {
        report.error(node.source(), key, QStringLiteral("at most %1 of them").arg(most));
        return false;
    }
    for (const toml::node& element : *array) {
        if (const auto value = text(report, element, key)) {
            if (const std::optional<QString> why = take(*value))
                report.error(element.source(), key, *why);
        }
    }
    return true;
}

QString givenTwice(const QString& text)
{
    return QStringLiteral("\"%1\" is given twice").arg(text);
}

void readListen(Reporter& report, const toml::node& node, QStringList& listen)
{
    QStringList addresses;
    const bool read = readTextList(report, node, QStringLiteral("listen"),
        QStringLiteral("a list of IP addresses, e.g. [\"127.0.0.1\"]"), 1, std::numeric_limits<qsizetype>::max(),
        [&addresses](const QString& address) -> std::optional<QString> {
            if (QHostAddress(address).isNull())
                return QStringLiteral("\"%1\" is not an IP address").arg(address);
            if (addresses.contains(address))
                return givenTwice(address);
            addresses.append(address);
            return std::nullopt;
        });
    if (read)
        listen = addresses;
}

bool isPrintable(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

void readShareAllow(Reporter& report, const toml::node& node, AddressRanges& allowed)
{
    AddressRanges ranges;
    const bool read = readTextList(report, node, QStringLiteral("share-allow"),
        QStringLiteral("a list of networks, e.g. [\"10.1.2.0/24\"]"), 1, std::numeric_limits<qsizetype>::max(),
        [&ranges](const QString& range) -> std::optional<QString> {
            QString why;
            const auto parsed = AddressRanges::parseRange(range, &why);
            if (!parsed)
                return why;
            ranges.add(*parsed);
            return std::nullopt;
        });
    if (read)
        allowed = ranges;
}

const QRegularExpression& namePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^[a-z0-9-]{1,32}$"));
    return pattern;
}

} // namespace orva::hub::config
