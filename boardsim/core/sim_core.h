// What the five board libraries share through qxsimcore.dll: the configuration,
// the frame counter and the wait script, the call log and the last board failure.
// One copy per process, whichever of the libraries are loaded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/maker_constants.h"

// How the board-selection dialog answers (key `select`).
enum : uint32_t { QXS_SELECT_SHOW, QXS_SELECT_BOARD, QXS_SELECT_CANCEL };

// Frame contents (key `pattern`), in the order of the key's names.
enum : uint32_t {
    QXS_PATTERN_RAMP, QXS_PATTERN_BARS, QXS_PATTERN_CHECKER, QXS_PATTERN_NOISE,
    QXS_PATTERN_TARGET, QXS_PATTERN_FILES
};

// The largest image the board delivers: 1 GiB.
constexpr uint64_t QXS_MAX_IMAGE_BYTES = uint64_t(1) << 30;

constexpr size_t QXS_PATH_MAX = 260;

// The board families the simulator installs, those of KV_FAMILIES.
constexpr size_t QXS_FAMILY_COUNT = sizeof KV_FAMILIES / sizeof KV_FAMILIES[0];

// Where a family stands in KV_FAMILIES (and boardCount); -1 for a family the
// board does not know.
constexpr int QxsFamilyIndex(uint32_t family) {
    for (size_t i = 0; i < QXS_FAMILY_COUNT; ++i)
        if (KV_FAMILIES[i] == family) return int(i);
    return -1;
}

// One configuration, every key resolved (defaults and derived values filled in).
struct QxsSettings {
    // Installed boards per family, in the order of KV_FAMILIES.
    uint32_t boardCount[QXS_FAMILY_COUNT];
    uint32_t versionMajor;
    uint32_t versionMinor;
    uint32_t width;
    uint32_t height;
    uint32_t depth;
    uint32_t bytesPerPixel;
    uint32_t lineBytes;
    uint32_t imageBytes;
    uint32_t signalsPerFrame;
    uint32_t frameMs;
    uint32_t qtabMode;
    uint32_t selectMode;
    uint32_t selectFamily;
    uint32_t selectNumber;
    uint32_t findResult;
    uint32_t openResult;
    uint32_t setupResult;
    uint32_t rearmResult;
    uint32_t writeResult;
    uint32_t cancelSignalMs;
    uint32_t highBits;
    uint32_t pattern;
    uint32_t seed;
    char log[QXS_PATH_MAX];
    char frames[QXS_PATH_MAX];
};

extern "C" {

// A copy of the configuration in force.
void QxsGetSettings(QxsSettings *settings);
// Installed boards of a family (0 for a family the board does not know).
uint32_t QxsBoardCount(uint32_t family);
// Replaces the configuration; 0, or the 1-based number of the first bad line.
int QxsConfigure(const char *text);

// Writes frame n of the configuration in force into dst: at most `bytes`
// bytes, and never more than the configured image size.
void QxsFillFrame(uint8_t *dst, uint32_t bytes, uint32_t n);

// For the configuration tool. Checks a configuration text and calls report
// for every bad line, in line order; returns the number of bad lines.
typedef void (*QxsBadLineReport)(void *context, int line, const char *key, const char *reason);
int QxsCheckConfig(const char *text, QxsBadLineReport report, void *context);
// The configuration in force as `key = value` text (every key), and where the
// start-up configuration came from. Both write at most size bytes.
void QxsFormatConfig(char *text, size_t size);
void QxsConfigOrigin(char *text, size_t size);

// Consumes the next entry of the wait script. Returns 1 and the result to give
// when the entry forces one; 0 when the wait behaves normally (`ok`, or no script).
int QxsTakeScriptedWait(uint32_t *result);
// 1 when the next entry of the wait script forces a result (without consuming it).
int QxsNextWaitIsScripted();
// Number of the frame being started; counts from 0 since the configuration.
uint32_t QxsStartFrame();

// Records the text that QXErrorShow shows for the board's last failure.
void QxsSetFailure(const char *format, ...) __attribute__((format(printf, 1, 2)));
void QxsGetFailure(char *text, size_t size);

// Every exported call of the five libraries ends through one of these: they
// append its line to the call log (" -> result" for QxsEndCall) and, on the
// first call of the process, report a configuration file that could not be used.
uint32_t QxsEndCall(uint32_t result, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void QxsEndVoidCall(const char *format, ...) __attribute__((format(printf, 1, 2)));

}  // extern "C"
