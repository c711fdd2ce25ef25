#include "ctl/Arguments.h"
#include "ctl/Report.h"
#include "ctl/Run.h"
#include "engine/line/FileNames.h"
#include "program/ProgramAnswer.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(orva::fileNameFromBytes(QByteArray(argv[i])));
    // Nothing is done whose result could not be told.
    if (!orva::ctl::outputIsOpen(stdout, stderr))
        return 1;
    const orva::ctl::Request request = orva::ctl::parseArguments(arguments);
    switch (request.mode) {
    case orva::StartAction::Help:
    case orva::StartAction::Version:
        orva::answerStart(request.mode, QStringLiteral("orva-ctl"), orva::ctl::helpText());
        return orva::ctl::closeOutput(stdout, stderr, 0);
    case orva::StartAction::Usage:
        return *orva::answerStart(
            request.mode, QStringLiteral("orva-ctl"), orva::ctl::printable(request.message), orva::ctl::usageLine());
    case orva::StartAction::Run:
        break;
    }

    QCoreApplication app(argc, argv);
    return orva::ctl::closeOutput(stdout, stderr, orva::ctl::run(request, stdout, stderr));
}
