// The simulated board's configuration and what its call log says.
// Log lines are compared whole, or by prefix when the expected line ends in '*'.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qx {

// Replaces the board's configuration with `keys` plus a fresh call log.
void ConfigureBoard(const std::string &keys = "");
std::string BoardLogPath();
std::vector<std::string> BoardLog();
// Log lines that start with prefix.
std::vector<std::string> BoardLogMatching(const std::string &prefix);

bool LogLineMatches(const std::string &logged, const std::string &line);
// Position of the first log line matching line at or after from; -1 when absent.
int LogIndex(const std::vector<std::string> &log, const std::string &line, int from = 0);
// Number of log lines matching line.
int LogCount(const std::vector<std::string> &log, const std::string &line);
// True when the lines appear in the log in this order (other lines may come between).
bool LogHasInOrder(const std::vector<std::string> &log, const std::vector<std::string> &lines);
// True when the board's log has a line matching line.
bool Logged(const std::string &line);
// Frames the board has started (its `KvAqCommand 2 2` lines).
int FramesStarted();

// Frame content of the simulated board's ramp pattern.
uint32_t RampSample(uint32_t x, uint32_t y, uint32_t frame, uint32_t depth, bool highBits = false);
uint8_t RampByte(uint32_t x, uint32_t y, uint32_t frame, uint32_t k);

}  // namespace qx
