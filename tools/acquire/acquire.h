// qxacquire: a TWAIN application for any source. It drives a source through
// a Source Manager as a well-behaved application does: lists sources, reads
// and sets capabilities, and acquires frames by native, memory or file
// transfer into image files. A run's state is one Session, passed along.
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
    bool unattended = false;
    bool acquire = true;  // false when only --list or --caps were asked for
    std::vector<CapabilitySetting> settings;
    TW_UINT16 mechanism = TWSX_NATIVE;
    bool mechanismGiven = false;  // by --mech or --set ICAP_XFERMECH
    uint32_t count = 1;
    uint32_t bits = 0;  // significant bits of deep grey samples; 0: not given
    std::string outFolder = "out";
    qximg::ImageFormat format = qximg::ImageFormat::Png;
};

struct Triplet {
    TW_UINT32 group;
    TW_UINT16 dataType;
    TW_UINT16 message;
};

class FrameWriter;

struct Session {
    Options options;
    HMODULE dsmLibrary = nullptr;
    DSMENTRYPROC dsmEntry = nullptr;
    HWND window = nullptr;
    TW_IDENTITY app = {};
    TW_IDENTITY source = {};
    bool dsmOpen = false;
    bool sourceOpen = false;
    bool enabled = false;
    // The last triplet sent and to whom: what a failure report names.
    Triplet last = {};
    bool lastToSource = false;
    // Set when the event loop should end; exitCode is what the run ends with.
    bool finished = false;
    int exitCode = ExitSuccess;
    volatile LONG interrupted = 0;
    bool heardFromSource = false;
    // File transfers: the format the source writes, and whether its file is
    // then re-encoded into the asked one.
    TW_UINT16 fileFormat = TWFF_BMP;
    bool convertFile = false;
    // Frames are written on the writer's thread while the next is transferred.
    FrameWriter *writer = nullptr;
    // Transfers done and what they carried (once the writer is done, the
    // frames written).
    uint32_t framesWritten = 0;
    uint64_t bytesTransferred = 0;
    DWORD firstTransferStart = 0;
};

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
// "MSG_GET", "MSG_SET", ... for the bits of a MSG_QUERYSUPPORT reply.
std::vector<const char *> SupportedMessageNames(TW_UINT32 support);
// "ICAP_PIXELTYPE", or "0x8001" for a code without a name.
std::string CapabilityName(TW_UINT16 cap);
// The name of a value of cap ("TWPT_GRAY"), or nullptr when it has none.
const char *CapabilityValueName(TW_UINT16 cap, TW_UINT32 value);
// A capability by name ("ICAP_PIXELTYPE", "pixeltype", "0x0101").
bool CapabilityByName(const std::string &text, TW_UINT16 *cap);
// A value of cap by name ("TWPT_GRAY", "gray") or number.
bool CapabilityValueByName(TW_UINT16 cap, const std::string &text, TW_UINT32 *value);
// A number in C notation (decimal, 0x hexadecimal), signed or not.
bool ParseNumber(const std::string &text, TW_UINT32 *value);

// twain_calls.cpp
bool LoadSourceManager(Session &s);
// To the source when toSource, else to the Source Manager; remembered as the
// last call. With --verbose (and trace) the triplet and its result are printed.
TW_UINT16 Call(Session &s, bool toSource, Triplet triplet, TW_MEMREF data, bool trace = true);
// Prints the last call, its return and condition codes by name and the
// hint; sets the exit code (unless one is set already) and returns false.
bool Refused(Session &s, TW_UINT16 result, const char *hint, int exitCode = ExitSourceFailed);
// Call, and Refused unless it answers TWRC_SUCCESS.
bool Succeeds(Session &s, bool toSource, Triplet triplet, TW_MEMREF data, const char *hint = "",
              int exitCode = ExitSourceFailed);
// Condition code of the source or of the Source Manager, 0xFFFF when
// DAT_STATUS itself failed.
TW_UINT16 ConditionCode(Session &s, bool ofSource);
// A failure of the program itself (no triplet involved).
bool Fail(Session &s, int exitCode, const char *format, ...);
void Trace(const Session &s, const char *format, ...);
// Where what is said besides the results goes: stderr when stdout carries JSON.
FILE *InfoStream(const Session &s);
// Ctrl+C and console close: the run ends as if the user cancelled.
void InstallInterruptHandler(Session &s);

// unattended.cpp: with --unattended, every box of this process is printed
// and closed with its default button, for as long as the object lives.
class BoxCloser {
public:
    explicit BoxCloser(bool active);
    ~BoxCloser();
    BoxCloser(const BoxCloser &) = delete;
    BoxCloser &operator=(const BoxCloser &) = delete;

private:
    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
};

// session.cpp: the Source Manager, the choice of the source, enable, and the way down.
bool CreateMainWindow(Session &s);
bool OpenSourceManager(Session &s);
bool ListSources(Session &s);
bool OpenSource(Session &s);
bool EnableSource(Session &s);
bool DisableSource(Session &s);
void ShutDown(Session &s);

// capabilities.cpp
bool PrintCapabilities(Session &s, bool json);
bool ApplySettings(Session &s);
// MSG_SET of a TW_ONEVALUE; false (reported) when the source refuses.
bool SetCapability(Session &s, TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value,
                   bool quiet = false);
// MSG_GET of cap's list of allowed values (enumeration or array) or one value.
bool AllowedValues(Session &s, TW_UINT16 cap, std::vector<TW_UINT32> *values);

// event_loop.cpp: a GetMessage loop passing every message through MSG_PROCESSEVENT.
void RunEventLoop(Session &s);

// transfer.cpp: the mechanisms and what follows MSG_XFERREADY.
// "native", "memory", "file" of TWSX_NATIVE, TWSX_MEMORY, TWSX_FILE; nullptr for others.
const char *MechanismWord(TW_UINT32 mechanism);
bool MechanismByWord(const std::string &word, TW_UINT16 *mechanism);
bool PrepareTransfers(Session &s);
void TransferFrames(Session &s);
void PrintSummary(const Session &s);

// image_output.cpp
bool WriteDib(Session &s, const std::string &path, HGLOBAL dib);
// Rows of the memory transfer, top line first; *note tells how deep grey was written.
bool WriteStrips(Session &s, const std::string &path, const std::vector<uint8_t> &image,
                 uint32_t bytesPerRow, uint32_t columns, uint32_t rows, uint32_t bitsPerPixel,
                 std::string *note);
// Re-encodes a file the source wrote into the asked format.
bool ConvertFile(Session &s, const std::string &from, const std::string &to);
