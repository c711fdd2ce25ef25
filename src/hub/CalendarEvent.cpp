#include "hub/CalendarEvent.h"

#include <array>
#include <utility>

namespace orva::hub {

namespace {

struct Token
{
    QStringView text;
    int column = 1;
};

// The shorthands, as systemd-analyze prints them in their normalized form.
constexpr std::array<std::pair<const char16_t*, const char16_t*>, 9> Shorthands{{
    {u"minutely", u"*-*-* *:*:00"},
    {u"hourly", u"*-*-* *:00:00"},
    {u"daily", u"*-*-* 00:00:00"},
    {u"weekly", u"Mon *-*-* 00:00:00"},
    {u"monthly", u"*-*-01 00:00:00"},
    {u"yearly", u"*-01-01 00:00:00"},
    {u"annually", u"*-01-01 00:00:00"},
    {u"quarterly", u"*-01,04,07,10-01 00:00:00"},
    {u"semiannually", u"*-01,07-01 00:00:00"},
}};

constexpr std::array<const char16_t*, 7> WeekdayNames{
    u"monday", u"tuesday", u"wednesday", u"thursday", u"friday", u"saturday", u"sunday"};

// Years the search walks; systemd's own calendar ends before 2200 too.
constexpr int FirstYear = 1970;
constexpr int LastYear = 2199;

QList<Token> splitOn(QStringView text, int column, QChar separator)
{
    QList<Token> parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == separator) {
            parts.append({text.mid(start, i - start), column + int(start)});
            start = i + 1;
        }
    }
    return parts;
}

// The leading digits of `text` as a number, and how many there were.
std::pair<int, int> leadingNumber(QStringView text)
{
    int value = 0;
    int digits = 0;
    while (digits < text.size() && text[digits].isDigit() && digits < 6)
        value = value * 10 + text[digits++].digitValue();
    return {value, digits};
}

std::optional<int> weekdayIndex(QStringView name)
{
    for (int i = 0; i < int(WeekdayNames.size()); ++i) {
        const QStringView full(WeekdayNames[i]);
        if (name.compare(full, Qt::CaseInsensitive) == 0 || name.compare(full.left(3), Qt::CaseInsensitive) == 0)
            return i;
    }
    return std::nullopt;
}

CalendarEvent::ParseError unexpected(QChar c, int column)
{
    if (c == u'~')
        return {column, QStringLiteral("the last-days form '~' is not supported")};
    if (c == u'.')
        return {column, QStringLiteral("fractions of a second are not supported")};
    return {column, QStringLiteral("unexpected '%1'").arg(c)};
}

} // namespace

bool CalendarEvent::Field::matches(int value) const
{
    for (const Span& span : spans) {
        if (value >= span.first && value <= span.last && (value - span.first) % span.step == 0)
            return true;
    }
    return false;
}

std::optional<CalendarEvent::ParseError> CalendarEvent::readField(
    QStringView text, int column, int lowest, int highest, bool isYear, Field& field)
{
    field.spans.clear();
    for (const Token& item : splitOn(text, column, u',')) {
        QStringView rest = item.text;
        int at = item.column;
        auto number = [&](int& value) -> std::optional<ParseError> {
            const auto [read, digits] = leadingNumber(rest);
            if (digits == 0)
                return rest.isEmpty() ? ParseError{at, QStringLiteral("a number is missing")} : unexpected(rest[0], at);
            value = isYear && digits <= 2 ? read + (read < 70 ? 2000 : 1900) : read;
            if (value < lowest || value > highest)
                return ParseError{at, QStringLiteral("%1 is out of range %2..%3").arg(read).arg(lowest).arg(highest)};
            rest = rest.mid(digits);
            at += digits;
            return std::nullopt;
        };
        Span span{lowest, highest, 1};
        if (rest.startsWith(u'*')) {
            rest = rest.mid(1);
            ++at;
            if (rest.startsWith(u'/'))
                return ParseError{at, QStringLiteral("a repetition needs a start, as in 0/15")};
        } else {
            if (auto error = number(span.first))
                return error;
            span.last = span.first;
            const bool isRange = rest.startsWith(u"..");
            if (isRange) {
                const int rangeColumn = at;
                rest = rest.mid(2);
                at += 2;
                if (auto error = number(span.last))
                    return error;
                if (span.last < span.first)
                    return ParseError{rangeColumn, QStringLiteral("a range must not run backwards")};
            }
            if (rest.startsWith(u'/')) {
                rest = rest.mid(1);
                ++at;
                const auto [step, digits] = leadingNumber(rest);
                if (digits == 0 || step == 0)
                    return ParseError{at, QStringLiteral("a repetition needs a step of 1 or more")};
                span.step = step;
                if (!isRange)
                    span.last = highest;
                rest = rest.mid(digits);
                at += digits;
            }
        }
        if (!rest.isEmpty())
            return unexpected(rest[0], at);
        field.spans.append(span);
    }
    return std::nullopt;
}

