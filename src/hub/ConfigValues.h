#pragma once

#include "hub/AddressRanges.h"
#include "hub/HubConfig.h"

#include <toml++/toml.h>

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string_view>

// The pieces every reader of the hub's configuration shares: where a message
// points, and how a value of each kind is read and checked. Each reader
// reports every fault it finds and keeps reading, so one run lists them all.
namespace orva::hub::config {

// Where a message points: the file and the place of a key or value in it.
class Reporter
{
public:
    Reporter(QString path, ConfigResult& result)
        : m_path(std::move(path))
        , m_result(result)
    {
    }

    void error(const toml::source_region& where, const QString& key, const QString& reason)
    {
        m_result.errors.append(place(where) + key + QStringLiteral(": ") + reason);
    }
    void warning(const toml::source_region& where, const QString& key, const QString& reason)
    {
        m_result.warnings.append(place(where) + key + QStringLiteral(": ") + reason);
    }
    void errorAt(int line, int column, const QString& key, const QString& reason)
    {
        m_result.errors.append(
            QStringLiteral("%1:%2:%3: ").arg(m_path).arg(line).arg(column) + key + QStringLiteral(": ") + reason);
    }
    void fileError(const QString& reason) { m_result.errors.append(m_path + QStringLiteral(": ") + reason); }
    const QString& path() const { return m_path; }

private:
    QString place(const toml::source_region& where) const
    {
        return QStringLiteral("%1:%2:%3: ").arg(m_path).arg(where.begin.line).arg(where.begin.column);
    }

    QString m_path;
    ConfigResult& m_result;
};

QString qstr(std::string_view text);

// An integer value in [low, high], or nothing (with an error).
std::optional<qint64> integerIn(
    Reporter& report, const toml::node& node, const QString& key, qint64 low, qint64 high, const QString& range);
std::optional<QString> text(Reporter& report, const toml::node& node, const QString& key);
std::optional<quint16> tcpPort(Reporter& report, const toml::node& node, const QString& key);

// A secret as it travels in a protocol's text: printable ASCII, no blanks.
bool isVisibleAscii(const QString& text);
// Text a PJLink controller or a browser is told: no control characters.
bool isPrintable(const QString& text);

// A list of strings (key = ["a", "b"]): at least `least` of them, at most
// `most`, each handed to `take`, which keeps it and answers nothing, or
// answers why it is refused. `expected` says what the list holds, with an
// example, for a value that is no list ("a list of names, e.g. [...]").
// False when the value is no list or has too few or too many strings.
using TakeText = std::function<std::optional<QString>(const QString& text)>;
bool readTextList(Reporter& report, const toml::node& node, const QString& key, const QString& expected,
    qsizetype least, qsizetype most, const TakeText& take);

// The reason for a string a list holds twice.
QString givenTwice(const QString& text);

// A list of IP addresses (listen = ["127.0.0.1"]), each once.
void readListen(Reporter& report, const toml::node& node, QStringList& listen);
// A list of networks (share-allow = ["10.1.2.0/24"]).
void readShareAllow(Reporter& report, const toml::node& node, AddressRanges& allowed);

// Names of projectors, groups, schedules and tokens: [a-z0-9-]{1,32}.
const QRegularExpression& namePattern();

} // namespace orva::hub::config
