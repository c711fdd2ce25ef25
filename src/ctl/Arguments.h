#pragma once

#include "ctl/Actions.h"
#include "engine/line/SerialLine.h"
#include "program/ProgramAnswer.h"

#include <QString>
#include <QStringList>

namespace orva::ctl {

// What the command line asks for.
struct Request
{
    using Mode = StartAction;
    Mode mode = Mode::Run;
    const Action* action = nullptr;
    QString code;      // the code sent: the action's, or the one given to send
    QStringList ports; // the lines, in the order given; /dev/ttyS0 when none
    LineSpeed speed = LineSpeed::Baud19200;
    int timeoutMs = DefaultTimeoutMs;
    bool json = false;
    QString message; // the complaint, for Mode::Usage

    static constexpr int DefaultTimeoutMs = 1000;
    static constexpr int MaxTimeoutMs = 3'600'000;
};

// Reads the options and the action; arguments[0] is the program. Options
// may stand anywhere, also after the action, up to a "--" after which
// everything is the action and its argument. Anything the command line
// does not fit is Mode::Usage with a short message.
Request parseArguments(const QStringList& arguments);

// The one-line synopsis, and the text --help prints.
QString usageLine();
QString helpText();

} // namespace orva::ctl