std::optional<CalendarEvent::ParseError> CalendarEvent::readWeekdays(QStringView text, int column, unsigned& mask)
{
    mask = 0;
    for (const Token& item : splitOn(text, column, u',')) {
        qsizetype dots = item.text.indexOf(u"..");
        const int separator = dots >= 0 ? 2 : 1;
        if (dots < 0)
            dots = item.text.indexOf(u'-');
        const QStringView firstName = dots < 0 ? item.text : item.text.left(dots);
        const auto first = weekdayIndex(firstName);
        if (!first)
            return ParseError{item.column, QStringLiteral("'%1' is not a weekday").arg(firstName)};
        auto last = first;
        if (dots >= 0) {
            const int lastColumn = item.column + int(dots) + separator;
            last = weekdayIndex(item.text.mid(dots + separator));
            if (!last)
                return ParseError{
                    lastColumn, QStringLiteral("'%1' is not a weekday").arg(item.text.mid(dots + separator))};
            if (*last < *first)
                return ParseError{lastColumn, QStringLiteral("a weekday range runs from Monday to Sunday")};
        }
        for (int day = *first; day <= *last; ++day)
            mask |= 1u << day;
    }
    return std::nullopt;
}

std::optional<CalendarEvent::ParseError> CalendarEvent::readDate(QStringView text, int column, CalendarEvent& event)
{
    if (const qsizetype tilde = text.indexOf(u'~'); tilde >= 0)
        return unexpected(u'~', column + int(tilde));
    const QList<Token> parts = splitOn(text, column, u'-');
    if (parts.size() < 2 || parts.size() > 3)
        return ParseError{column, QStringLiteral("a date is MONTH-DAY or YEAR-MONTH-DAY")};
    const int month = int(parts.size()) - 2;
    if (parts.size() == 3) {
        if (auto error = readField(parts[0].text, parts[0].column, FirstYear, LastYear, true, event.m_year))
            return error;
    }
    if (auto error = readField(parts[month].text, parts[month].column, 1, 12, false, event.m_month))
        return error;
    return readField(parts[month + 1].text, parts[month + 1].column, 1, 31, false, event.m_day);
}

std::optional<CalendarEvent::ParseError> CalendarEvent::readTime(QStringView text, int column, CalendarEvent& event)
{
    const QList<Token> parts = splitOn(text, column, u':');
    if (parts.size() < 2 || parts.size() > 3)
        return ParseError{column, QStringLiteral("a time is HOUR:MINUTE or HOUR:MINUTE:SECOND")};
    if (auto error = readField(parts[0].text, parts[0].column, 0, 23, false, event.m_hour))
        return error;
    if (auto error = readField(parts[1].text, parts[1].column, 0, 59, false, event.m_minute))
        return error;
    if (parts.size() == 3)
        return readField(parts[2].text, parts[2].column, 0, 59, false, event.m_second);
    return std::nullopt;
}

