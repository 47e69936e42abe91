#include "support/board_log.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "support/loaded_source.h"
#include "support/temp_file.h"

namespace qx {

std::string BoardLogPath() { return TempFile("qxsim-log.txt"); }

void ConfigureBoard(const std::string &keys) {
    static HMODULE kvd = LoadLibraryA("Kvd.dll");
    std::string path = BoardLogPath();
    DeleteFileA(path.c_str());
    auto configure = Export<int (*)(const char *)>(kvd, "KvSimConfigure");
    ASSERT_NE(configure, nullptr) << "Kvd.dll has no KvSimConfigure";
    std::string text = "log = " + path + "\n" + keys;
    ASSERT_EQ(configure(text.c_str()), 0) << "bad board configuration:\n" << text;
}

std::vector<std::string> BoardLog() {
    std::vector<std::string> lines;
    std::ifstream in(BoardLogPath());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> BoardLogMatching(const std::string &prefix) {
    std::vector<std::string> lines;
    for (const std::string &line : BoardLog())
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    return lines;
}

bool LogLineMatches(const std::string &logged, const std::string &line) {
    if (!line.empty() && line.back() == '*')
        return logged.compare(0, line.size() - 1, line, 0, line.size() - 1) == 0;
    return logged == line;
}

int LogIndex(const std::vector<std::string> &log, const std::string &line, int from) {
    for (int i = std::max(from, 0); i < static_cast<int>(log.size()); ++i)
        if (LogLineMatches(log[i], line)) return i;
    return -1;
}

int LogCount(const std::vector<std::string> &log, const std::string &line) {
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const std::string &logged) {
        return LogLineMatches(logged, line);
    }));
}

bool LogHasInOrder(const std::vector<std::string> &log, const std::vector<std::string> &lines) {
    int at = 0;
    for (const std::string &line : lines) {
        at = LogIndex(log, line, at);
        if (at < 0) return false;
        ++at;
    }
    return true;
}

bool Logged(const std::string &line) { return LogIndex(BoardLog(), line) >= 0; }

int FramesStarted() { return static_cast<int>(BoardLogMatching("KvAqCommand 2 2 ").size()); }

uint32_t RampSample(uint32_t x, uint32_t y, uint32_t frame, uint32_t depth, bool highBits) {
    uint32_t mask = (1u << depth) - 1;
    uint32_t value = (x + 3 * y + 5 * frame) & mask;
    if (highBits) value |= ~mask & 0xFFFF;
    return value;
}

uint8_t RampByte(uint32_t x, uint32_t y, uint32_t frame, uint32_t k) {
    return static_cast<uint8_t>(x + 3 * y + 5 * frame + 80 * k);
}

}  // namespace qx
