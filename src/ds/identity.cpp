// DAT_IDENTITY: the source's identity, opening (version check, board
// discovery, selection and open) and closing.
#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "ds/errors.h"
#include "ds/operations.h"
#include "ds/source_context.h"
#include "ui/user_interface.h"

namespace {

constexpr uint32_t RequiredMajor = 6;
constexpr uint32_t RequiredMinorBase = 0x200;
constexpr uint32_t AdvisedMinor = 0x201;
constexpr uint32_t SelectionCancelled = 2;

bool CheckLibraryVersion() {
    uint32_t major, minor;
    BoardLibraryVersion(&major, &minor);
    major &= 0x7FFFFFFF;
    if (major == RequiredMajor && (minor & 0xFFF0) == RequiredMinorBase) return true;
    char text[192];
    snprintf(text, sizeof text,
             "The Quorvex Twain driver is not compatable with the current SDK. For this Twain "
             "driver, use SDK %x.%03x",
             RequiredMajor, AdvisedMinor);
    ShowQuorvexError(text);
    ReportError(OperationText::OpenDS, TWCC_OPERATIONERROR);
    return false;
}

// The family of the only installed board, or 0 when there is none or more than one.
uint32_t OnlyInstalledFamily() {
    uint32_t total = 0, family = 0;
    for (uint32_t f : KV_FAMILIES) {
        uint32_t count = BoardCount(f);
        total += count;
        if (count) family = f;
    }
    return total == 1 ? family : 0;
}

TW_UINT16 OpenSource(const OperationRequest *request) {
    if (g_source.sourceState != STATE_LOADED)
        return FailOperation(OperationText::OpenDS, TWCC_SEQERROR);
    if (g_source.appIdentity.Id != 0) {
        // An earlier open stored its identity and failed: no board is open, so
        // the table is built without asking one, and close will not close one.
        ReportError(OperationText::OpenDS, TWCC_MAXCONNECTIONS);
        g_source.sourceState = STATE_OPEN;
        BuildCapabilityTable();
        return TWRC_FAILURE;
    }
    if (!request->origin || !request->data) return FailMissingData();
    memcpy(&g_source.appIdentity, request->origin, sizeof(TW_IDENTITY));
    memcpy(&g_source.sourceIdentity, request->data, sizeof(TW_IDENTITY));

    KvBoardEntry entry = {};
    if (uint32_t family = OnlyInstalledFamily()) {
        BoardFind(family, 0, &entry);
    } else {
        uint32_t chosenFamily, chosenNumber;
        if (BoardSelectDialog(&chosenFamily, &chosenNumber) == SelectionCancelled) {
            ReportError(OperationText::OpenDS, TWCC_NODS);
            return TWRC_CANCEL;
        }
        if (BoardFind(chosenFamily, chosenNumber, &entry) != 0)
            return FailOperation(OperationText::OpenDS, TWCC_NODS);
    }
    if (BoardOpen(&entry) != 0) {
        ShowQuorvexError("Error opening Quorvex board.");
        return FailOperation(OperationText::OpenDS, TWCC_OPERATIONERROR);
    }
    g_source.sourceState = STATE_OPEN;
    BuildCapabilityTable();
    return TWRC_SUCCESS;
}

TW_UINT16 CloseSource() {
    if (!SourceIsOpen()) return FailOperation(OperationText::CloseDS, TWCC_SEQERROR);
    // Nothing of an enable outlives the board: closing an enabled source
    // undoes the enable, a disabled one lets go of what its disable kept.
    TearDownAcquisition();
    g_source.appIdentity.Id = 0;
    BoardClose();
    AcquisitionClosedWithBoard();
    g_source.sourceState = STATE_LOADED;
    ClearCapabilityTable();
    return TWRC_SUCCESS;
}

}  // namespace

TW_UINT16 IdentityMsg(const OperationRequest *request) {
    switch (request->message) {
    case MSG_GET:
        if (!request->data) return FailMissingData();
        memcpy(request->data, &g_source.sourceIdentity, sizeof(TW_IDENTITY));
        return TWRC_SUCCESS;
    case MSG_OPENDS:
        if (!CheckLibraryVersion()) return TWRC_FAILURE;
        return OpenSource(request);
    case MSG_CLOSEDS:
        return CloseSource();
    default:
        return FailOperation(OperationText::Identity, TWCC_BADPROTOCOL);
    }
}