std::variant<CalendarEvent, CalendarEvent::ParseError> CalendarEvent::parse(QStringView text)
{
    QList<Token> tokens;
    for (qsizetype i = 0; i < text.size();) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && !text[end].isSpace())
            ++end;
        tokens.append({text.mid(i, end - i), int(i) + 1});
        i = end;
    }
    if (tokens.isEmpty())
        return ParseError{1, QStringLiteral("the expression is empty")};
    for (const auto& [name, form] : Shorthands) {
        if (tokens[0].text.compare(QStringView(name), Qt::CaseInsensitive) == 0) {
            // Its parts cannot be wrong; a zone after it keeps its own column.
            QList<Token> expanded;
            for (const Token& part : splitOn(QStringView(form), tokens[0].column, u' '))
                expanded.append({part.text, tokens[0].column});
            tokens = expanded + tokens.mid(1);
            break;
        }
    }

    CalendarEvent event;
    event.m_year.spans = {{FirstYear, LastYear, 1}};
    event.m_month.spans = {{1, 12, 1}};
    event.m_day.spans = {{1, 31, 1}};
    event.m_hour.spans = event.m_minute.spans = event.m_second.spans = {{0, 0, 1}};
    bool haveDate = false;
    bool haveTime = false;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        const bool startsWithLetter = token.text[0].isLetter();
        std::optional<ParseError> error;
        if (startsWithLetter && i == 0) {
            error = readWeekdays(token.text, token.column, event.m_weekdays);
        } else if (startsWithLetter && i == tokens.size() - 1) {
            const QTimeZone zone(token.text.toUtf8());
            if (!zone.isValid())
                return ParseError{token.column, QStringLiteral("'%1' is not a known time zone").arg(token.text)};
            event.m_zone = zone;
        } else if (haveTime) {
            error = ParseError{token.column, QStringLiteral("nothing but a time zone may follow the time")};
        } else if (token.text.contains(u':')) {
            haveTime = true;
            error = readTime(token.text, token.column, event);
        } else if (!haveDate && !startsWithLetter) {
            haveDate = true;
            error = readDate(token.text, token.column, event);
        } else {
            error = ParseError{token.column, QStringLiteral("expected a date or a time")};
        }
        if (error)
            return *error;
    }
    return event;
}

bool CalendarEvent::dateMatches(QDate date) const
{
    return m_day.matches(date.day()) && (m_weekdays & (1u << (date.dayOfWeek() - 1))) != 0;
}

// The zone's wall clock maps a local time to no moment (a gap), to one, or
// to two (a repeated hour); the offsets in force a day either side and at
// the time itself are the only candidates, and a candidate holds when the
// zone keeps that very offset at the moment it gives.
std::optional<QDateTime> CalendarEvent::firstOnDay(
    QDate day, QTime from, const QDateTime& after, const QTimeZone& zone) const
{
    const qint64 afterSecs = after.toSecsSinceEpoch();
    auto elapse = [&](int hour, int minute, int second) -> std::optional<QDateTime> {
        const qint64 wall = QDateTime(day, QTime(hour, minute, second), Qt::UTC).toSecsSinceEpoch();
        std::optional<qint64> first;
        for (const qint64 probe : {wall - 86400, wall, wall + 86400}) {
            const int offset = zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(probe, Qt::UTC));
            const qint64 moment = wall - offset;
            if (zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(moment, Qt::UTC)) != offset)
                continue;
            if (moment > afterSecs && (!first || moment < *first))
                first = moment;
        }
        if (!first)
            return std::nullopt;
        return QDateTime::fromSecsSinceEpoch(*first, zone);
    };
    for (int hour = from.hour(); hour < 24; ++hour) {
        if (!m_hour.matches(hour))
            continue;
        const bool firstHour = hour == from.hour();
        for (int minute = firstHour ? from.minute() : 0; minute < 60; ++minute) {
            if (!m_minute.matches(minute))
                continue;
            const bool firstMinute = firstHour && minute == from.minute();
            for (int second = firstMinute ? from.second() : 0; second < 60; ++second) {
                if (!m_second.matches(second))
                    continue;
                if (auto found = elapse(hour, minute, second))
                    return found;
            }
        }
    }
    return std::nullopt;
}

// The search walks the wall clock forward from the second after `after`:
// whole years, then whole months, then days, skipping what cannot match.
std::optional<QDateTime> CalendarEvent::nextAfter(const QDateTime& after, const QTimeZone& zone) const
{
    const QTimeZone& in = m_zone ? *m_zone : zone;
    const QDateTime local = after.toTimeZone(in);
    QDate day = local.date();
    const QTime now = local.time();
    QTime from(now.hour(), now.minute(), now.second());
    if (from == QTime(23, 59, 59)) {
        day = day.addDays(1);
        from = QTime(0, 0);
    } else {
        from = from.addSecs(1);
    }
    while (day.isValid() && day.year() <= LastYear) {
        if (!m_year.matches(day.year())) {
            day = QDate(day.year() + 1, 1, 1);
        } else if (!m_month.matches(day.month())) {
            day = QDate(day.year(), day.month(), 1).addMonths(1);
        } else {
            if (dateMatches(day)) {
                if (auto found = firstOnDay(day, from, after, in))
                    return found;
            }
            day = day.addDays(1);
        }
        from = QTime(0, 0);
    }
    return std::nullopt;
}

} // namespace orva::hub
