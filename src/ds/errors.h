// Condition codes and the error boxes the user sees.
#pragma once

#include "twain.h"

// Texts naming the failing operation; the code's sentence follows directly.
namespace OperationText {
constexpr const char *Identity = "General failure in response to DAT_IDENTITY.  ";
constexpr const char *OpenDS = "General failure in response to MSG_OPENDS.  ";
constexpr const char *CloseDS = "General failure in response to MSG_CLOSEDS.  ";
constexpr const char *UserInterface = "General failure in response to DAT_USERINTERFACE.  ";
constexpr const char *EnableDS = "General failure in response to MSG_ENABLEDS.  ";
constexpr const char *DisableDS = "General failure in response to MSG_DISABLEDS.  ";
constexpr const char *Status = "General failure in response to DAT_STATUS.  ";
constexpr const char *PendingXfers = "General failure in response to DAT_PENDINGXFER.  ";
constexpr const char *SetupMemXfer =
    "General failure in response to DAT_SETUPMEMXFER, not supported.  ";
constexpr const char *SetupFileXfer =
    "General failure in response to DAT_SETUPFILEXFER, not supported.  ";
constexpr const char *CreateFileFailed = "Unable to create file <<DAT_SETUPFILEXFER>>";
constexpr const char *XferGroup = "General failure in response to DAT_XFERGROUP, not supported.  ";
constexpr const char *ImageInfo = "General failure in transfer.  ";
constexpr const char *ImageLayout = "General failure in response to DAT_IMAGELAYOUT.  ";
constexpr const char *ImageMemXfer = "General failure in response to DAT_IMAGEMEMXFER.  ";
constexpr const char *ImageNativeXfer = "General failure in response to DAT_IMAGENATIVEXFER.  ";
constexpr const char *ImageFileXfer = "General failure in response to DAT_IMAGEFILEXFER.  ";
}  // namespace OperationText

// The sentence shown after an operation text for a condition code.
const char *ConditionSentence(TW_UINT16 code);

// Sets the condition code and shows the operation text with the code's
// sentence in a box titled "Twain Driver Error", owned by the parent window.
int ReportError(const char *operationText, TW_UINT16 code);

// ReportError, then TWRC_FAILURE: the common way out of a failing operation.
TW_UINT16 FailOperation(const char *operationText, TW_UINT16 code);

// A board, memory or file failure of the source's own, in a box titled
// "Quorvex Error" owned by the parent window.
void ShowQuorvexError(const char *text);

// A triplet that must read or write its data was given none: TWCC_BADVALUE,
// no box. Returns TWRC_FAILURE for the operation to return.
TW_UINT16 FailMissingData();
