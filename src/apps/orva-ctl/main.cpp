#include "ctl/Arguments.h"
#include "ctl/Report.h"
#include "ctl/Run.h"
#include "engine/line/FileNames.h"
#include "program/ProgramAnswer.h"

#include <QCoreApplication>

#include <cstdio>
#include <optional>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(orva::fileNameFromBytes(QByteArray(argv[i])));
    // Nothing is done whose result could not be told.
    if (!orva::ctl::outputIsOpen(stdout, stderr))
        return 1;
    const orva::ctl::Request request = orva::ctl::parseArguments(arguments);
    // --help and --version end as a run does: a write error is told and is
    // status 1.
    const QString answer
        = request.mode == orva::StartAction::Help ? orva::ctl::helpText() : orva::ctl::printable(request.message);
    if (const std::optional<int> status
        = orva::answerStart(request.mode, QStringLiteral("orva-ctl"), answer, orva::ctl::usageLine()))
        return *status == 0 ? orva::ctl::closeOutput(stdout, stderr, 0) : *status;

    QCoreApplication app(argc, argv);
    return orva::ctl::closeOutput(stdout, stderr, orva::ctl::run(request, stdout, stderr));
}
