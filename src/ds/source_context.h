// The one record of the source: everything it knows about its application,
// its board and its acquisition, from load to unload.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "board/board.h"
#include "cap/capability_table.h"
#include "twain.h"
#include "xfer/frame_view.h"
#include "xfer/transfer_worker.h"

// The TWAIN states 3 to 7 times 100: a value reads as its TWAIN state (600 is
// state 6), and no stray small number, a zeroed field or a count, passes for one.
enum : int {
    STATE_LOADED = 300, STATE_OPEN = 400, STATE_ENABLED = 500, STATE_READY = 600,
    STATE_TRANSFERRING = 700
};

struct SourceContext {
    // ds/: the source's state, identities and module.
    int32_t sourceState = STATE_LOADED;
    TW_UINT16 conditionCode;
    TW_IDENTITY appIdentity;
    TW_IDENTITY sourceIdentity;
    HINSTANCE moduleInstance;

    // board/: the opened board.
    KvBoard boardHandle;
    // True only while boardHandle names a board this source opened.
    bool boardOpen;

    // cap/: the capability records.
    CapabilityTable capabilities;
    // Values the capability records point into; they outlive a close.
    ValueCells capabilityCells;

    // ui/: what an enable arms, the dialog, the monitor and the preview.
    HWND parentWindow;
    HWND uiDialog;
    KvSignal frameSignal;
    KvSignal cancelSignal;
    // What an enable has armed so far, so a failed or partial enable can be undone.
    bool signalsCreated;
    bool acquisitionSetUp;
    // Started by an enable, stopped and joined by the teardown (one such call at
    // a time; the unload comes after the last); the monitor reads its flag.
    // (The preview's thread and flag are ui/preview_control's own.)
    HANDLE monitorThread;
    volatile LONG monitorRunning;

    // xfer/: the transfers. (The frame's memory is xfer/host_buffer's own.)
    char transferFileName[256];
    // Shares the transfers' work while the source is enabled.
    TransferWorker transferWorker;
    // A memory transfer in progress (xfer/memory_transfer.h): the view its
    // strips are converted from, the lines delivered so far, and the lines not
    // yet delivered when a preview took the host buffer, from memXferKeptFrom on.
    bool memXferInProgress;
    FrameView memXferView;
    uint32_t memXferRowsDone;
    uint8_t *memXferKept;
    uint32_t memXferKeptFrom;
    // What the strips of that transfer carry, fixed at its first strip.
    uint32_t memXferLineLength;
    uint32_t memXferColumns;
    uint32_t memXferRows;
};

extern SourceContext g_source;

// True when the state is one of the listed ones.
inline bool StateIsOneOf(std::initializer_list<int> states) {
    for (int s : states)
        if (g_source.sourceState == s) return true;
    return false;
}

// States 400 to 600: open and no transfer under way, where transfers are set up.
inline bool SourceOpenBetweenTransfers() {
    return StateIsOneOf({STATE_OPEN, STATE_ENABLED, STATE_READY});
}

// States 400 to 700: an application has the source open.
inline bool SourceIsOpen() {
    return StateIsOneOf({STATE_OPEN, STATE_ENABLED, STATE_READY, STATE_TRANSFERRING});
}
