// Inside qxsimcore.dll: setting the configuration in force.
#pragma once

#include "config_parse.h"

// Replaces the configuration and resets the wait script and the frame counter.
void ReplaceConfig(const SimConfig &config);
