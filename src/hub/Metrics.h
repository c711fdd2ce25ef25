#pragma once

#include "engine/protocol/ReplyValues.h"
#include "hub/Projector.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace orva::hub {

// A projector whose last answered poll is older than this many poll
// intervals counts as down, though its line is open: its queue is stuck
// behind other doors' frames, and what it last said is no longer current.
inline constexpr int StaleAfterPolls = 3;

// What the hub knows of one projector at a scrape: read from the cache and
// the counters only, never from the line.
struct ProjectorMetrics
{
    QString name;
    QString line;
    QStringList groups; // as configured; "all" is not among them
    bool up = false;    // up, and its last poll answered within StaleAfterPolls intervals
    std::array<ReplyValue, StatusQueryCount> values{}; // monostate: never read
    std::optional<double> lastPollSeconds;             // since the epoch
    Projector::Counters counters;
    std::array<std::optional<int>, Projector::DoorCount> clients{}; // by door; none when it has no such door
};

// The Prometheus text exposition (format 0.0.4) of every projector: a
// family per metric, each with HELP and TYPE, label values escaped. A value
// never read has no sample, and neither has any value of a projector that
// is not up: nobody can vouch for it now (the JSON API keeps the last
// values, each with the time it was read). Its info, last poll time and
// the hub's counters stay.
QByteArray renderMetrics(const std::vector<ProjectorMetrics>& projectors, int httpConnections);

// The Content-Type of what renderMetrics writes.
inline constexpr char MetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

} // namespace orva::hub
