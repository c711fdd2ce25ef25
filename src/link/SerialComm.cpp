#include "link/SerialComm.h"

namespace orva {

QByteArray SerialComm::toLineBytes(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text)
        bytes.append(c.unicode() <= 127 ? char(c.unicode()) : '?');
    return bytes;
}

QString SerialComm::fromLineBytes(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

int SerialComm::baudRateOf(const QString& settings)
{
    if (settings == QLatin1String("19200,N,8,1"))
        return 19200;
    if (settings == QLatin1String("9600,N,8,1"))
        return 9600;
    return 0;
}

} // namespace orva
