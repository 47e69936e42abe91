// qxacquire: a TWAIN application for any source. It drives a source through
// a Source Manager as a well-behaved application does: lists sources, reads
// and sets capabilities, and acquires frames by native, memory or file
// transfer into image files. Everything the program knows lives in g_app.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "twain.h"
#include "wic_image.h"

// Exit status of the program.
enum ExitCode : int {
    ExitSuccess = 0,
    ExitSourceFailed = 1,
    ExitBadCommandLine = 2,
    ExitCancelled = 3,
    ExitNoSource = 4,
};

enum class Mechanism { Native, Memory, File };

struct CapabilitySetting {
    std::string name;
    std::string value;
};

struct Options {
    std::string dsmPath;  // empty: TWAINDSM.DLL, else TWAIN_32.DLL
    std::string sourceName;  // empty: the Source Manager's default source
    bool list = false;
    bool caps = false;
    bool json = false;
    bool ui = false;
    bool verbose = false;
    bool acquire = true;  // false when only --list or --caps were asked for
    std::vector<CapabilitySetting> settings;
    Mechanism mechanism = Mechanism::Native;
    uint32_t count = 1;
    std::string outFolder = "out";
    qximg::ImageFormat format = qximg::ImageFormat::Png;
    // With a name: the dialog is scripted and a screenshot is taken of the preview.
    std::string screenshot;
};

struct Application {
    Options options;
    HMODULE dsmLibrary = nullptr;
    DSMENTRYPROC dsmEntry = nullptr;
    HWND window = nullptr;
    TW_IDENTITY app = {};
    TW_IDENTITY source = {};
    bool dsmOpen = false;
    bool sourceOpen = false;
    bool enabled = false;
    // Set when the event loop should end; exitCode is what the run ends with.
    bool finished = false;
    int exitCode = ExitSuccess;
    // Transfers done and what they carried.
    uint32_t framesWritten = 0;
    uint64_t bytesTransferred = 0;
    DWORD firstTransferStart = 0;
};

extern Application g_app;

// options.cpp
bool ParseOptions(int argc, char **argv, Options *options);
void PrintUsage();

// names.cpp: TWAIN names of codes, and codes of names.
struct Name {
    unsigned value;
    const char *text;
};
const char *DataGroupName(TW_UINT32 group);
const char *DataTypeName(TW_UINT16 dataType);
const char *MessageName(TW_UINT16 message);
const char *ReturnCodeName(TW_UINT16 code);
const char *ConditionCodeName(TW_UINT16 code);
const char *ContainerName(TW_UINT16 conType);
const char *ItemTypeName(TW_UINT16 itemType);
// "ICAP_PIXELTYPE", or "0x8001" for a code without a name.
std::string CapabilityName(TW_UINT16 cap);
// The name of a value of cap ("TWPT_GRAY"), or nullptr when it has none.
const char *CapabilityValueName(TW_UINT16 cap, TW_UINT32 value);
// A capability by name ("ICAP_PIXELTYPE", "pixeltype", "0x0101").
bool CapabilityByName(const std::string &text, TW_UINT16 *cap);
// A value of cap by name ("TWPT_GRAY", "gray") or number.
bool CapabilityValueByName(TW_UINT16 cap, const std::string &text, TW_UINT32 *value);

// twain_calls.cpp
bool LoadSourceManager();
// To the source when dest is set, else to the Source Manager. With --verbose
// the triplet and its result are printed.
TW_UINT16 Call(TW_IDENTITY *dest, TW_UINT32 group, TW_UINT16 dataType, TW_UINT16 message,
               TW_MEMREF data);
// Condition code of the source (dest) or of the Source Manager, 0xFFFF when
// DAT_STATUS itself failed.
TW_UINT16 ConditionCode(TW_IDENTITY *dest);
// Prints the failed triplet, its return and condition codes by name and the
// hint; sets the exit code (unless one is set already) and returns false.
bool Refused(TW_IDENTITY *dest, TW_UINT32 group, TW_UINT16 dataType, TW_UINT16 message,
             TW_UINT16 result, const char *hint, int exitCode = ExitSourceFailed);
// A failure of the program itself (no triplet involved).
bool Fail(int exitCode, const char *format, ...);
void Trace(const char *format, ...);
// Where what is said besides the results goes: stderr when stdout carries JSON.
FILE *InfoStream();
// Ctrl+C and console close: the run ends as if the user cancelled.
void InstallInterruptHandler();
bool Interrupted();

// session.cpp: the Source Manager, the choice of the source, enable, and the way down.
bool CreateMainWindow();
bool OpenSourceManager();
bool ListSources();
bool OpenSource();
bool EnableSource();
bool DisableSource();
void ShutDown();

// capabilities.cpp
bool PrintCapabilities(bool json);
bool ApplySettings();
// MSG_SET of a TW_ONEVALUE; false (reported) when the source refuses.
bool SetCapability(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value, bool quiet = false);
// MSG_GET of cap's list of allowed values (enumeration or array) or one value.
bool AllowedValues(TW_UINT16 cap, std::vector<TW_UINT32> *values);
bool PrepareTransfers();

// event_loop.cpp: a GetMessage loop passing every message through MSG_PROCESSEVENT.
void RunEventLoop();

// transfer.cpp: what follows MSG_XFERREADY.
void TransferFrames();
void PrintSummary();

// image_output.cpp
// The path of frame `index` (1-based) with the extension of format.
std::string FramePath(uint32_t index, qximg::ImageFormat format);
bool WriteDib(const std::string &path, HGLOBAL dib);
// Rows of the memory transfer, top line first; significantBits for 16-bit grey.
bool WriteStrips(const std::string &path, const std::vector<uint8_t> &image, uint32_t bytesPerRow,
                 uint32_t columns, uint32_t rows, uint32_t bitsPerPixel, uint32_t significantBits);
// Re-encodes a file the source wrote into the asked format.
bool ConvertFile(const std::string &from, const std::string &to);

// interactive.cpp: the scripted dialog of --screenshot.
void StartDialogScript();
void DialogScriptTick();
