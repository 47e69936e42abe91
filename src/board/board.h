// The source's one interface to the board maker's libraries. Every call into
// Kvd.dll, QXD.dll, QXEr.dll, QXDiskIO.dll and Vizpane.dll goes through here.
// Calls that act on the open board use g_source.boardHandle.
#pragma once

#include <windows.h>

#include <cstdint>

#include "board/board_types.h"
#include "board/maker_constants.h"

// How long the source waits for one frame signal.
constexpr uint32_t FRAME_WAIT_MS = 5000;

// Board library version.
void BoardLibraryVersion(uint32_t *major, uint32_t *minor);

// Discovery, selection and opening.
uint32_t BoardCount(uint32_t family);
uint32_t BoardFind(uint32_t family, uint32_t number, KvBoardEntry *entry);
uint32_t BoardSelectDialog(uint32_t *family, uint32_t *number);
uint32_t BoardOpen(KvBoardEntry *entry);
void BoardClose();

// One board parameter; 0 when the inquiry fails.
uint32_t BoardInquire(uint32_t parameter);

// Signals.
void BoardSignalCreate(uint32_t kind, KvSignal *signal);
uint32_t BoardSignalWait(KvSignal *signal, uint32_t timeoutMs);
// One frame on the frame signal: one wait, or two for boards that signal a
// frame twice (the second only after a good first).
uint32_t BoardWaitForFrame(bool twoSignalFrames);
void BoardSignalCancel(KvSignal *signal);
void BoardSignalFree(KvSignal *signal);

// Acquisition.
uint32_t BoardAcquireSetup(void *buffer, uint32_t imageBytes, uint32_t lineBytes);
uint32_t BoardCommand(uint32_t command, uint32_t mode);
void BoardAcquireCleanUp();
uint32_t BoardQTabMode();
void BoardShowError();

// Image files.
uint32_t BoardWriteImageFile(const char *fileName, const void *pixels, uint32_t width,
                             uint32_t height, uint32_t bitDepth);
void BoardShowFileError(uint32_t code);

// Display surfaces of the live preview.
void SurfaceCreate(uint32_t *surface, uint32_t width, uint32_t height, uint32_t depth,
                   HWND owner);
void *SurfacePixels(uint32_t surface);
bool SurfaceIsOpen(uint32_t surface);
void SurfaceBlit(uint32_t surface);
void SurfaceClose(uint32_t surface);
