// What every operation receives from the entry point, and the operations the
// two dispatch tables select.
#pragma once

#include "twain.h"

struct OperationRequest {
    TW_IDENTITY *origin;
    TW_UINT32 group;
    TW_UINT16 dataType;
    TW_UINT16 message;
    TW_MEMREF data;
};

typedef TW_UINT16 (*Operation)(const OperationRequest *request);

struct DispatchEntry {
    TW_UINT16 dataType;
    Operation operation;
};

// DG_CONTROL
TW_UINT16 IdentityMsg(const OperationRequest *request);
TW_UINT16 UserInterfaceMsg(const OperationRequest *request);
TW_UINT16 HandleCapability(const OperationRequest *request);
TW_UINT16 StatusMsg(const OperationRequest *request);
TW_UINT16 PendingXfersMsg(const OperationRequest *request);
TW_UINT16 SetupMemXferMsg(const OperationRequest *request);
TW_UINT16 SetupFileXferMsg(const OperationRequest *request);
TW_UINT16 XferGroupMsg(const OperationRequest *request);

// DG_IMAGE
TW_UINT16 ImageInfoMsg(const OperationRequest *request);
TW_UINT16 ImageLayoutMsg(const OperationRequest *request);
TW_UINT16 ImageMemXferMsg(const OperationRequest *request);
TW_UINT16 ImageNativeXfeMsg(const OperationRequest *request);
TW_UINT16 ImageFileXferMsg(const OperationRequest *request);
TW_UINT16 UnsupportedOperation(const OperationRequest *request);

// Selects the operation for a group and data type; UnsupportedOperation when
// the source does not serve them.
Operation FindOperation(TW_UINT32 group, TW_UINT16 dataType);
