// The configuration text of the simulated board: `key = value` lines.
#pragma once

#include <cstdint>
#include <vector>

#include "sim_core.h"

// One entry of the `waits` key: either a normal wait or a forced result.
struct ScriptedWait {
    bool normal;
    uint32_t result;
};

struct SimConfig {
    QxsSettings settings;
    std::vector<ScriptedWait> waits;
};

SimConfig DefaultConfig();
// Fills *config from text (keys not given take their defaults). Returns 0, or
// the 1-based number of the first bad line, leaving *config untouched.
int ParseConfig(const char *text, SimConfig *config);
