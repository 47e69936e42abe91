// The library version, the installed boards, opening and closing a board, its
// parameters, and the simulator's own configuration call.
#include <algorithm>
#include <cstring>

#include "kvd_state.h"

namespace {

// Marks a board entry as filled by KvSysBrdFind.
constexpr char EntryMark[] = "QXSIM";

bool Installed(uint32_t family, uint32_t number) { return number < QxsBoardCount(family); }

uint32_t Find(uint32_t family, uint32_t number, KvBoardEntry *entry) {
    QxsSettings s;
    QxsGetSettings(&s);
    if (s.findResult != 0) {
        QxsSetFailure("Finding board 0x%X number %u failed (error %u).", family, number, s.findResult);
        return s.findResult;
    }
    if (!entry) return KV_ERR_ARGUMENT;
    if (!Installed(family, number)) {
        QxsSetFailure("Board 0x%X number %u is not installed (error %u).", family, number,
                      KV_ERR_NOT_FOUND);
        return KV_ERR_NOT_FOUND;
    }
    memset(entry, 0, sizeof *entry);
    entry->family = family;
    entry->number = number;
    memcpy(entry->reserved, EntryMark, sizeof EntryMark);
    return 0;
}

uint32_t Open(KvBoardEntry *entry, KvBoard *board) {
    QxsSettings s;
    QxsGetSettings(&s);
    if (s.openResult != 0) {
        QxsSetFailure("The board could not be opened (error %u).", s.openResult);
        return s.openResult;
    }
    if (!entry || !board) return KV_ERR_ARGUMENT;
    if (memcmp(entry->reserved, EntryMark, sizeof EntryMark) != 0 ||
        !Installed(entry->family, entry->number)) {
        QxsSetFailure("The board to open is not installed (error %u).", KV_ERR_NOT_FOUND);
        return KV_ERR_NOT_FOUND;
    }
    SimBoard *b = new SimBoard();
    b->family = entry->family;
    b->number = entry->number;
    InitializeConditionVariable(&b->wake);
    // The board thread keeps this library loaded until it ends.
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&BoardThread),
                       &self);
    KvdLocked lock;
    b->thread = CreateThread(nullptr, 0, BoardThread, b, 0, nullptr);
    if (!b->thread) {
        FreeLibrary(self);
        delete b;
        QxsSetFailure("The board could not be opened: no thread (error %u).", KV_ERR_RESOURCES);
        return KV_ERR_RESOURCES;
    }
    g_boards.push_back(b);
    *board = b;
    return 0;
}

uint32_t Close(KvBoard board) {
    SimBoard *b;
    {
        KvdLocked lock;
        b = FindBoard(board);
        if (!b) return KV_ERR_BOARD;
        g_boards.erase(std::find(g_boards.begin(), g_boards.end(), b));
        for (SimSignal *s : g_signals)
            if (s->board == b) s->board = nullptr;
        b->quit = true;
        WakeBoard(b);
    }
    WaitForSingleObject(b->thread, INFINITE);
    CloseHandle(b->thread);
    delete b;
    return 0;
}

uint32_t Inquire(KvBoard board, uint32_t parameter, uint32_t *value) {
    if (!value) return KV_ERR_ARGUMENT;
    *value = 0;
    {
        KvdLocked lock;
        if (!FindBoard(board)) return KV_ERR_BOARD;
    }
    QxsSettings s;
    QxsGetSettings(&s);
    switch (parameter) {
    case KV_IMAGE_WIDTH: *value = s.width; return 0;
    case KV_IMAGE_HEIGHT: *value = s.height; return 0;
    case KV_SIGNALS_PER_FRAME: *value = s.signalsPerFrame; return 0;
    case KV_BITS_PER_PIXEL: *value = s.depth; return 0;
    case KV_BYTES_PER_PIXEL: *value = s.bytesPerPixel; return 0;
    case KV_IMAGE_BYTES: *value = s.imageBytes; return 0;
    case KV_LINE_BYTES: *value = s.lineBytes; return 0;
    default:
        QxsSetFailure("The board has no parameter %u (error %u).", parameter, KV_ERR_PARAMETER);
        return KV_ERR_PARAMETER;
    }
}

}  // namespace

extern "C" uint32_t KvDVersion(uint32_t *major, uint32_t *minor) {
    QxsSettings s;
    QxsGetSettings(&s);
    if (major) *major = s.versionMajor;
    if (minor) *minor = s.versionMinor;
    return QxsEndCall(0, "KvDVersion");
}

extern "C" uint32_t KvSysBrdEnum(uint32_t family, uint32_t *count) {
    uint32_t result = 0;
    if (!count || QxsFamilyIndex(family) < 0) result = KV_ERR_ARGUMENT;
    if (count) *count = QxsBoardCount(family);
    return QxsEndCall(result, "KvSysBrdEnum %u", family);
}

extern "C" uint32_t KvSysBrdFind(uint32_t family, uint32_t number, KvBoardEntry *entry) {
    return QxsEndCall(Find(family, number, entry), "KvSysBrdFind %u %u", family, number);
}

extern "C" uint32_t KvBrdOpen(KvBoardEntry *entry, KvBoard *board, uint32_t mode) {
    return QxsEndCall(Open(entry, board), "KvBrdOpen %u", mode);
}

extern "C" uint32_t KvBrdClose(KvBoard board) { return QxsEndCall(Close(board), "KvBrdClose"); }

extern "C" uint32_t KvBrdInquire(KvBoard board, uint32_t parameter, uint32_t *value) {
    return QxsEndCall(Inquire(board, parameter, value), "KvBrdInquire %u", parameter);
}

extern "C" int KvSimConfigure(const char *text) {
    int bad = QxsConfigure(text);
    if (bad == 0) {
        // Periods and frame times may have changed.
        KvdLocked lock;
        for (SimBoard *b : g_boards) WakeBoard(b);
    }
    return bad;
}
