// Declarations of the Quorvex board maker's libraries as this source imports
// them: Kvd.dll (board access), QXD.dll (qtab mode, board errors), QXEr.dll
// (board selection), QXDiskIO.dll (image files) and Vizpane.dll (display
// surfaces). Only src/board/ (and the simulated board that implements these
// libraries) includes this file; the rest of the source goes through board.h.
//
// All functions use the C calling convention (MAKER_CALL, which the simulated
// board's definitions take from here) and are exported by name, undecorated,
// on Win64 and Win32 alike. Records the source only passes around are opaque
// here; the numbers they take and give are in maker_constants.h.
#pragma once

#include <cstdint>

#include "board/board_types.h"
#include "board/maker_constants.h"

#ifdef _WIN32
#include <windows.h>
#else
typedef void *HWND;
#endif

#define MAKER_CALL __cdecl

extern "C" {

// Kvd.dll
uint32_t MAKER_CALL KvDVersion(uint32_t *major, uint32_t *minor);
uint32_t MAKER_CALL KvSysBrdEnum(uint32_t family, uint32_t *count);
uint32_t MAKER_CALL KvSysBrdFind(uint32_t family, uint32_t number, KvBoardEntry *entry);
uint32_t MAKER_CALL KvBrdOpen(KvBoardEntry *entry, KvBoard *board, uint32_t mode);
uint32_t MAKER_CALL KvBrdClose(KvBoard board);
uint32_t MAKER_CALL KvBrdInquire(KvBoard board, uint32_t parameter, uint32_t *value);
uint32_t MAKER_CALL KvSignalCreate(KvBoard board, uint32_t kind, KvSignal *signal);
uint32_t MAKER_CALL KvSignalWait(KvBoard board, KvSignal *signal, uint32_t timeoutMs,
                                 uint32_t *detail);
void MAKER_CALL KvSignalCancel(KvBoard board, KvSignal *signal);
uint32_t MAKER_CALL KvSignalFree(KvBoard board, KvSignal *signal);
uint32_t MAKER_CALL KvAqSetup(KvBoard board, void *buffer, uint32_t imageBytes,
                              uint32_t lineBytes, uint32_t arg5, uint32_t arg6, uint32_t arg7,
                              uint8_t arg8, uint32_t arg9, uint32_t arg10, uint32_t arg11);
uint32_t MAKER_CALL KvAqCommand(KvBoard board, uint32_t command, uint32_t mode, uint32_t arg4,
                                uint32_t arg5);
uint32_t MAKER_CALL KvAqCleanUp(KvBoard board, uint32_t arg);

// Kvd.dll, simulated board only: replaces the configuration (see board-simulator docs).
int MAKER_CALL KvSimConfigure(const char *text);

// QXD.dll
uint32_t MAKER_CALL QXQTabModeRequest(KvBoard board, uint32_t request, uint32_t *mode);
uint32_t MAKER_CALL QXErrorShow(KvBoard board);

// QXEr.dll
uint32_t MAKER_CALL DoBrdOpenDialog(uint32_t arg1, uint32_t arg2, uint32_t *family,
                                    uint32_t *number, uint32_t *out3, uint32_t *out4);

// QXDiskIO.dll
uint32_t MAKER_CALL QXIOWriteSingle(const char *fileName, const void *pixels, uint32_t width,
                                    uint32_t height, uint32_t bitDepth, uint32_t flags);
uint32_t MAKER_CALL QXIOErrorShow(uint32_t code);

// Vizpane.dll
uint32_t MAKER_CALL VizpaneCreate(uint32_t *surface, uint32_t width, uint32_t height,
                                  uint32_t depth, HWND owner);
uint32_t MAKER_CALL VizpaneGetBitmap(uint32_t surface, void **pixels);
uint32_t MAKER_CALL VizpaneIsOpen(uint32_t surface);
uint32_t MAKER_CALL VizpaneBlit(uint32_t surface);
uint32_t MAKER_CALL VizpaneClose(uint32_t surface);

}  // extern "C"
