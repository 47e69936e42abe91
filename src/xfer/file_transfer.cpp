// DAT_SETUPFILEXFER and DAT_IMAGEFILEXFER: the file a transfer writes, and
// the transfer that has the maker's file library write a fresh frame to it.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "board/board.h"
#include "cap/capability_table.h"
#include "ds/errors.h"
#include "ds/operations.h"
#include "ds/source_context.h"
#include "xfer/file_setup_reader.h"
#include "xfer/transfer_start.h"

namespace {

constexpr const char *DefaultFileName = "QXTwain.bmp";

TW_UINT16 FailSetup(TW_UINT16 code) { return FailOperation(OperationText::SetupFileXfer, code); }
TW_UINT16 FailTransfer(TW_UINT16 code) { return FailOperation(OperationText::ImageFileXfer, code); }

// True when the file exists or could be created; a created file stays, empty.
// OpenFile would refuse names of 128 characters or more, which a transfer file
// name (up to 255) may well have, so the test uses the unrestricted calls.
bool FileCanBeWritten(const char *name) {
    DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES) return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    HANDLE created = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) return false;
    CloseHandle(created);
    return true;
}

// The format is checked first: a refused set-up changes nothing.
TW_UINT16 StoreTransferFile(TW_SETUPFILEXFER *setup) {
    FileSetup given = ReadFileSetup(*setup);
    if (!SetCurrentFileFormat(given.format)) return FailSetup(TWCC_BADVALUE);
    // No name is the default's, and the application's record says so.
    if (given.fileName[0] == '\0') lstrcpyA(setup->FileName, DefaultFileName);
    lstrcpyA(g_source.transferFileName, given.fileName[0] ? given.fileName : DefaultFileName);
    if (!FileCanBeWritten(g_source.transferFileName))
        return FailOperation(OperationText::CreateFileFailed, TWCC_BADVALUE);
    return TWRC_SUCCESS;
}

// The name and format set (the defaults until a set-up), or the defaults.
// The format has one home, ICAP_IMAGEFILEFORMAT.
void ReportTransferFile(TW_SETUPFILEXFER *setup, bool defaults) {
    const char *name = g_source.transferFileName;
    lstrcpyA(setup->FileName, defaults || name[0] == '\0' ? DefaultFileName : name);
    setup->Format = defaults ? DefaultFileFormat() : CurrentFileFormat();
    setup->VRefNum = 0;
}

// The writer takes compact lines, top line first, and no line length: the
// lines of a board that pads them are copied without their padding first.
// Null when that copy cannot be had. Taken with malloc, as the source's other
// frame-sized memory is: a failing new (std::nothrow) throws inside the
// runtime, and its first exception takes handles the module never gives back.
struct FreeBytes {
    void operator()(uint8_t *bytes) const { free(bytes); }
};
using CompactCopy = std::unique_ptr<uint8_t, FreeBytes>;

CompactCopy CompactLines(const FrameView &view) {
    size_t pixels = view.pixelBytes();
    uint32_t height = view.frame().height;
    CompactCopy compact(static_cast<uint8_t *>(malloc(pixels * height)));
    if (!compact) return nullptr;
    for (uint32_t y = 0; y < height; ++y) memcpy(compact.get() + y * pixels, view.line(y), pixels);
    return compact;
}

}  // namespace

TW_UINT16 SetupFileXferMsg(const OperationRequest *request) {
    if (!SourceOpenBetweenTransfers()) return FailSetup(TWCC_SEQERROR);
    auto *setup = static_cast<TW_SETUPFILEXFER *>(request->data);
    switch (request->message) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
        if (!setup) return FailMissingData();
        ReportTransferFile(setup, request->message == MSG_GETDEFAULT);
        return TWRC_SUCCESS;
    case MSG_SET:
        if (!setup) return FailMissingData();
        return StoreTransferFile(setup);
    default:
        return FailSetup(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 ImageFileXferMsg(const OperationRequest *request) {
    bool ready = g_source.sourceState == STATE_READY;
    if (TW_UINT16 code = CheckTransferRequest(FirstCheck::Message, ready, request->message))
        return FailTransfer(code);
    // The writer reads width x height pixels of whole bytes for the depth.
    FrameView view;
    TW_UINT16 code = StartTransfer(FrameUse::File, nullptr, view);
    if (code != TWCC_SUCCESS) return FailTransfer(code);
    CompactCopy compact;
    if (!view.packed()) {
        compact = CompactLines(view);
        if (!compact) return FailTransfer(TWCC_LOWMEMORY);
    }
    const uint8_t *pixels = compact ? compact.get() : view.line(0);
    const FrameGeometry &frame = view.frame();
    uint32_t result = BoardWriteImageFile(g_source.transferFileName, pixels, frame.width,
                                          frame.height, frame.bitDepth);
    if (result != 0) {
        BoardShowFileError(result);
        return FailTransfer(TWCC_OPERATIONERROR);
    }
    g_source.conditionCode = TWCC_SUCCESS;
    g_source.sourceState = STATE_TRANSFERRING;
    return TWRC_XFERDONE;
}
