#pragma once

#include "hub/HubConfig.h"

#include <toml++/toml.h>

#include <functional>

namespace orva::hub {

// Reads the configuration's [[schedule]] tables and its timezone key into a
// configuration whose projectors are already read, and checks them: names as
// projectors' and unique; `at` a calendar event (an error points at the
// column inside the string where it goes wrong); `action` an action the
// HTTP door knows; every target a projector, a group some projector lists,
// or "all" alone; `timezone` a zone this system knows.
class ScheduleReader
{
public:
    // Where and why a value is wrong; line and column are 1-based.
    using Complain = std::function<void(int line, int column, const QString& key, const QString& reason)>;

    explicit ScheduleReader(Complain complain);

    void readTimezone(const toml::node& node, HubConfig& config) const;
    // `node` is the root's "schedule" value; a file without one has none.
    void readSchedules(const toml::node& node, HubConfig& config) const;

private:
    void readOne(const toml::table& table, const HubConfig& config, ScheduleConfig& schedule) const;
    void readTargets(const toml::node& node, const HubConfig& config, QStringList& targets) const;
    void complain(const toml::source_region& where, const QString& key, const QString& reason) const;

    Complain m_complain;
};

} // namespace orva::hub
