// The configuration text of the simulated board: `key = value` lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim_core.h"

struct FramePlan;

// One entry of the `waits` key: either a normal wait or a forced result.
struct ScriptedWait {
    bool normal;
    uint32_t result;
};

struct SimConfig {
    QxsSettings settings;
    std::vector<ScriptedWait> waits;
    // What frames are made from, prepared once for this configuration.
    std::shared_ptr<const FramePlan> plan;
};

// A line that cannot be used, and why.
struct ConfigError {
    int line;
    std::string key;  // empty when the line has no key
    std::string reason;
};

SimConfig DefaultConfig();
// Fills *config from text (keys not given take their defaults). Returns 0, or
// the 1-based number of the first bad line, leaving *config untouched; every
// bad line is added to *errors when given.
int ParseConfig(const char *text, SimConfig *config, std::vector<ConfigError> *errors = nullptr);
// The configuration as text that ParseConfig reads back to the same settings.
std::string FormatConfig(const SimConfig &config);
