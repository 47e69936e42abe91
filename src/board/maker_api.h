// Declarations of the Quorvex board maker's libraries as this source imports
// them: Kvd.dll (board access), QXD.dll (qtab mode, board errors), QXEr.dll
// (board selection), QXDiskIO.dll (image files) and Vizpane.dll (display
// surfaces). Only src/board/ (and the simulated board that implements these
// libraries) includes this file; the rest of the source goes through board.h.
//
// All functions use the C calling convention of Win64 and are exported by
// name. Records the source only passes around are opaque here; the numbers
// they take and give are in maker_constants.h.
#pragma once

#include <cstdint>

#include "board/board_types.h"
#include "board/maker_constants.h"

#ifdef _WIN32
#include <windows.h>
#else
typedef void *HWND;
#endif

extern "C" {

// Kvd.dll
uint32_t KvDVersion(uint32_t *major, uint32_t *minor);
uint32_t KvSysBrdEnum(uint32_t family, uint32_t *count);
uint32_t KvSysBrdFind(uint32_t family, uint32_t number, KvBoardEntry *entry);
uint32_t KvBrdOpen(KvBoardEntry *entry, KvBoard *board, uint32_t mode);
uint32_t KvBrdClose(KvBoard board);
uint32_t KvBrdInquire(KvBoard board, uint32_t parameter, uint32_t *value);
uint32_t KvSignalCreate(KvBoard board, uint32_t kind, KvSignal *signal);
uint32_t KvSignalWait(KvBoard board, KvSignal *signal, uint32_t timeoutMs, uint32_t *detail);
void KvSignalCancel(KvBoard board, KvSignal *signal);
uint32_t KvSignalFree(KvBoard board, KvSignal *signal);
uint32_t KvAqSetup(KvBoard board, void *buffer, uint32_t imageBytes, uint32_t lineBytes,
                   uint32_t arg5, uint32_t arg6, uint32_t arg7, uint8_t arg8, uint32_t arg9,
                   uint32_t arg10, uint32_t arg11);
uint32_t KvAqCommand(KvBoard board, uint32_t command, uint32_t mode, uint32_t arg4,
                     uint32_t arg5);
uint32_t KvAqCleanUp(KvBoard board, uint32_t arg);

// Kvd.dll, simulated board only: replaces the configuration (see board-simulator docs).
int KvSimConfigure(const char *text);

// QXD.dll
uint32_t QXQTabModeRequest(KvBoard board, uint32_t request, uint32_t *mode);
uint32_t QXErrorShow(KvBoard board);

// QXEr.dll
uint32_t DoBrdOpenDialog(uint32_t arg1, uint32_t arg2, uint32_t *family, uint32_t *number,
                         uint32_t *out3, uint32_t *out4);

// QXDiskIO.dll
uint32_t QXIOWriteSingle(const char *fileName, const void *pixels, uint32_t width,
                         uint32_t height, uint32_t bitDepth, uint32_t flags);
uint32_t QXIOErrorShow(uint32_t code);

// Vizpane.dll
uint32_t VizpaneCreate(uint32_t *surface, uint32_t width, uint32_t height, uint32_t depth,
                       HWND owner);
uint32_t VizpaneGetBitmap(uint32_t surface, void **pixels);
uint32_t VizpaneIsOpen(uint32_t surface);
uint32_t VizpaneBlit(uint32_t surface);
uint32_t VizpaneClose(uint32_t surface);

}  // extern "C"
