#include "hub/AuditLog.h"

#include "engine/ExchangeVerdict.h"
#include "engine/protocol/Commands.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace orva::hub {

namespace {

QJsonValue textOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// QJsonDocument escapes C0 controls but writes DEL and the C1 controls as
// they are; a terminal obeys U+009B as it does ESC [, so they are escaped
// too. They occur only inside strings, where \u00NN means the same.
QByteArray escapeControls(const QByteArray& json)
{
    const QString text = QString::fromUtf8(json);
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() >= 0x7F && c.unicode() <= 0x9F)
            out += QStringLiteral("\\u00") + QString::number(c.unicode(), 16);
        else
            out += c;
    }
    return out.toUtf8();
}

} // namespace

AuditLog::AuditLog(const HubLog& log, EpochClock epochNowMs)
    : m_log(log)
    , m_epochNowMs(epochNowMs ? std::move(epochNowMs) : [] { return QDateTime::currentMSecsSinceEpoch(); })
{
}

AuditLog::~AuditLog()
{
    close();
}

void AuditLog::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void AuditLog::setFile(const QString& path)
{
    m_path = path;
    reopen();
}

void AuditLog::reopen()
{
    close();
    m_writeFailTold = false;
    if (m_path.isEmpty())
        return;
    // Appended with O_APPEND, one write() a line: lines never interleave
    // and a rotation's copy never holds half of one.
    // A new file is made 0640 whatever the umask (the service's is 0077):
    // the hub's group may read the trail, others may not. An existing one
    // keeps the mode its administrator gave it.
    const QByteArray path = m_path.toLocal8Bit();
    m_fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0640);
    if (m_fd >= 0)
        ::fchmod(m_fd, 0640);
    else if (errno == EEXIST)
        m_fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (m_fd < 0) {
        m_log.error(QStringLiteral("audit"),
            QStringLiteral("cannot open %1: %2; audit lines go to the journal only")
                .arg(m_path, QString::fromLocal8Bit(std::strerror(errno))));
    }
}

bool AuditLog::audits(const QString& code)
{
    const std::optional<Command> command = commandOfCode(code);
    return !command || commandEntry(*command).kind != CommandKind::Query;
}

void AuditLog::describe(AuditEntry& entry, const ExchangeRequest& request, const ExchangeResult& result)
{
    const bool known = commandOfCode(request.code).has_value();
    const ExchangeVerdict verdict = judgeExchange(result, request, known ? CodeOrigin::Known : CodeOrigin::Free);
    switch (verdict.reason) {
    case VerdictReason::Ok:
        entry.outcome = QStringLiteral("ok");
        break;
    case VerdictReason::Refused:
        entry.outcome = QStringLiteral("nak");
        break;
    case VerdictReason::QueueFull:
        entry.outcome = QStringLiteral("refused");
        break;
    case VerdictReason::NoReply:
    case VerdictReason::IncompleteReply:
        entry.outcome = QStringLiteral("no-answer");
        break;
    case VerdictReason::ErrorReply:
    case VerdictReason::Unexpected:
    case VerdictReason::LineFailed:
        entry.outcome = QStringLiteral("error");
        break;
    }
    if (verdict.ok())
        entry.errorKind.clear();
    else if (verdict.errorKind)
        entry.errorKind = lineErrorKindName(*verdict.errorKind);
    else
        entry.errorKind = verdictName(verdict.reason);
}

QByteArray AuditLog::line(const AuditEntry& entry, std::int64_t epochMs)
{
    // In the order people read them, time first; a JSON object would sort
    // its keys.
    const std::pair<const char*, QJsonValue> fields[] = {
        {"time", QDateTime::fromMSecsSinceEpoch(epochMs, Qt::UTC).toString(Qt::ISODateWithMs)},
        {"projector", entry.projector},
        {"door", entry.door},
        {"peer", entry.peer},
        {"who", entry.who},
        {"code", entry.code},
        {"action", textOrNull(entry.action)},
        {"outcome", entry.outcome},
        {"error_kind", textOrNull(entry.errorKind)},
        {"ms", qint64(entry.ms)},
    };
    QByteArray json("{");
    for (const auto& [key, value] : fields) {
        if (json.size() > 1)
            json += ',';
        json += '"';
        json += key;
        json += "\":";
        json += QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).chopped(1).mid(1);
    }
    json += '}';
    return escapeControls(json);
}

void AuditLog::record(const AuditEntry& entry)
{
    const QByteArray json = line(entry, m_epochNowMs());
    // Through the log's own write, never its refusal aggregation.
    m_log.write(LogLevel::Notice, QStringLiteral("audit"), QString::fromUtf8(json));
    if (m_fd < 0)
        return;
    const QByteArray text = json + '\n';
    const ssize_t written = ::write(m_fd, text.constData(), std::size_t(text.size()));
    if (written != text.size() && !m_writeFailTold) {
        m_writeFailTold = true;
        m_log.error(QStringLiteral("audit"),
            QStringLiteral("cannot write %1: %2; audit lines go to the journal only until it is reopened")
                .arg(m_path,
                    written < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("short write")));
    }
}

} // namespace orva::hub
