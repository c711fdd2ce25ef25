#include "hub/ConfigValues.h"

#include <QHostAddress>

#include <algorithm>

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

void readListen(Reporter& report, const toml::node& node, QStringList& listen)
{
    const QString key = QStringLiteral("listen");
    const auto* array = node.as_array();
    if (!array || array->empty()) {
        report.error(node.source(), key, QStringLiteral("must be a list of IP addresses, e.g. [\"127.0.0.1\"]"));
        return;
    }
    listen.clear();
    for (const toml::node& element : *array) {
        const auto address = text(report, element, key);
        if (!address)
            continue;
        if (QHostAddress(*address).isNull()) {
            report.error(element.source(), key, QStringLiteral("\"%1\" is not an IP address").arg(*address));
            continue;
        }
        if (listen.contains(*address)) {
            report.error(element.source(), key, QStringLiteral("\"%1\" is given twice").arg(*address));
            continue;
        }
        listen.append(*address);
    }
}

bool isPrintable(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

void readShareAllow(Reporter& report, const toml::node& node, AddressRanges& allowed)
{
    const QString key = QStringLiteral("share-allow");
    const auto* array = node.as_array();
    if (!array || array->empty()) {
        report.error(node.source(), key, QStringLiteral("must be a list of networks, e.g. [\"10.1.2.0/24\"]"));
        return;
    }
    allowed = AddressRanges();
    for (const toml::node& element : *array) {
        const auto range = text(report, element, key);
        if (!range)
            continue;
        QString why;
        if (const auto parsed = AddressRanges::parseRange(*range, &why))
            allowed.add(*parsed);
        else
            report.error(element.source(), key, why);
    }
}

const QRegularExpression& namePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^[a-z0-9-]{1,32}$"));
    return pattern;
}

} // namespace orva::hub::config
