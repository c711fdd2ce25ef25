#include "engine/line/LineFactory.h"

#include "engine/line/NetworkLine.h"
#include "engine/line/QtSerialLine.h"
#include "engine/line/SwitchingLine.h"

#include <algorithm>
#include <array>

namespace orva {

namespace {

template <typename Line> std::unique_ptr<SerialLine> make(QObject* parent)
{
    return std::make_unique<Line>(parent);
}

const std::array<LineKind, 3> Kinds{{
    {LineAddress::Kind::Device, QLatin1String(), QLatin1String("PATH"),
        QLatin1String("a serial device (/dev/ttyUSB0, a pseudo-terminal)"), &make<QtSerialLine>},
    {LineAddress::Kind::Rfc2217, QLatin1String("rfc2217"), QLatin1String("rfc2217://HOST:PORT"),
        QLatin1String("Telnet with RFC 2217 port control"), &make<NetworkLine>},
    {LineAddress::Kind::Tcp, QLatin1String("tcp"), QLatin1String("tcp://HOST:PORT"),
        QLatin1String("raw TCP (the speed is set on the server)"), &make<NetworkLine>},
}};

} // namespace

std::span<const LineKind> lineKinds()
{
    return Kinds;
}

const LineKind& lineKind(LineAddress::Kind kind)
{
    const auto* row = std::find_if(Kinds.begin(), Kinds.end(), [kind](const LineKind& k) { return k.kind == kind; });
    Q_ASSERT(row != Kinds.end());
    return *row;
}

QString lineFormsHelp(int indent)
{
    qsizetype width = 0;
    for (const LineKind& k : Kinds)
        width = std::max(width, k.form.size());
    QString text;
    for (const LineKind& k : Kinds)
        text += QString(indent, QLatin1Char(' ')) + QString(k.form).leftJustified(width + 2) + k.description
            + QLatin1Char('\n');
    return text;
}

std::unique_ptr<SerialLine> makeLine(QObject* parent)
{
    return std::make_unique<SwitchingLine>(parent);
}

} // namespace orva
