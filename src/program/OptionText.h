#pragma once

#include <QString>
#include <QStringList>

namespace orva {

// The argument as written that an option name QCommandLineParser reports
// stands for ("--baud=9600" for "baud"), so that a complaint quotes what the
// user typed; "-x" or "--name" when no argument matches. arguments[0] is
// the program.
inline QString optionAsWritten(const QStringList& arguments, const QString& name)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString option = arguments.at(i).section(QLatin1Char('='), 0, 0);
        while (option.startsWith(QLatin1Char('-')))
            option.remove(0, 1);
        if (option == name)
            return arguments.at(i);
    }
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace orva
