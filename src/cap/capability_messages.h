// The message operations of DAT_CAPABILITY. Each takes the capability's
// record and the application's TW_CAPABILITY and returns a condition code:
// TWCC_SUCCESS goes with TWRC_SUCCESS, anything else with TWRC_FAILURE.
#pragma once

#include "cap/capability_table.h"

TW_UINT16 CapGet(CapabilityRecord &record, TW_CAPABILITY &capability);
TW_UINT16 CapGetCurrent(CapabilityRecord &record, TW_CAPABILITY &capability);
TW_UINT16 CapGetDefault(CapabilityRecord &record, TW_CAPABILITY &capability);
TW_UINT16 CapSet(CapabilityRecord &record, TW_CAPABILITY &capability);
TW_UINT16 CapReset(CapabilityRecord &record, TW_CAPABILITY &capability);
TW_UINT16 CapQuerySupport(CapabilityRecord &record, TW_CAPABILITY &capability);
