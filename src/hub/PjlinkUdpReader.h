#pragma once

#include "hub/ConfigValues.h"
#include "hub/HubConfig.h"

#include <toml++/toml.h>

namespace orva::hub::config {

// The keys of PJLink's search and notifications, at the top of the file
// (pjlink-udp-port, pjlink-notify) and in a [[projector]] table (mac,
// pjlink-search, pjlink-notify), each read and checked as the other
// readers do.

// A top-level key of ours: read into config, true; any other: false.
bool readPjlinkUdpTopKey(Reporter& report, const QString& key, const toml::node& node, HubConfig& config);

// A list of notification targets: IPv4 addresses, each once, at most
// MaxNotifyTargets.
constexpr int MaxNotifyTargets = 16;
void readPjlinkNotify(Reporter& report, const toml::node& node, QStringList& targets);
// A hardware address (parseMac), in PJLink's form.
void readMac(Reporter& report, const toml::node& node, std::optional<QString>& mac);

// Across projectors: a search needs the PJLink door, and no two projectors
// answer with the same hardware address.
void checkPjlinkUdp(Reporter& report, const toml::array& tables, const HubConfig& config);

} // namespace orva::hub::config
