#include "program/ProgramAnswer.h"

#include "orva/Version.h"

namespace orva {

namespace {

void write(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

} // namespace

std::optional<int> answerStart(StartAction action, const QString& program, const QString& text, const QString& usage,
    std::FILE* out, std::FILE* err)
{
    switch (action) {
    case StartAction::Run:
        return std::nullopt;
    case StartAction::Help:
        write(out, text);
        return 0;
    case StartAction::Version:
        write(out, QStringLiteral("%1 %2\n").arg(program, QLatin1String(VersionText)));
        return 0;
    case StartAction::Usage: {
        QString answer = QStringLiteral("%1: %2\n").arg(program, text);
        if (!usage.isEmpty())
            answer += usage + QLatin1Char('\n');
        write(err, answer + QStringLiteral("Try '%1 --help'.\n").arg(program));
        return BadUsageStatus;
    }
    }
    return std::nullopt;
}

} // namespace orva
