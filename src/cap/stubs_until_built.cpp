// Placeholder answers until the capability subsystem lands.
#include "cap/capability_table.h"
#include "ds/operations.h"
#include "ds/source_context.h"
void BuildCapabilityTable() {}
void ClearCapabilityTable() {}
CapabilityRecord *FindCapability(TW_UINT16) { return nullptr; }
TW_UINT16 CurrentPixelType() { return 0; }
TW_UINT16 CurrentBitDepthFor(TW_UINT16) { return 0; }
void SetCurrentFileFormat(TW_UINT16) {}
TW_UINT16 HandleCapability(const OperationRequest *) { return UnsupportedOperation(nullptr); }
