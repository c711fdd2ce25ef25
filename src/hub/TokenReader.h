#pragma once

#include "hub/ConfigValues.h"
#include "hub/HubConfig.h"

#include <toml++/toml.h>

namespace orva::hub::config {

// The HTTP door's tokens in the configuration: http-token, the [[token]]
// tables and http-reads.
//
// A token's secret is written as `secret`, or read from `secret-file` (an
// absolute path of a regular file that others may not read, its content
// trimmed of blanks and line ends) each time the configuration is read.
// Every secret, http-token's too, is 16 to 256 visible ASCII characters
// with at least 8 different ones. Names are as projectors' and unique;
// "default" is http-token's holder when there is one, and "local" stays the
// name of a request without a token, so neither is taken. Two tokens may
// not share a secret: the secret names the holder.

// A secret strong enough to be a token, and the rule for people.
bool isStrongSecret(const QString& secret);
QString strongSecretRule();

// The root's "token" value, once http-token is read.
void readTokens(Reporter& report, const toml::node& node, HubConfig& config);
void readHttpReads(Reporter& report, const toml::node& node, HubConfig& config);

// Checks of the HTTP door's access across the file: off loopback it needs a
// token; http-reads = "token" needs one to read with; reads left open by
// default off loopback are warned about.
void checkHttpAccess(Reporter& report, const toml::table& root, const HubConfig& config);

} // namespace orva::hub::config
