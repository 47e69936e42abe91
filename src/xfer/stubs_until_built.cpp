// Placeholder answers until the transfers land.
#include "ds/operations.h"
TW_UINT16 SetupMemXferMsg(const OperationRequest *r) { return UnsupportedOperation(r); }
TW_UINT16 SetupFileXferMsg(const OperationRequest *r) { return UnsupportedOperation(r); }
TW_UINT16 XferGroupMsg(const OperationRequest *r) { return UnsupportedOperation(r); }
TW_UINT16 ImageInfoMsg(const OperationRequest *r) { return UnsupportedOperation(r); }
TW_UINT16 ImageLayoutMsg(const OperationRequest *r) { return UnsupportedOperation(r); }
TW_UINT16 ImageMemXferMsg(const OperationRequest *r) { return UnsupportedOperation(r); }
TW_UINT16 ImageNativeXfeMsg(const OperationRequest *r) { return UnsupportedOperation(r); }
TW_UINT16 ImageFileXferMsg(const OperationRequest *r) { return UnsupportedOperation(r); }
