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

#include "twain/names.h"
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
    bool answered = false;  // --help or --version said all there was to say
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

// Where a triplet goes through DSM_Entry.
enum Destination { ToSourceManager, ToSource };
// Whether --verbose prints a call.
enum Tracing { Traced, Untraced };
// Whether a refusal is reported (and ends the run) or only noted.
enum Refusal { Reported, Quiet };

// The TWAIN states an application passes through, as the protocol numbers
// them; the session is always in one.
enum class TwainState {
    PreSession = 1,      // no Source Manager loaded
    ManagerLoaded = 2,   // loaded, not open
    ManagerOpen = 3,     // open: sources can be listed and opened
    SourceOpen = 4,      // capabilities can be negotiated
    SourceEnabled = 5,   // the source acquires (or shows its dialog)
    TransferReady = 6,   // MSG_XFERREADY came: frames are pending
    Transferring = 7,    // the source is handing a frame over
};

class BufferPool;
class FrameWriter;

struct Session {
    Options options;
    HMODULE dsmLibrary = nullptr;
    DSMENTRYPROC dsmEntry = nullptr;
    HWND window = nullptr;
    TW_IDENTITY app = {};
    TW_IDENTITY source = {};
    TwainState state = TwainState::PreSession;
    // The last triplet sent, to whom, and the capability it was about (0
    // for none): what a failure report names.
    Triplet last = {};
    Destination lastTo = ToSourceManager;
    TW_UINT16 lastCapability = 0;
    // What the run is doing: the step an error that interrupts it names.
    const char *step = "start";
    // Set when the event loop should end; exitCode is what the run ends with.
    bool finished = false;
    int exitCode = ExitSuccess;
    // Set by other threads: Ctrl+C (the console handler), or a failure that a
    // thread without a session of its own has printed (FailOnOtherThread).
    volatile LONG interrupted = 0;
    volatile LONG failedElsewhere = 0;
    bool heardFromSource = false;
    // File transfers: the format the source writes, and whether its file is
    // then re-encoded into the asked one.
    TW_UINT16 fileFormat = TWFF_BMP;
    bool convertFile = false;
    // Frames are written on the writer's thread while the next is transferred;
    // their pixels' memory is used again for later frames.
    FrameWriter *writer = nullptr;
    BufferPool *buffers = nullptr;
    // Frames handed over and ended during the run; once the writer is done,
    // the frames written and their bytes.
    uint32_t framesTransferred = 0;
    uint32_t framesWritten = 0;
    uint64_t bytesWritten = 0;
    DWORD firstTransferStart = 0;
};

// output.cpp: each line goes out whole (above the progress line), whichever
// thread prints it.
void Print(const char *format, ...);
void Trace(const Session &s, const char *format, ...);
// The run ends with exitCode, unless it has an exit status already; false.
bool EndWith(Session &s, int exitCode);
// A failure of the program itself (no triplet involved): "error: ..."; false.
bool Fail(Session &s, int exitCode, const char *format, ...);
// "error: ..." and what to try after that condition code; false.
bool FailWithHint(Session &s, int exitCode, const std::string &error, TW_UINT16 conditionCode);
// Inside a catch: the exception caught as "error: ..." saying what it stopped
// (`doing`, e.g. "transfer frame 3"); no memory, or a size past what one
// block holds, with the low-memory hint. Exit status 1; false.
bool FailOnException(Session &s, const std::string &doing);
// The same, inside a catch on a thread that is not the main one and has no
// session of its own: said at once (only the first time), and the main
// thread ends the run with exit status 1 when it next looks (EndAsked).
void FailOnOtherThread(Session &s, const std::string &doing);
// Where what is said besides the results goes: stderr when stdout carries JSON.
FILE *InfoStream(const Session &s);

// options.cpp
bool ParseOptions(int argc, char **argv, Options *options);

// twain_calls.cpp
bool LoadSourceManager(Session &s);
// The triplet to the source or to the Source Manager, remembered as the last
// call; with --verbose a traced call and its result are printed.
TW_UINT16 Call(Session &s, Destination to, Triplet triplet, TW_MEMREF data, Tracing tracing = Traced);
// Prints the last call, its return and condition codes by name and the hint
// for the condition code; sets the exit code (unless one is set already) and
// returns false.
bool Refused(Session &s, TW_UINT16 result, int exitCode = ExitSourceFailed);
// Call, and Refused unless it answers TWRC_SUCCESS.
bool Succeeds(Session &s, Destination to, Triplet triplet, TW_MEMREF data,
              int exitCode = ExitSourceFailed);
// Condition code of the source or of the Source Manager, 0xFFFF when
// DAT_STATUS itself failed.
TW_UINT16 ConditionCode(Session &s, Destination of);
// Ctrl+C and console close: the run ends as if the user cancelled.
void InstallInterruptHandler(Session &s);
// Whether another thread asked the run to end: Ctrl+C, or a failure there.
// The first time, the run's exit status is set (3, or 1) and Ctrl+C said.
bool EndAsked(Session &s);
// The step the run is in and its last call: what an error that interrupts it names.
std::string Doing(const Session &s);

// unattended.cpp: with --unattended, every box of this process is printed
// and closed with its default button, for as long as the object lives.
class BoxCloser {
public:
    explicit BoxCloser(Session &s);
    ~BoxCloser();
    BoxCloser(const BoxCloser &) = delete;
    BoxCloser &operator=(const BoxCloser &) = delete;

private:
    static DWORD WINAPI CloseBoxes(void *closer);
    Session &session_;
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
// Takes the session down to `state` a step at a time, each step taken
// whatever happened before it; ShutDown goes down to PreSession.
void StepDown(Session &s, TwainState state);
void ShutDown(Session &s);

// capabilities.cpp
// --caps: the source's capabilities, a table or (--json) JSON.
bool PrintCapabilities(Session &s);
bool ApplySettings(Session &s);
// MSG_SET of a TW_ONEVALUE; false (reported) when the source refuses.
bool SetCapability(Session &s, TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value,
                   Refusal refusal = Reported);
// MSG_GET of cap's list of allowed values (enumeration or array) or one value.
bool AllowedValues(Session &s, TW_UINT16 cap, std::vector<TW_UINT32> *values);
// MSG_GETCURRENT of cap; false (not reported) when the source does not say.
bool CurrentValue(Session &s, TW_UINT16 cap, TW_UINT32 *value);

// event_loop.cpp: a GetMessage loop passing every message through MSG_PROCESSEVENT.
void RunEventLoop(Session &s);

// transfer.cpp: what follows MSG_XFERREADY.
// MSG_ENDXFER of the frame handed over: to TransferReady while the source
// offers more, else SourceEnabled.
bool EndTransfer(Session &s);
// MSG_RESET: what the source still offers is discarded (to SourceEnabled).
void ResetTransfers(Session &s);
bool PrepareTransfers(Session &s);
void TransferFrames(Session &s);
void PrintSummary(const Session &s);

// image_output.h: frames as image files.
