#include "engine/line/FileNames.h"

namespace orva {

namespace {

constexpr char16_t EscapeBase = 0xdc00;

bool isEscape(const QString& text, qsizetype i)
{
    const char16_t c = text.at(i).unicode();
    return c >= EscapeBase + 0x80 && c <= EscapeBase + 0xff && (i == 0 || !text.at(i - 1).isHighSurrogate());
}

// The length of the valid UTF-8 sequence at bytes[i], or 0.
qsizetype sequenceAt(const QByteArray& bytes, qsizetype i)
{
    const auto byte = [&bytes](qsizetype k) { return quint8(bytes.at(k)); };
    const quint8 lead = byte(i);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    quint8 low = 0x80; // the range of the second byte: no overlong forms, no surrogates
    quint8 high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (i + length > bytes.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (qsizetype k = i + 2; k < i + length; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xbf)
            return 0;
    }
    return length;
}

} // namespace

QString fileNameFromBytes(const QByteArray& bytes)
{
    QString name;
    qsizetype start = 0; // of the valid run not yet taken
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = sequenceAt(bytes, i);
        if (length > 0) {
            i += length;
            continue;
        }
        name += QString::fromUtf8(bytes.mid(start, i - start));
        name += QChar(char16_t(EscapeBase + quint8(bytes.at(i))));
        start = ++i;
    }
    name += QString::fromUtf8(bytes.mid(start));
    return name;
}

QByteArray fileNameBytes(const QString& name)
{
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isEscape(name, i))
            continue;
        bytes += QStringView(name).mid(start, i - start).toUtf8();
        bytes += char(name.at(i).unicode() - EscapeBase);
        start = i + 1;
    }
    bytes += QStringView(name).mid(start).toUtf8();
    return bytes;
}

bool holdsForeignBytes(const QString& name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (isEscape(name, i))
            return true;
    }
    return false;
}

} // namespace orva
