#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>
#include <QTimeZone>

#include <optional>
#include <variant>

namespace orva::hub {

// A repeating moment written as a systemd calendar event (OnCalendar=):
//   [WEEKDAYS] [[YEAR-]MONTH-DAY] [HOUR:MINUTE[:SECOND]] [ZONE]
// with `*`, lists (`8,12`), ranges (`Mon..Fri`, `8..18`), repetitions
// (`0/15`, `8..18/2`), the shorthands minutely, hourly, daily, weekly,
// monthly, yearly, annually, quarterly and semiannually, and an IANA zone
// (or UTC) at the end. Whole seconds only; the last-days form `~` is refused.
//
// The event holds no clock: nextAfter() is a pure function of a moment and a
// zone, and it walks the zone's wall clock as systemd does. A wall time that
// the zone skips that day does not elapse; a wall time the zone repeats
// elapses once, at its first occurrence after the moment asked about.
class CalendarEvent
{
public:
    // Why a text is not an event, and the 1-based column where it goes wrong.
    struct ParseError
    {
        int column = 1;
        QString reason;
    };

    static std::variant<CalendarEvent, ParseError> parse(QStringView text);

    // The first elapse strictly after `after`, in the event's own zone if it
    // names one, else in `zone`; none if no such moment before 2200.
    std::optional<QDateTime> nextAfter(const QDateTime& after, const QTimeZone& zone) const;

    // The zone written in the expression, if any.
    std::optional<QTimeZone> ownZone() const { return m_zone; }

private:
    // One item of a field's list: `*`, a value, a range, each with a step.
    struct Span
    {
        int first = 0;
        int last = 0;
        int step = 1;
    };
    struct Field
    {
        QList<Span> spans;
        bool matches(int value) const;
    };

    static std::optional<ParseError> readField(
        QStringView text, int column, int lowest, int highest, bool isYear, Field& field);
    static std::optional<ParseError> readWeekdays(QStringView text, int column, unsigned& mask);
    static std::optional<ParseError> readDate(QStringView text, int column, CalendarEvent& event);
    static std::optional<ParseError> readTime(QStringView text, int column, CalendarEvent& event);

    bool dateMatches(QDate date) const;
    std::optional<QDateTime> firstOnDay(QDate day, QTime from, const QDateTime& after, const QTimeZone& zone) const;

    unsigned m_weekdays = 0x7f; // bit 0 Monday .. bit 6 Sunday
    Field m_year, m_month, m_day, m_hour, m_minute, m_second;
    std::optional<QTimeZone> m_zone;
};

} // namespace orva::hub
