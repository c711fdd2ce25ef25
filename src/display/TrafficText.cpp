#include "display/TrafficText.h"

namespace orva {

QString renderTraffic(const QString& text)
{
    QString out;
    out.reserve(1 + 2 * text.size() + 8);
    out.append(QLatin1Char(' '));
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == 6)
            out.append(QLatin1String("ACK "));
        else if (c == 20)
            out.append(QLatin1Char('&'));
        else if (c == 13)
            out.append(QLatin1String("CR "));
        else if (c == 10)
            out.append(QLatin1String("LF "));
        else if (c < 32 || c > 122)
            out.append(QLatin1String("? "));
        else {
            out.append(ch);
            out.append(QLatin1Char(' '));
        }
    }
    return out;
}

} // namespace orva
