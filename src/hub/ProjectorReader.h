#pragma once

#include "hub/ConfigValues.h"
#include "hub/HubConfig.h"

#include <toml++/toml.h>

namespace orva::hub::config {

// Reads the keys of one [[projector]] table into `projector`, reporting
// each unknown or wrong key; `named` says whether a valid name was read.
// What the table leaves out keeps the defaults of ProjectorConfig; checks
// across projectors (unique names and ports) are the caller's.
void readProjector(Reporter& report, const toml::table& table, ProjectorConfig& projector, bool& named);

} // namespace orva::hub::config
