#pragma once

#include "engine/line/LineAddress.h"

#include <QLatin1String>
#include <QString>

#include <memory>
#include <span>

class QObject;

namespace orva {

class SerialLine;

// One kind of line: how its address is written and the class that drives
// it. The addresses' parser, the help texts and the line that the programs
// open all read this one table, so a new kind of line is a new row here and
// a new SerialLine class.
struct LineKind
{
    LineAddress::Kind kind;
    QLatin1String scheme;      // "rfc2217" for rfc2217://HOST:PORT; empty for a device path
    QLatin1String form;        // the address as the help texts write it
    QLatin1String description; // what the form stands for, for the help texts
    std::unique_ptr<SerialLine> (*make)(QObject* parent);
};

// Every kind of line, the device path first.
std::span<const LineKind> lineKinds();
// The row of a kind.
const LineKind& lineKind(LineAddress::Kind kind);

// The forms an address may take, one a line ("rfc2217://HOST:PORT  Telnet
// with RFC 2217 port control"), each line indented by indent spaces, for
// the programs' help texts.
QString lineFormsHelp(int indent);

// The line the programs open: it opens each address on the kind of line
// the address asks for (see SwitchingLine).
std::unique_ptr<SerialLine> makeLine(QObject* parent = nullptr);

} // namespace orva
