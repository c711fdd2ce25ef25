#include "engine/line/SerialLine.h"

namespace orva {

QString speedName(LineSpeed speed)
{
    return QString::number(baudRate(speed));
}

QByteArray SerialLine::toLineBytes(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text)
        bytes.append(c.unicode() <= 127 ? char(c.unicode()) : '?');
    return bytes;
}

QString SerialLine::fromLineBytes(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

} // namespace orva
