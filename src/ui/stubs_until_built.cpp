// Placeholder answers until enable and disable land.
#include "ds/operations.h"
#include "ui/user_interface.h"
void TearDownAcquisition() {}
TW_UINT16 UserInterfaceMsg(const OperationRequest *r) { return UnsupportedOperation(r); }
