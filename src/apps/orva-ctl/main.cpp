#include "ctl/Arguments.h"
#include "ctl/Report.h"
#include "ctl/Run.h"
#include "engine/line/FileNames.h"
#include "orva/Version.h"

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
    case orva::ctl::Request::Mode::Help:
        std::fputs(qPrintable(orva::ctl::helpText()), stdout);
        return orva::ctl::closeOutput(stdout, stderr, 0);
    case orva::ctl::Request::Mode::Version:
        std::printf("orva-ctl %s\n", orva::VersionText);
        return orva::ctl::closeOutput(stdout, stderr, 0);
    case orva::ctl::Request::Mode::Usage:
        std::fprintf(stderr, "orva-ctl: %s\n%s\nTry 'orva-ctl --help'.\n",
            qPrintable(orva::ctl::printable(request.message)), qPrintable(orva::ctl::usageLine()));
        return 2;
    case orva::ctl::Request::Mode::Run:
        break;
    }

    QCoreApplication app(argc, argv);
    return orva::ctl::closeOutput(stdout, stderr, orva::ctl::run(request, stdout, stderr));
}
