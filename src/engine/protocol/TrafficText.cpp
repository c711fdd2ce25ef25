#include "engine/protocol/TrafficText.h"

namespace orva {

namespace {

bool isShownAsItself(char16_t c)
{
    return c >= 32 && c <= 122;
}

// Characters of the token that stands for c.
qsizetype tokenLength(char16_t c)
{
    if (isShownAsItself(c))
        return 2;
    if (c == 6)
        return 4; // "ACK "
    if (c == 20)
        return 1;                        // "&"
    return (c == 13 || c == 10) ? 3 : 2; // "CR ", "LF ", "? "
}

char16_t* put(char16_t* out, const char16_t* token)
{
    while (*token)
        *out++ = *token++;
    return out;
}

} // namespace

QString renderTraffic(const QString& text)
{
    // A full reply buffer is rendered at every receive notification, so the
    // result is sized exactly first and then filled in place: one
    // allocation, no appends.
    qsizetype length = 1;
    for (const QChar ch : text)
        length += tokenLength(ch.unicode());
    QString out(length, Qt::Uninitialized);
    char16_t* p = reinterpret_cast<char16_t*>(out.data());
    *p++ = u' ';
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        // None of the spelled-out codes lies in the range shown as itself,
        // so testing that range first keeps the order of the rules.
        if (isShownAsItself(c)) {
            *p++ = c;
            *p++ = u' ';
        } else if (c == 6) {
            p = put(p, u"ACK ");
        } else if (c == 20) {
            *p++ = u'&';
        } else if (c == 13) {
            p = put(p, u"CR ");
        } else if (c == 10) {
            p = put(p, u"LF ");
        } else {
            p = put(p, u"? ");
        }
    }
    return out;
}

} // namespace orva
