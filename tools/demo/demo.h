// qxdemo: one acquisition from QXTwain through the Source Manager, told step
// by step. Everything the program knows lives in g_demo.
#pragma once

#include <windows.h>

#include <string>

#include "ds/twain.h"

enum class TransferKind { Native, Memory, File };

struct DemoOptions {
    uint32_t depth = 8;
    uint32_t width = 640;
    uint32_t height = 480;
    std::string out = "qxdemo.bmp";
    TransferKind transfer = TransferKind::Native;
    bool interactive = false;
    // With a name: the dialog is scripted and a screenshot is taken of the preview.
    std::string screenshot;
};

struct Demo {
    DemoOptions options;
    HMODULE dsmLibrary;
    DSMENTRYPROC dsmEntry;
    HWND window;
    TW_IDENTITY app;
    TW_IDENTITY source;
    bool dsmOpen;
    bool sourceOpen;
    bool enabled;
    // Set when the event loop should end; failed when the run did not do what it should.
    bool finished;
    bool failed;
    int framesWritten;
};

extern Demo g_demo;

// options.cpp
bool ParseOptions(int argc, char **argv, DemoOptions *options);
void PrintUsage();

// board_config.cpp: the simulated board's settings, written before the source loads.
bool WriteBoardConfig(const DemoOptions &options);

// twain_calls.cpp: every TWAIN call goes through these and is printed.
bool LoadSourceManager();
// To the source when dest is set, else to the Source Manager; prints the
// triplet, the result and, on failure, the condition code.
TW_UINT16 Call(TW_IDENTITY *dest, TW_UINT32 group, TW_UINT16 dataType, TW_UINT16 message,
               TW_MEMREF data);
// DAT_STATUS of the source (dest) or of the Source Manager; prints it.
TW_UINT16 QueryStatus(TW_IDENTITY *dest);
const char *ReturnCodeName(TW_UINT16 code);
const char *MessageName(TW_UINT16 message);
void PrintIdentity(const char *what, const TW_IDENTITY &identity);
void Step(const char *format, ...);
bool Fail(const char *format, ...);

// session.cpp: opening and closing the Source Manager and the source.
bool CreateMainWindow();
bool OpenSourceManager();
bool ListSources();
bool OpenSource();
bool EnableSource(bool showUI);
void ShutDown();

// capabilities.cpp
void PrintCapabilities();
// Sets ICAP_XFERMECH for the chosen transfer (a refusal is reported, not fatal).
void ChooseTransferMechanism();

// event_loop.cpp: a GetMessage loop passing every message through MSG_PROCESSEVENT.
void RunEventLoop(DWORD idleLimitMs);

// transfer.cpp: what follows MSG_XFERREADY.
bool TransferOneImage();
std::string OutputName();

// bitmap_file.cpp
bool WriteDibFile(const std::string &path, HGLOBAL dib);
// Rows top line first, rowBytes apart; bitsPerPixel 8 (grey palette) or 24 (BGR).
bool WriteBmpFile(const std::string &path, uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                  const uint8_t *rows, size_t rowBytes);
bool CheckBmpFile(const std::string &path);

// interactive.cpp: the scripted dialog of --screenshot.
void StartDialogScript();
void DialogScriptTick();
