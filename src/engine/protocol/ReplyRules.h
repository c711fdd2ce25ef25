#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <algorithm>

namespace orva {

// How the projector answers a frame. An operation or a setting is answered
// by ACK (or refused by NAK), a query by text ended by a carriage return; a
// reply ends at the first of the three, and what precedes that character is
// its body. A body of a lone "?" is the projector's error reply, whatever
// ends it.
inline constexpr QChar Ack = QChar(6);
inline constexpr QChar Nak = QChar(21);
inline constexpr QChar CarriageReturn = QChar(13);

constexpr bool endsReply(QChar c)
{
    return c == Ack || c == Nak || c == CarriageReturn;
}

// Where a reply ends, or the end of text when it has not ended yet.
inline QString::const_iterator replyEnd(const QString& reply)
{
    return std::find_if(reply.begin(), reply.end(), endsReply);
}

// The position of the character that ends a reply; -1 when it has not ended.
inline qsizetype replyEndIndex(QStringView reply)
{
    const auto end = std::find_if(reply.begin(), reply.end(), endsReply);
    return end == reply.end() ? -1 : qsizetype(end - reply.begin());
}

inline bool isErrorReply(QStringView body)
{
    return body == u"?";
}

} // namespace orva
